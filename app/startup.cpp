// The program's own start-up for the MinGW builds. The installer uses no C
// runtime function, so instead of the runtime's start-up (and the runtime DLL
// it imports) it enters WinMain directly; that keeps Brisvane.exe small.
#include <windows.h>

// Never returns, so the calling convention does not matter; the plain name is
// the one the linker takes as the entry point by default.
extern "C" void WinMainCRTStartup()
{
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWDEFAULT));
}
