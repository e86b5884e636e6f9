// Wall time of an unattended switch-off, process start to exit, against the
// least program that writes one value, launched alternately:
//   unattended_wall INSTALLER BASELINE [RUNS]
// A printer with a supported driver is installed for the runs; before each
// installer run its keys and the record are removed again, so that every run
// does the whole switch-off. At fleet scale this is the cost per computer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

static const char PRINTER_KEY[] = "System\\CurrentControlSet\\control\\Print\\Printers\\Bench TX";
static const char DRIVER[] = "TX 212";

static double g_tick;

static double Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * g_tick;
}

static void Forget()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Merravin\\Bench TX");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brisvane");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\BrisvaneBench");
}

// Seconds from creation to exit, or a negative number when it failed.
static double Run(const char *program, const char *arguments, DWORD expected)
{
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION info = {};
    char commandLine[2 * MAX_PATH];
    DWORD code = 0;

    startup.cb = sizeof startup;
    if (std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", program, arguments) >= (int)sizeof commandLine)
        return -1;
    Forget();
    double start = Now();
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info))
        return -1;
    WaitForSingleObject(info.hProcess, 30000);
    double elapsed = Now() - start;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code == expected ? elapsed : -1;
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
    HKEY key;

    if (argc < 3) {
        std::printf("usage: unattended_wall INSTALLER BASELINE [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? std::atoi(argv[3]) : 21;
    QueryPerformanceFrequency(&frequency);
    g_tick = 1.0 / (double)frequency.QuadPart;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, PRINTER_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        != ERROR_SUCCESS)
        return 2;
    RegSetValueExA(key, "Printer Driver", 0, REG_SZ, (const BYTE *)DRIVER, sizeof DRIVER);
    RegCloseKey(key);

    std::vector<double> target, baseline, ratios;
    // One warm-up each: the first launches of a session pay for Wine's start-up.
    bool ok = Run(argv[1], "/off", 3010) > 0 && Run(argv[2], "", 0) > 0;
    for (int run = 0; ok && run < runs; run++) {
        double t, b;
        if (run % 2 == 0) {
            t = Run(argv[1], "/off", 3010);
            b = Run(argv[2], "", 0);
        } else {
            b = Run(argv[2], "", 0);
            t = Run(argv[1], "/off", 3010);
        }
        ok = t > 0 && b > 0;
        target.push_back(t);
        baseline.push_back(b);
        ratios.push_back(t / b);
    }
    Forget();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PRINTER_KEY);
    if (!ok) {
        std::printf("  a run failed or ended with an unexpected exit code\n");
        return 2;
    }
    double t = Median(target), b = Median(baseline), r = Median(ratios);
    std::printf("  runs: %d, alternating, after one warm-up launch each\n", runs);
    std::printf("  Brisvane.exe /off, start to exit  median %7.1f ms  (min %.1f, max %.1f)\n", t * 1e3,
                *std::min_element(target.begin(), target.end()) * 1e3,
                *std::max_element(target.begin(), target.end()) * 1e3);
    std::printf("  one key, one value                median %7.1f ms  (min %.1f, max %.1f)\n", b * 1e3,
                *std::min_element(baseline.begin(), baseline.end()) * 1e3,
                *std::max_element(baseline.begin(), baseline.end()) * 1e3);
    std::printf("  ratio /off / minimal              median %7.3f     goal <= 1.10  %s\n", r, r <= 1.10 ? "ok" : "OVER");
    return 0;
}
