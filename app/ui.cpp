// Every message box carries the program's caption and the stop icon, and has
// no owner: the dialogs that come before it have already ended.
#include "ui.h"

#include <windows.h>

#include "../res/strings.h"

void ShowError(const char *text)
{
    MessageBoxA(NULL, text, APP_TITLE, MB_ICONERROR);
}

int ShowConfirm(const char *text)
{
    return MessageBoxA(NULL, text, APP_TITLE, MB_ICONERROR | MB_OKCANCEL) == IDOK;
}

static const char TEXT_RESTART_FAILED[] =
    "Не удалось перезагрузить компьютер. Перезагрузите его вручную для активизации внесенных изменений.";

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

void RequestRestart()
{
    EnableShutdownPrivilege();
    // The changes are already in place; the user only has to restart by hand.
    if (!ExitWindowsEx(EWX_REBOOT, 0))
        ShowError(TEXT_RESTART_FAILED);
}
