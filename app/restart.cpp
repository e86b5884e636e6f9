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
    // The changes are already in place; the user only has to restart by hand.
    if (!ExitWindowsEx(EWX_REBOOT, IsUnattended() ? RESTART_REASON_INSTALLATION : 0)) {
        ShowError(TEXT_RESTART_FAILED);
        return 0;
    }
    LogEvent(LOG_RESTART_REQUESTED);
    return 1;
}
