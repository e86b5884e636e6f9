// The DLL loader of the host layer. The host runs no Windows DLLs, so there
// is no module to find and no search path to change.
#include <windows.h>

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    (void)moduleName;
    return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    (void)module, (void)procName;
    return nullptr;
}

BOOL WINAPI SetDllDirectoryA(LPCSTR pathName)
{
    (void)pathName;
    return TRUE;
}
