// The DLL loader of the host layer. The host runs no Windows DLLs, so there
// is no module to find; the search path is recorded with the kernel's objects.
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
