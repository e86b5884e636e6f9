// The stand-ins for the user32 calls: each finds its function on first use,
// loading user32 then, and passes its arguments on unchanged.
#define BRISVANE_USER32_STANDINS
#include "user32.h"

// One name per function, in the order of the indices, after the DLL's own.
static const char USER_NAMES[] = "user32.dll\0"
                                 "DialogBoxParamA\0"
                                 "EndDialog\0"
                                 "SendDlgItemMessageA\0"
                                 "GetDlgItem\0"
                                 "EnableWindow\0"
                                 "SetDlgItemTextA\0"
                                 "LoadStringA\0"
                                 "MessageBoxA\0"
                                 "ExitWindowsEx\0";

enum { USER_FUNCTION_COUNT = 9 };

// The type that converts to any function's without a warning.
typedef void (*UserProc)();

static HMODULE user32;
static UserProc userFunctions[USER_FUNCTION_COUNT];

// A user32 that cannot be loaded ends the process: no window of ours can be
// shown without it. The stand-ins call this with the function's index.
extern "C" UserProc BrisvaneUserFunction(int index)
{
    if (userFunctions[index] == NULL) {
        const char *name = USER_NAMES;
        for (int i = -1; i < index; i++)
            name += lstrlenA(name) + 1;
        // A system DLL: found in System32 whatever the search path holds.
        if (user32 == NULL)
            user32 = LoadLibraryA(USER_NAMES);
        if (user32 != NULL)
            userFunctions[index] = (UserProc)GetProcAddress(user32, name);
        if (userFunctions[index] == NULL)
            ExitProcess(ERROR_DLL_INIT_FAILED);
    }
    return userFunctions[index];
}

#if defined(__GNUC__) && defined(__i386__)
// On 32-bit x86 every stand-in pushes its index and jumps to one loader,
// which drops the index and jumps on to the function: the caller's
// arguments and return address stay where they are, as the function expects.
#define STANDIN(index, symbol) ".globl " symbol "\n" symbol ":\n    push $" #index "\n    jmp LazyUserCall\n"
asm(".text\n"
    "LazyUserCall:\n"
    "    call _BrisvaneUserFunction\n"
    "    add $4, %esp\n"
    "    jmp *%eax\n"
    STANDIN(0, "_LazyDialogBoxParamA@20")
    STANDIN(1, "_LazyEndDialog@8")
    STANDIN(2, "_LazySendDlgItemMessageA@20")
    STANDIN(3, "_LazyGetDlgItem@8")
    STANDIN(4, "_LazyEnableWindow@8")
    STANDIN(5, "_LazySetDlgItemTextA@12")
    STANDIN(6, "_LazyLoadStringA@16")
    STANDIN(7, "_LazyMessageBoxA@16")
    STANDIN(8, "_LazyExitWindowsEx@8"));
#else
#define USER_CALL(index, name) ((decltype(&::name))BrisvaneUserFunction(index))

INT_PTR WINAPI LazyDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param)
{
    return USER_CALL(0, DialogBoxParamA)(instance, name, owner, procedure, param);
}

BOOL WINAPI LazyEndDialog(HWND dialog, INT_PTR result)
{
    return USER_CALL(1, EndDialog)(dialog, result);
}

LRESULT WINAPI LazySendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return USER_CALL(2, SendDlgItemMessageA)(dialog, id, message, wParam, lParam);
}

HWND WINAPI LazyGetDlgItem(HWND dialog, int id)
{
    return USER_CALL(3, GetDlgItem)(dialog, id);
}

BOOL WINAPI LazyEnableWindow(HWND window, BOOL enable)
{
    return USER_CALL(4, EnableWindow)(window, enable);
}

BOOL WINAPI LazySetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    return USER_CALL(5, SetDlgItemTextA)(dialog, id, text);
}

int WINAPI LazyLoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    return USER_CALL(6, LoadStringA)(instance, id, buffer, size);
}

int WINAPI LazyMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    return USER_CALL(7, MessageBoxA)(owner, text, caption, type);
}

BOOL WINAPI LazyExitWindowsEx(UINT flags, DWORD reason)
{
    return USER_CALL(8, ExitWindowsEx)(flags, reason);
}
#endif
