// The installer: a notice, the choice of direction, the road it leads to, the
// outcome and the offer to restart.
#include <windows.h>

#include "../registry/keys.h"
#include "../registry/registry_ops.h"
#include "../res/resource.h"
#include "dialogs.h"
#include "dll_search.h"
#include "ui.h"

static const char TEXT_SWITCHED_OFF[] =
    "Инсталлятор успешно обновил информацию о продукте. "
    "Для активизации внесенных изменений необходимо перезагрузить компьютер.";
static const char TEXT_SWITCHED_ON[] = "Сообщения 'Мало Тонера' смогут появляться после перезагрузки системы";
static const char TEXT_SWITCH_ON_FAILED[] = "Инсталлятор не смог включить сообщения 'Мало Тонера";

enum { NOTICE_TEXT_SIZE = 2048 };

static INT_PTR OnNoticeInit(HWND dialog, HINSTANCE instance)
{
    char text[NOTICE_TEXT_SIZE];

    if (LoadStringA(instance, IDS_NOTICE, text, (int)sizeof text) <= 0)
        text[0] = '\0';
    SetDlgItemTextA(dialog, IDC_NOTICE_TEXT, text);
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
    HKEY key;
    // Only the direction that fits the current state can be chosen. A record
    // that cannot be opened with full access counts as absent.
    int recorded = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PATCH_RECORD_KEY, 0, KEY_ALL_ACCESS, &key)
                   == ERROR_SUCCESS;

    if (recorded)
        RegCloseKey(key);
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

static void SwitchOff(HINSTANCE instance)
{
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PRINTER), NULL, PrinterDlgProc, 0) != 0
        && ShowConfirm(TEXT_SWITCHED_OFF))
        RequestRestart();
}

static void SwitchOn()
{
    if (!RemoveTonerLowSetting())
        ShowError(TEXT_SWITCH_ON_FAILED);
    else if (ShowConfirm(TEXT_SWITCHED_ON))
        RequestRestart();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    RestrictDllSearch();
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_NOTICE), NULL, NoticeDlgProc, (LPARAM)instance) == 0)
        return 0;
    switch (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ACTION), NULL, ActionDlgProc, 0)) {
    case ACTION_DISABLE_MESSAGES:
        SwitchOff(instance);
        break;
    case ACTION_ENABLE_MESSAGES:
        SwitchOn();
        break;
    }
    return 0;
}
