// The dialog procedures of the installer's three dialogs.
#ifndef BRISVANE_DIALOGS_H
#define BRISVANE_DIALOGS_H

#include <windows.h>

// Results of the action dialog.
enum { ACTION_CANCEL = 0, ACTION_DISABLE_MESSAGES = 1, ACTION_ENABLE_MESSAGES = 2 };

INT_PTR CALLBACK NoticeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ActionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PrinterDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
