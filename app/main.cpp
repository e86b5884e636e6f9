// The installer: a notice, the choice of direction, the road it leads to, the
// outcome and the offer to restart.
#include <windows.h>

#include "../platform/dll_search.h"
#include "../platform/report.h"
#include "../registry/registry_ops.h"
#include "../res/messages.h"
#include "../res/resource.h"
#include "command_line.h"
#include "dialogs.h"
#include "flow.h"
#include "unattended.h"
#include "../platform/user32.h"

static INT_PTR OnNoticeInit(HWND dialog, HINSTANCE instance)
{
    ShowResourceText(dialog, IDC_NOTICE_TEXT, instance, IDS_NOTICE);
    return TRUE;
}

INT_PTR CALLBACK NoticeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnNoticeInit(dialog, (HINSTANCE)lParam);
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
    }
    return FALSE;
}

static INT_PTR OnActionInit(HWND dialog)
{
    // Only the direction that fits the current state can be chosen. A record
    // that cannot be opened with full access counts as absent.
    int recorded = TestPatchRecord() == ERROR_SUCCESS;

    SendDlgItemMessageA(dialog, IDC_DISABLE_MESSAGES, BM_SETCHECK, recorded ? BST_UNCHECKED : BST_CHECKED, 0);
    SendDlgItemMessageA(dialog, IDC_ENABLE_MESSAGES, BM_SETCHECK, recorded ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(GetDlgItem(dialog, recorded ? IDC_DISABLE_MESSAGES : IDC_ENABLE_MESSAGES), FALSE);
    return TRUE;
}

INT_PTR CALLBACK ActionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (message == WM_INITDIALOG)
        return OnActionInit(dialog);
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, SendDlgItemMessageA(dialog, IDC_DISABLE_MESSAGES, BM_GETCHECK, 0, 0) == BST_CHECKED
                                  ? ACTION_DISABLE_MESSAGES
                                  : ACTION_ENABLE_MESSAGES);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, ACTION_CANCEL);
            return TRUE;
        }
    }
    return FALSE;
}

static void RunDialogs(HINSTANCE instance)
{
    if (ShowDialog(instance, IDD_NOTICE, NoticeDlgProc, (LPARAM)instance) == 0)
        return;
    switch (ShowDialog(instance, IDD_ACTION, ActionDlgProc, 0)) {
    case ACTION_DISABLE_MESSAGES:
        if (ShowDialog(instance, IDD_PRINTER, PrinterDlgProc, 0) != 0)
            FinishChange(TEXT_SWITCHED_OFF);
        break;
    case ACTION_ENABLE_MESSAGES:
        SwitchOn();
        break;
    }
}

// commandLine holds the arguments without the program's name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    RunOptions options;

    RestrictDllSearch();
    (void)previous;
    (void)showCommand;
    ReadCommandLine(commandLine, &options);
    // Where nobody can see a window, a run without switches ends at once, as
    // an unattended one that was given no switch it understands.
    if (options.run != RUN_DIALOGS || !CanShowWindows())
        return RunUnattended(options, commandLine);
    // A person at the screen reads the outcome in the messages.
    ReportToScreen();
    RunDialogs(instance);
    return 0;
}
