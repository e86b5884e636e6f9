// The program's own start-up for the MinGW builds. The installer uses no C
// runtime function, so instead of the runtime's start-up (and the runtime DLL
// it imports) it enters WinMain directly; that keeps Brisvane.exe small.
#include <windows.h>

// WinMain gets the arguments without the program's name, as the C runtime
// gives them: the name ends at the first blank outside quotes.
static LPSTR ArgumentsOf(LPSTR line)
{
    int quoted = 0;

    for (; *line != '\0' && (quoted || (*line != ' ' && *line != '\t')); line++)
        quoted ^= *line == '"';
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

// Never returns, so the calling convention does not matter; the plain name is
// the one the linker takes as the entry point by default.
extern "C" void WinMainCRTStartup()
{
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, ArgumentsOf(GetCommandLineA()), SW_SHOWDEFAULT));
}
