// The restart request that follows a change.
#include "restart.h"

#include <windows.h>

#include "../platform/report.h"
#include "../res/messages.h"
#include "../platform/user32.h"

// What an unattended run tells the system about its restart: planned, for an
// application's installation, so that the event log shows why the computer went down.
static const DWORD RESTART_REASON_INSTALLATION = SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION
                                                 | SHTDN_REASON_MINOR_INSTALLATION;

// Windows refuses a restart to a process whose token has not enabled the
// shutdown privilege, even for an administrator.
static void EnableShutdownPrivilege()
{
    HANDLE token;
    TOKEN_PRIVILEGES privileges;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    CloseHandle(token);
}

int RequestRestart()
{
    EnableShutdownPrivilege();
    if (IsUnattended()) {
        // ExitWindowsEx ends only the caller's own logon session, and a
        // deployment tool's run as SYSTEM or over the network is not the
        // interactive one: the computer would stay up. Nobody's unsaved work
        // is closed by force; a program that holds the restart lets its user
        // decide.
        if (!InitiateSystemShutdownExA(NULL, NULL, 0, FALSE, TRUE, RESTART_REASON_INSTALLATION)) {
            LogNumber(LOG_RESTART_FAILED, GetLastError());
            return 0;
        }
    } else if (!ExitWindowsEx(EWX_REBOOT, 0)) {
        // The changes are already in place; the user only has to restart by hand.
        ShowError(TEXT_RESTART_FAILED);
        return 0;
    }
    LogEvent(LOG_RESTART_REQUESTED);
    return 1;
}
