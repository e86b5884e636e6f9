// The discovery walk written as plainly as it can be, for comparison with
// FindSupportedPrinter: the same opens, enumerations, queries, closes and
// comparisons, with none of its care over sizes and terminators. Good enough
// for a benchmark's printer list, whose names and drivers are short.
#ifndef BRISVANE_BENCH_BARE_FIND_H
#define BRISVANE_BENCH_BARE_FIND_H

#include <windows.h>

#include "keys.h"

inline int BareFind(char *found)
{
    HKEY list, printer;
    char name[256], path[512], driver[256];
    int match = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRINTER_LIST_KEY, 0, KEY_ALL_ACCESS, &list) != ERROR_SUCCESS)
        return 0;
    for (DWORD index = 0; !match; index++) {
        DWORD length = 255;
        LONG result = RegEnumKeyExA(list, index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        lstrcpyA(path, PRINTER_LIST_KEY);
        lstrcatA(path, "\\");
        lstrcatA(path, name);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &printer) != ERROR_SUCCESS)
            continue;
        DWORD type, size = 255;
        if (RegQueryValueExA(printer, PRINTER_DRIVER_VALUE, NULL, &type, (BYTE *)driver, &size) == ERROR_SUCCESS) {
            driver[size < 255 ? size : 255] = '\0';
            for (const char *supported : SupportedDriverNames)
                if (lstrcmpiA(driver, supported) == 0)
                    match = 1;
        }
        RegCloseKey(printer);
    }
    RegCloseKey(list);
    if (match)
        lstrcpyA(found, name);
    return match;
}

#endif
