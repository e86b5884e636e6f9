// The monitor setting that switches the low-toner warnings of one printer off.
#include "registry_ops.h"

#include <windows.h>

#include "../platform/report.h"
#include "../res/keys.h"
#include "../res/messages.h"
#include "key_path.h"

// Sized for the longest path: prefix, a key name of 255 characters, suffix.
enum { MONITOR_PATH_SIZE = sizeof MAKER_PREFIX - 1 + KEY_NAME_MAX + sizeof MONITOR_SETTINGS_SUFFIX };

// The printer's settings key, for a name that is one key name and fits.
static int SettingsPath(char *path, const char *name)
{
    return IsKeyName(name) && JoinKeyPath(path, MONITOR_PATH_SIZE, MAKER_PREFIX, name, MONITOR_SETTINGS_SUFFIX);
}

int ApplyTonerLowSetting(const char *name)
{
    char path[MONITOR_PATH_SIZE];
    DWORD tonerLow = 1;
    HKEY key;
    int result;

    if (!SettingsPath(path, name)) {
        ShowError(TEXT_NO_PRODUCT_INFO);
        return 0;
    }
    // Creates the maker, printer and monitor keys above it where missing.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
        ShowError(TEXT_NO_PRODUCT_INFO);
        return 0;
    }
    result = RegSetValueExA(key, TONER_LOW_VALUE, 0, REG_DWORD, (const BYTE *)&tonerLow, sizeof tonerLow)
             == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!result)
        ShowError(TEXT_UPDATE_FAILED);
    else
        LogEvent(LOG_WRITTEN, path, TONER_LOW_VALUE);
    return result;
}

int TonerLowStands(const char *name)
{
    char path[MONITOR_PATH_SIZE];
    HKEY key;
    DWORD type;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result;

    if (!SettingsPath(path, name) || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    result = RegQueryValueExA(key, TONER_LOW_VALUE, NULL, &type, (BYTE *)&value, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == 1;
}

// What became of one subkey that the removal asked the platform to delete.
enum { SUBKEY_DELETED, SUBKEY_ABSENT, SUBKEY_KEPT };

// Opens parent under HKLM, deletes its subkey child and closes it again.
static int DeleteSubkey(const char *parent, const char *child)
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS, &key);

    if (result == ERROR_SUCCESS) {
        // The platform refuses to delete a key that still has subkeys; that
        // keeps another program's keys out of the removal.
        result = RegDeleteKeyA(key, child);
        RegCloseKey(key);
    }
    if (result == ERROR_SUCCESS) {
        LogEvent(LOG_DELETED, parent, child);
        return SUBKEY_DELETED;
    }
    // A parent that is not there has no such subkey either.
    return result == ERROR_FILE_NOT_FOUND ? SUBKEY_ABSENT : SUBKEY_KEPT;
}

int RemoveTonerLowSetting()
{
    char name[PRINTER_NAME_SIZE];
    char path[MONITOR_PATH_SIZE];

    // A record that names no single key could walk the deletions onto the
    // maker key itself; it is refused like one that cannot be read.
    if (!PatchRecord(PATCH_LOAD, name) || !IsKeyName(name))
        return 0;

    // The warnings are back on once the settings key is gone, whoever removed
    // it: a reinstalled monitor, or an earlier removal that stopped above it.
    if (!JoinKeyPath(path, (int)sizeof path, MAKER_PREFIX, name, MONITOR_SUFFIX)
        || DeleteSubkey(path, MONITOR_SETTINGS_KEY_NAME) == SUBKEY_KEPT)
        return 0;

    // The keys above it are only tidied: one that still holds a key of the
    // monitor's stays, and the switch-on stands all the same.
    if (JoinKeyPath(path, (int)sizeof path, MAKER_PREFIX, name, "")
        && DeleteSubkey(path, MONITOR_KEY_NAME) != SUBKEY_KEPT)
        DeleteSubkey(MAKER_KEY, name);

    // The patch record goes last, so that a removal that failed can be retried.
    PatchRecord(PATCH_DELETE, name);
    return 1;
}
