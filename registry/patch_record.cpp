// The patch record: the one key that remembers which printer was changed.
#include "registry_ops.h"

#include <windows.h>

#include "../platform/report.h"
#include "../res/keys.h"
#include "../res/messages.h"
#include "key_path.h"

static int StoreRecord(const char *name)
{
    HKEY key;
    LONG result;

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, PATCH_RECORD_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        != ERROR_SUCCESS)
        return 0;
    // Stored without its NUL; the load does not depend on one.
    result = RegSetValueExA(key, PATCH_RECORD_VALUE, 0, REG_SZ, (const BYTE *)name, (DWORD)lstrlenA(name));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return 0;
    LogEvent(LOG_WRITTEN, PATCH_RECORD_KEY, PATCH_RECORD_VALUE);
    return 1;
}

// The query's result, and the value's type in *type; *opened tells a key that
// did not open from a value that could not be read.
static LONG ReadRecord(char *name, DWORD *type, int *opened)
{
    HKEY key;
    char data[PRINTER_NAME_SIZE];
    DWORD size = PRINTER_NAME_SIZE - 1;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PATCH_RECORD_KEY, 0, KEY_ALL_ACCESS, &key);

    *opened = result == ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    // Any type is taken as text; the size the query returns bounds it, since
    // the value may hold no NUL at all.
    result = RegQueryValueExA(key, PATCH_RECORD_VALUE, NULL, type, (BYTE *)data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return result;
    if (size > PRINTER_NAME_SIZE - 1)
        size = PRINTER_NAME_SIZE - 1;
    DWORD length = 0;
    while (length < size && data[length] != '\0')
        length++;
    for (DWORD i = 0; i < length; i++)
        name[i] = data[i];
    name[length] = '\0';
    return ERROR_SUCCESS;
}

static int LoadRecord(char *name)
{
    DWORD type;
    int opened;

    return ReadRecord(name, &type, &opened) == ERROR_SUCCESS;
}

static int DeleteRecord()
{
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, PATCH_RECORD_KEY) != ERROR_SUCCESS)
        return 0;
    LogEvent(LOG_DELETED, PATCH_RECORD_KEY);
    return 1;
}

LONG TestPatchRecord()
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PATCH_RECORD_KEY, 0, KEY_ALL_ACCESS, &key);

    // The key is only tested; its value is not read.
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result;
}

int ReadPatchRecord(char *name)
{
    DWORD type = REG_NONE;
    int opened;
    LONG result = ReadRecord(name, &type, &opened);

    if (!opened)
        return result == ERROR_FILE_NOT_FOUND ? RECORD_NONE : RECORD_UNREADABLE;
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && IsKeyName(name))
        return RECORD_PRINTER;
    // The key stands: a value that is missing or holds no key name names no
    // printer. One too long for a name may yet be a name with its NUL.
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? RECORD_NOT_A_NAME : RECORD_UNREADABLE;
}

int PatchRecord(int selector, char *name)
{
    switch (selector) {
    case PATCH_STORE:
        return StoreRecord(name);
    case PATCH_LOAD:
        return LoadRecord(name);
    case PATCH_DELETE:
        return DeleteRecord();
    default:
        return 0;
    }
}
