// The printer choice: lists the one supported printer found, and on OK writes
// its monitor setting and then the patch record.
#include <windows.h>

#include "../platform/report.h"
#include "../registry/registry_ops.h"
#include "../res/messages.h"
#include "../res/resource.h"
#include "dialogs.h"
#include "flow.h"
#include "../platform/user32.h"

static INT_PTR OnPrinterInit(HWND dialog)
{
    char name[PRINTER_NAME_SIZE];

    if (!FindSupportedPrinter(name)) {
        // Ending during WM_INITDIALOG: the user sees only the message.
        ShowError(TEXT_NO_PRINTER);
        EndDialog(dialog, 0);
        return FALSE;
    }
    // The list holds the name from here to OK; nothing else is kept.
    SendDlgItemMessageA(dialog, IDC_PRINTER_LIST, CB_ADDSTRING, 0, (LPARAM)name);
    SendDlgItemMessageA(dialog, IDC_PRINTER_LIST, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)name);
    return TRUE;
}

// Reads the selected printer back from the list. Fails when there is no
// selection or its text does not fit, so that no unfilled buffer goes on.
static int GetSelectedPrinter(HWND dialog, char *name)
{
    LRESULT index = SendDlgItemMessageA(dialog, IDC_PRINTER_LIST, CB_GETCURSEL, 0, 0);
    LRESULT length;

    if (index == CB_ERR)
        return 0;
    length = SendDlgItemMessageA(dialog, IDC_PRINTER_LIST, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length == CB_ERR || length <= 0 || length >= PRINTER_NAME_SIZE)
        return 0;
    // The length asked for first may be larger than the text (Windows allows
    // for double-byte characters); the buffer holds either.
    length = SendDlgItemMessageA(dialog, IDC_PRINTER_LIST, CB_GETLBTEXT, (WPARAM)index, (LPARAM)name);
    return length != CB_ERR && length > 0 && length < PRINTER_NAME_SIZE;
}

static void OnPrinterOk(HWND dialog)
{
    char name[PRINTER_NAME_SIZE];

    // The dialog does not report a record that could not be stored.
    EndDialog(dialog, GetSelectedPrinter(dialog, name) && ApplySwitchOff(name) != SWITCH_OFF_FAILED);
}

INT_PTR CALLBACK PrinterDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (message == WM_INITDIALOG)
        return OnPrinterInit(dialog);
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnPrinterOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
    }
    return FALSE;
}
