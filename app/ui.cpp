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

void RequestRestart()
{
    ExitWindowsEx(EWX_REBOOT, 0);
}
