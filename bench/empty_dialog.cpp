// The baseline for the time to the first dialog: start, show one empty modal
// dialog, end when it is cancelled.
#include <windows.h>

static INT_PTR CALLBACK EmptyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(1), NULL, EmptyDlgProc, 0);
    return 0;
}
