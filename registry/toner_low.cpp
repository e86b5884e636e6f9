// The monitor setting that switches the low-toner warnings of one printer off.
#include "registry_ops.h"

#include <windows.h>

#include "../app/ui.h"
#include "key_path.h"
#include "keys.h"

static const char TEXT_NO_PRODUCT_INFO[] = "Инсталлятор не обнаружил информации о продуктах в реестре";
static const char TEXT_UPDATE_FAILED[] = "Инсталлятор не смог обновить информацию о продукте в реестре";

// Sized for the longest path: prefix, a key name of 255 characters, suffix.
enum { MONITOR_PATH_SIZE = sizeof MAKER_PREFIX - 1 + KEY_NAME_MAX + sizeof MONITOR_SETTINGS_SUFFIX };

int ApplyTonerLowSetting(const char *name)
{
    char path[MONITOR_PATH_SIZE];
    DWORD tonerLow = 1;
    HKEY key;
    int result;

    if (!IsKeyName(name) || !JoinKeyPath(path, (int)sizeof path, MAKER_PREFIX, name, MONITOR_SETTINGS_SUFFIX)) {
        ShowError(TEXT_NO_PRODUCT_INFO);
        return 0;
    }
    // Creates the maker, printer and monitor keys above it where missing.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        != ERROR_SUCCESS) {
        ShowError(TEXT_NO_PRODUCT_INFO);
        return 0;
    }
    result = RegSetValueExA(key, TONER_LOW_VALUE, 0, REG_DWORD, (const BYTE *)&tonerLow,
                            sizeof tonerLow) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!result)
        ShowError(TEXT_UPDATE_FAILED);
    return result;
}

// Opens parent under HKLM, deletes its subkey child and closes it again.
// Returns -1 when the parent does not open, else whether the deletion worked.
static int DeleteSubkey(const char *parent, const char *child)
{
    HKEY key;
    LONG result;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    // The platform refuses to delete a key that still has subkeys; that stops
    // the removal here rather than taking another program's keys with it.
    result = RegDeleteKeyA(key, child);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int RemoveTonerLowSetting()
{
    char name[PRINTER_NAME_SIZE];
    char path[MONITOR_PATH_SIZE];
    int deleted;

    // A record that names no single key could walk the deletions onto the
    // maker key itself; it is refused like one that cannot be read.
    if (!PatchRecord(PATCH_LOAD, name) || !IsKeyName(name))
        return 0;

    if (!JoinKeyPath(path, (int)sizeof path, MAKER_PREFIX, name, MONITOR_SUFFIX))
        return 0;
    deleted = DeleteSubkey(path, MONITOR_SETTINGS_KEY_NAME);
    if (deleted != 1)
        return 0;

    // Once the settings key is gone the warnings are back on; the keys above
    // it are tidied where they still open.
    if (!JoinKeyPath(path, (int)sizeof path, MAKER_PREFIX, name, ""))
        return 0;
    deleted = DeleteSubkey(path, MONITOR_KEY_NAME);
    if (deleted == 0)
        return 0;
    if (deleted == 1) {
        if (DeleteSubkey(MAKER_KEY, name) == 0)
            return 0;
    }

    // The patch record goes last, so that a removal that failed can be retried.
    PatchRecord(PATCH_DELETE, name);
    return 1;
}
