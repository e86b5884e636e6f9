// Time from process creation to the first visible dialog, for two programs
// launched alternately: first_dialog TARGET BASELINE [RUNS].
// A dialog counts once a visible top-level "#32770" window of the launched
// process exists. The process is then terminated: cancelling the dialog works
// too, but Wine takes some two seconds over a GUI process's orderly exit,
// which would make every run ten times as long without telling us anything.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "alternate.h"

struct Search {
    DWORD process;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM lParam)
{
    Search *search = (Search *)lParam;
    DWORD process = 0;
    char className[16];

    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window))
        return TRUE;
    if (GetClassNameA(window, className, sizeof className) == 0 || lstrcmpA(className, "#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Seconds to the first dialog of `program`, or a negative number on failure.
static double TimeToDialog(const char *program)
{
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION info = {};
    char commandLine[MAX_PATH + 2];
    double result = -1;

    startup.cb = sizeof startup;
    if (std::snprintf(commandLine, sizeof commandLine, "\"%s\"", program) >= (int)sizeof commandLine)
        return -1;
    double start = Now();
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info))
        return -1;
    Search search = { info.dwProcessId, NULL };
    while (Now() - start < 30) {
        EnumWindows(FindDialog, (LPARAM)&search);
        if (search.found) {
            result = Now() - start;
            break;
        }
        if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::printf("usage: first_dialog TARGET BASELINE [RUNS]\n");
        return 2;
    }
    return Alternate({ "installer, to notice dialog", [&] { return TimeToDialog(argv[1]); } },
                     { "empty dialog program", [&] { return TimeToDialog(argv[2]); } },
                     argc > 3 ? std::atoi(argv[3]) : 9, "ratio installer/empty", 1.20);
}
