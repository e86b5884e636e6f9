// user32 is loaded on the first call that needs it, not at start-up. An
// unattended run shows no window, and under Wine loading the window manager
// is most of what its process costs. Include after <windows.h>: the calls of
// the file keep their names and types, and go to stand-ins that load user32.
#ifndef BRISVANE_USER32_H
#define BRISVANE_USER32_H

#include <windows.h>

// The host layer stands in for these calls itself.
#ifndef BRISVANE_HOST_WINDOWS_H

extern "C" {
INT_PTR WINAPI LazyDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param);
BOOL WINAPI LazyEndDialog(HWND dialog, INT_PTR result);
LRESULT WINAPI LazySendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND WINAPI LazyGetDlgItem(HWND dialog, int id);
BOOL WINAPI LazyEnableWindow(HWND window, BOOL enable);
BOOL WINAPI LazySetDlgItemTextA(HWND dialog, int id, LPCSTR text);
int WINAPI LazyLoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
int WINAPI LazyMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI LazyExitWindowsEx(UINT flags, DWORD reason);
}

#ifndef BRISVANE_USER32_STANDINS
#define DialogBoxParamA LazyDialogBoxParamA
#define EndDialog LazyEndDialog
#define SendDlgItemMessageA LazySendDlgItemMessageA
#define GetDlgItem LazyGetDlgItem
#define EnableWindow LazyEnableWindow
#define SetDlgItemTextA LazySetDlgItemTextA
#define LoadStringA LazyLoadStringA
#define MessageBoxA LazyMessageBoxA
#define ExitWindowsEx LazyExitWindowsEx
#endif

#endif
#endif
