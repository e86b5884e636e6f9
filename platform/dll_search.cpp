// Where the system may look for the DLLs loaded while the installer runs.
// SetDefaultDllDirectories came with Windows 8 (and an update to Windows 7),
// so it is looked up rather than imported.
#include <windows.h>

#include "dll_search.h"

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD flags);

void RestrictDllSearch()
{
    // Run elevated from Downloads, we must not load a DLL that a web page dropped beside us.
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");

    if (found)
        ((SetDefaultDllDirectoriesProc)(void (*)())found)(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
}
