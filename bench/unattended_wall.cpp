// Wall time of an unattended switch-off, process start to exit, against the
// least program that writes one value, launched alternately:
//   unattended_wall INSTALLER BASELINE [RUNS]
// A printer with a supported driver is installed for the runs; before each
// installer run its keys and the record are removed again, so that every run
// does the whole switch-off. At fleet scale this is the cost per computer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "alternate.h"

static const char PRINTER_KEY[] = "System\\CurrentControlSet\\control\\Print\\Printers\\Bench TX";
static const char DRIVER[] = "TX 212";

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

int main(int argc, char **argv)
{
    HKEY key;

    if (argc < 3) {
        std::printf("usage: unattended_wall INSTALLER BASELINE [RUNS]\n");
        return 2;
    }
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, PRINTER_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 2;
    RegSetValueExA(key, "Printer Driver", 0, REG_SZ, (const BYTE *)DRIVER, sizeof DRIVER);
    RegCloseKey(key);
    int result = Alternate({ "Brisvane.exe /off, start to exit", [&] { return Run(argv[1], "/off", 3010); } },
                           { "one key, one value", [&] { return Run(argv[2], "", 0); } },
                           argc > 3 ? std::atoi(argv[3]) : 21, "ratio /off / minimal", 1.10);
    Forget();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PRINTER_KEY);
    return result;
}
