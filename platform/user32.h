// user32 is loaded on the first call that needs it, not at start-up. An
// unattended run shows no window, and under Wine loading the window manager
// is most of what its process costs. Include after <windows.h>: the calls of
// the file keep their names and types, and go to stand-ins that load user32.
#ifndef BRISVANE_USER32_H
#define BRISVANE_USER32_H

#include <windows.h>

// The host layer stands in for these calls itself.
#ifndef BRISVANE_HOST_WINDOWS_H

// Every user32 function the program calls: result, name, parameters, the
// arguments passed on. The stand-ins, their names in user32 and their
// places in the table of found functions all come from this one list.
// clang-format off
#define BRISVANE_USER32_FUNCTIONS(X)                                                                            \
    X(INT_PTR, DialogBoxParamA, (HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param), \
      (instance, name, owner, procedure, param))                                                                \
    X(INT_PTR, DialogBoxParamW,                                                                                 \
      (HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC procedure, LPARAM param),                          \
      (instance, name, owner, procedure, param))                                                                \
    X(BOOL, EndDialog, (HWND dialog, INT_PTR result), (dialog, result))                                         \
    X(LRESULT, SendDlgItemMessageA, (HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam),          \
      (dialog, id, message, wParam, lParam))                                                                    \
    X(HWND, GetDlgItem, (HWND dialog, int id), (dialog, id))                                                    \
    X(BOOL, EnableWindow, (HWND window, BOOL enable), (window, enable))                                         \
    X(BOOL, SetDlgItemTextA, (HWND dialog, int id, LPCSTR text), (dialog, id, text))                            \
    X(BOOL, SetDlgItemTextW, (HWND dialog, int id, LPCWSTR text), (dialog, id, text))                           \
    X(int, LoadStringA, (HINSTANCE instance, UINT id, LPSTR buffer, int size), (instance, id, buffer, size))    \
    X(int, LoadStringW, (HINSTANCE instance, UINT id, LPWSTR buffer, int size), (instance, id, buffer, size))   \
    X(int, MessageBoxA, (HWND owner, LPCSTR text, LPCSTR caption, UINT type), (owner, text, caption, type))     \
    X(int, MessageBoxW, (HWND owner, LPCWSTR text, LPCWSTR caption, UINT type), (owner, text, caption, type))   \
    X(BOOL, ExitWindowsEx, (UINT flags, DWORD reason), (flags, reason))                                         \
    X(HWINSTA, GetProcessWindowStation, (), ())                                                                 \
    X(BOOL, GetUserObjectInformationA,                                                                          \
      (HANDLE object, int index, PVOID information, DWORD size, LPDWORD needed),                                \
      (object, index, information, size, needed))
// clang-format on

#define BRISVANE_USER32_DECLARE(result, name, parameters, arguments) result WINAPI Lazy##name parameters;
BRISVANE_USER32_FUNCTIONS(BRISVANE_USER32_DECLARE)
#undef BRISVANE_USER32_DECLARE

// The calls of the including file go to the stand-ins. A name here without
// its line in the list above does not compile.
#ifndef BRISVANE_USER32_STANDINS
#define DialogBoxParamA LazyDialogBoxParamA
#define DialogBoxParamW LazyDialogBoxParamW
#define EndDialog LazyEndDialog
#define SendDlgItemMessageA LazySendDlgItemMessageA
#define GetDlgItem LazyGetDlgItem
#define EnableWindow LazyEnableWindow
#define SetDlgItemTextA LazySetDlgItemTextA
#define SetDlgItemTextW LazySetDlgItemTextW
#define LoadStringA LazyLoadStringA
#define LoadStringW LazyLoadStringW
#define MessageBoxA LazyMessageBoxA
#define MessageBoxW LazyMessageBoxW
#define ExitWindowsEx LazyExitWindowsEx
#define GetProcessWindowStation LazyGetProcessWindowStation
#define GetUserObjectInformationA LazyGetUserObjectInformationA
#endif

#endif
#endif
