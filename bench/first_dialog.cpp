// Time from process creation to the first visible dialog, for two programs
// launched alternately: first_dialog TARGET BASELINE [RUNS].
// A dialog counts once a visible top-level "#32770" window of the launched
// process exists. The process is then terminated: cancelling the dialog works
// too, but Wine takes some two seconds over a GUI process's orderly exit,
// which would make every run ten times as long without telling us anything.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

static double g_tick;

static double Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * g_tick;
}

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

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int main(int argc, char **argv)
{
    LARGE_INTEGER frequency;

    if (argc < 3) {
        std::printf("usage: first_dialog TARGET BASELINE [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? std::atoi(argv[3]) : 9;
    QueryPerformanceFrequency(&frequency);
    g_tick = 1.0 / (double)frequency.QuadPart;

    // The first launches of a session also pay for Wine's own start-up.
    if (TimeToDialog(argv[1]) < 0 || TimeToDialog(argv[2]) < 0) {
        std::printf("  a program showed no dialog\n");
        return 2;
    }
    std::vector<double> target, baseline, ratios;
    for (int run = 0; run < runs; run++) {
        double t, b;
        if (run % 2 == 0) {
            t = TimeToDialog(argv[1]);
            b = TimeToDialog(argv[2]);
        } else {
            b = TimeToDialog(argv[2]);
            t = TimeToDialog(argv[1]);
        }
        if (t < 0 || b < 0) {
            std::printf("  run %d: a program showed no dialog\n", run + 1);
            return 2;
        }
        target.push_back(t);
        baseline.push_back(b);
        ratios.push_back(t / b);
    }
    double t = Median(target), b = Median(baseline), r = Median(ratios);
    std::printf("  runs: %d, alternating, after one warm-up launch each\n", runs);
    std::printf("  installer, to notice dialog   median %7.1f ms  (min %.1f, max %.1f)\n", t * 1e3,
                *std::min_element(target.begin(), target.end()) * 1e3,
                *std::max_element(target.begin(), target.end()) * 1e3);
    std::printf("  empty dialog program          median %7.1f ms  (min %.1f, max %.1f)\n", b * 1e3,
                *std::min_element(baseline.begin(), baseline.end()) * 1e3,
                *std::max_element(baseline.begin(), baseline.end()) * 1e3);
    std::printf("  ratio installer/empty         median %7.3f     goal <= 1.20  %s\n", r, r <= 1.20 ? "ok" : "OVER");
    return 0;
}
