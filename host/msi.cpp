// The Windows Installer session of a custom action: its properties, the run
// modes set, and the messages that go into its log.
#include <msiquery.h>

#include <cstring>
#include <map>
#include <string>

#include "host.h"

namespace host {

struct Installer {
    std::map<std::string, std::string> properties;
    bool rebootAtEnd = false;
    std::vector<std::string> log;
    std::map<MSIHANDLE, std::map<UINT, std::string>> records;  // open records: field to UTF-8 text
    MSIHANDLE nextHandle = 100;
    bool deferred = true;
};

static Installer &InstallerState()
{
    static Installer installer;
    return installer;
}

void ResetInstaller()
{
    InstallerState() = Installer();
}

void SetDeferred(bool deferred)
{
    InstallerState().deferred = deferred;
}

void SetInstallerProperty(const std::string &name, const std::string &value)
{
    InstallerState().properties[name] = value;
}

bool RebootAtEnd()
{
    return InstallerState().rebootAtEnd;
}

const std::vector<std::string> &InstallerLog()
{
    return InstallerState().log;
}

int OpenInstallerHandles()
{
    return (int)InstallerState().records.size();
}

}  // namespace host

// The session of a deferred, rollback or commit action is gone by the time
// it runs: its handle answers MsiGetProperty for CustomActionData, ProductCode
// and UserSID, MsiFormatRecord, MsiGetMode, MsiGetLanguage and
// MsiProcessMessage only ("Obtaining Context Information for Deferred
// Execution Custom Actions", learn.microsoft.com/windows/win32/msi). Wine
// lets every call through; the host refuses the others, as Windows does.
static bool Refused(const char *property)
{
    const std::string name = property != nullptr ? property : "";
    return host::InstallerState().deferred && name != "CustomActionData" && name != "ProductCode" && name != "UserSID";
}

// Like Windows: the size counts characters without the NUL, and a buffer too
// small gives ERROR_MORE_DATA with the size needed.
UINT WINAPI MsiGetPropertyA(MSIHANDLE, LPCSTR name, LPSTR value, LPDWORD size)
{
    if (Refused(name))
        return ERROR_INVALID_HANDLE;
    const std::string &found = host::InstallerState().properties[name];
    if (*size <= found.size()) {
        if (*size > 0)
            value[0] = '\0';
        *size = (DWORD)found.size();
        return ERROR_MORE_DATA;
    }
    std::memcpy(value, found.c_str(), found.size() + 1);
    *size = (DWORD)found.size();
    return ERROR_SUCCESS;
}

UINT WINAPI MsiSetMode(MSIHANDLE, MSIRUNMODE mode, BOOL state)
{
    if (Refused(nullptr))
        return ERROR_INVALID_HANDLE;
    if (mode == MSIRUNMODE_REBOOTATEND)
        host::InstallerState().rebootAtEnd = state != FALSE;
    return ERROR_SUCCESS;
}

MSIHANDLE WINAPI MsiCreateRecord(UINT)
{
    MSIHANDLE record = ++host::InstallerState().nextHandle;
    host::InstallerState().records[record];
    return record;
}

UINT WINAPI MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
    std::string text((size_t)size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, value, -1, &text[0], size, nullptr, nullptr);
    text.resize(text.size() - 1);
    host::InstallerState().records[record][field] = text;
    return ERROR_SUCCESS;
}

// A message whose template is "[1]" logs its first field as it stands.
int WINAPI MsiProcessMessage(MSIHANDLE, INSTALLMESSAGE type, MSIHANDLE record)
{
    std::map<UINT, std::string> &fields = host::InstallerState().records[record];
    if (type == INSTALLMESSAGE_INFO)
        host::InstallerState().log.push_back(fields[0] == "[1]" ? fields[1] : "template " + fields[0]);
    return IDOK;
}

UINT WINAPI MsiCloseHandle(MSIHANDLE handle)
{
    return host::InstallerState().records.erase(handle) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
