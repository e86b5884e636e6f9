// Seeding and reading the real registry of the prefix. Seeding goes through
// the wide calls, as the spooler and other programs write; reading goes
// through the ANSI calls, so the bytes and sizes are those the installer sees.
#include "driver.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

enum { DUMP_DEPTH_LIMIT = 16, VALUE_NAME_SIZE = 1024, VALUE_DATA_SIZE = 4096, KEY_NAME_SIZE = 256 };

bool CreateKey(const std::string &path)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static bool SetValue(const std::string &path, const std::string &name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, Wide(name).c_str(), 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool SetString(const std::string &path, const std::string &name, const std::string &text)
{
    std::wstring wide = Wide(text);
    return SetValue(path, name, REG_SZ, wide.c_str(), (DWORD)((wide.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(const std::string &path, const std::string &name, DWORD value)
{
    return SetValue(path, name, REG_DWORD, &value, sizeof value);
}

bool DeleteTree(const std::string &path)
{
    LONG result = RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(path).c_str());
    if (result == ERROR_SUCCESS)
        result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide(path).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

static const char *TypeName(DWORD type)
{
    // clang-format off
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_?";
    }
    // clang-format on
}

// One line per value: name, type, size and bytes as RegEnumValueA returns
// them; texts also as text, NULs shown, so a stored terminator is visible.
static void DumpValues(HKEY key, std::vector<std::string> &lines)
{
    for (DWORD index = 0;; index++) {
        char name[VALUE_NAME_SIZE];
        BYTE data[VALUE_DATA_SIZE];
        DWORD nameLength = sizeof name;
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG result = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        if (result != ERROR_SUCCESS) {
            char line[64];
            snprintf(line, sizeof line, "  value %lu unreadable, error %ld", (unsigned long)index, result);
            lines.push_back(line);
            continue;
        }
        if (nameLength >= sizeof name)
            nameLength = sizeof name - 1;
        name[nameLength] = '\0';
        std::string line = "  " + Quoted(Utf8FromAnsi(name, (int)nameLength)) + " " + TypeName(type) + " "
                           + std::to_string(size) + " bytes:";
        for (DWORD i = 0; i < size && i < sizeof data; i++) {
            char hex[4];
            snprintf(hex, sizeof hex, " %02x", data[i]);
            line += hex;
        }
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
            line += " = " + Quoted(Utf8FromAnsi((const char *)data, (int)size));
        lines.push_back(line);
    }
}

static void Dump(const std::wstring &path, int depth, std::vector<std::string> &lines)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        if (depth == 0)
            lines.push_back("HKLM\\" + Utf8(path.c_str()) + " absent");
        return;
    }
    lines.push_back("HKLM\\" + Utf8(path.c_str()));
    DumpValues(key, lines);
    std::vector<std::wstring> children;
    for (DWORD index = 0;; index++) {
        wchar_t name[KEY_NAME_SIZE];
        DWORD length = KEY_NAME_SIZE;
        LONG result = RegEnumKeyExW(key, index, name, &length, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        if (result == ERROR_SUCCESS && length < KEY_NAME_SIZE) {
            name[length] = L'\0';
            children.push_back(name);
        }
    }
    RegCloseKey(key);
    if (depth + 1 >= DUMP_DEPTH_LIMIT)
        return;
    for (const auto &child : children) {
        // The class registrations and the 32-bit view are large and reach each
        // other through links; nothing the installer does touches them.
        if (lstrcmpiW(child.c_str(), L"Classes") == 0 || lstrcmpiW(child.c_str(), L"Wow6432Node") == 0) {
            lines.push_back("HKLM\\" + Utf8((path + L"\\" + child).c_str()) + " (not read)");
            continue;
        }
        Dump(path + L"\\" + child, depth + 1, lines);
    }
}

std::vector<std::string> DumpKey(const std::string &path)
{
    std::vector<std::string> lines;
    Dump(Wide(path), 0, lines);
    return lines;
}

bool DeleteValue(const std::string &path, const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueW(key, Wide(name).c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

static const wchar_t UNINSTALL_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static std::vector<std::wstring> Subkeys(REGSAM view)
{
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; index++) {
        wchar_t name[KEY_NAME_SIZE];
        DWORD length = KEY_NAME_SIZE;
        if (RegEnumKeyExW(key, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> UninstallEntries()
{
    static const wchar_t *const SHOWN[] = { L"DisplayName", L"DisplayVersion", L"Publisher", L"NoModify",
                                            L"WindowsInstaller" };
    std::vector<std::string> lines;
    // The driver's own view: each configuration runs a package of its architecture.
    std::vector<std::wstring> names = Subkeys(0);
    for (const auto &name : names) {
        lines.push_back("entry " + Utf8(name.c_str()));
        std::wstring path = std::wstring(UNINSTALL_KEY) + L"\\" + name;
        for (const wchar_t *value : SHOWN) {
            wchar_t text[VALUE_DATA_SIZE];
            DWORD type = 0, size = sizeof text, number = 0;
            LONG result = RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type,
                                       text, &size);
            memcpy(&number, text, sizeof number);
            std::string shown = result != ERROR_SUCCESS ? "absent"
                                : type == REG_DWORD     ? std::to_string(number)
                                                        : Quoted(Utf8(text));
            lines.push_back("  " + Utf8(value) + " " + shown);
        }
    }
    if (lines.empty())
        lines.push_back("no entries");
    // On 64-bit Windows the other view is another key: a package's entry
    // must not be there too.
    BOOL wow64 = FALSE;
    if (sizeof(void *) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) {
        for (const auto &name : Subkeys(wow64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY)) {
            if (std::find(names.begin(), names.end(), name) != names.end())
                lines.push_back("also in the other view: entry " + Utf8(name.c_str()));
        }
    }
    return lines;
}
