// Finding the first installed printer whose driver the status monitor serves.
#include "registry_ops.h"

#include <windows.h>

#include "../res/keys.h"
#include "key_path.h"

// The spooler keeps far fewer printers; an enumeration that never reports its
// end stops here.
enum { PRINTER_INDEX_LIMIT = 65536 };

enum { DRIVER_BUFFER_SIZE = 256 };

static int IsSupportedDriver(const char *driver)
{
    for (const char *supported : SupportedDriverNames) {
        if (lstrcmpiA(driver, supported) == 0)
            return 1;
    }
    return 0;
}

static int HasSupportedDriver(const char *printer)
{
    // Sized for the list key, a separator and the longest key name.
    char path[sizeof PRINTER_LIST_KEY + 1 + KEY_NAME_MAX];
    char driver[DRIVER_BUFFER_SIZE];
    HKEY key;
    DWORD type;
    DWORD size = DRIVER_BUFFER_SIZE - 1;
    int supported = 0;

    if (!JoinKeyPath(path, (int)sizeof path, PRINTER_LIST_KEY, "\\", printer))
        return 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    lstrcpyA(driver, DRIVER_SENTINEL);
    if (RegQueryValueExA(key, PRINTER_DRIVER_VALUE, NULL, &type, (BYTE *)driver, &size) == ERROR_SUCCESS) {
        // The text must end within the bytes written: by the query, or by the
        // sentinel that a shorter value leaves behind. A long value without a
        // NUL has no end there and is no driver name.
        DWORD written = size > (DWORD)sizeof DRIVER_SENTINEL ? size : (DWORD)sizeof DRIVER_SENTINEL;
        if (written > DRIVER_BUFFER_SIZE - 1)
            written = DRIVER_BUFFER_SIZE - 1;
        for (DWORD i = 0; i < written; i++) {
            if (driver[i] == '\0') {
                supported = IsSupportedDriver(driver);
                break;
            }
        }
    }
    RegCloseKey(key);
    return supported;
}

int FindSupportedPrinter(char *name)
{
    HKEY list;
    char printer[PRINTER_NAME_SIZE];
    int found = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRINTER_LIST_KEY, 0, KEY_ALL_ACCESS, &list) != ERROR_SUCCESS)
        return 0;
    for (DWORD index = 0; !found && index < PRINTER_INDEX_LIMIT; index++) {
        DWORD length = PRINTER_NAME_SIZE - 1;
        LONG result = RegEnumKeyExA(list, index, printer, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // Any other failure gives no name for this index: skip it.
        if (result == ERROR_SUCCESS && length < PRINTER_NAME_SIZE - 1) {
            printer[length] = '\0';
            found = HasSupportedDriver(printer);
        }
    }
    RegCloseKey(list);
    if (found)
        lstrcpyA(name, printer);
    return found;
}

int IsSupportedPrinter(const char *name)
{
    return IsKeyName(name) && HasSupportedDriver(name);
}
