// The Wine test driver: seeds the registry, walks the installer's dialogs the
// way a user would, and prints what it met as a transcript for run.sh to
// compare with the expected one.
#ifndef BRISVANE_TEST_DRIVER_H
#define BRISVANE_TEST_DRIVER_H

#include <windows.h>

#include <string>
#include <vector>

// Transcript output, UTF-8, newline-terminated lines.
void Print(const char *format, ...);
std::string Utf8(const wchar_t *text);
std::string Utf8FromAnsi(const char *text, int size);
std::wstring Wide(const std::string &utf8);
// Quotes a text for the transcript; NULs and control bytes are escaped, so
// what a value holds beyond its text stays visible.
std::string Quoted(const std::string &utf8);

// Registry, everything under HKEY_LOCAL_MACHINE.
bool CreateKey(const std::string &path);
bool SetString(const std::string &path, const std::string &name, const std::string &text);
bool SetDword(const std::string &path, const std::string &name, DWORD value);
bool DeleteTree(const std::string &path);
bool DeleteValue(const std::string &path, const std::string &name);
// Lines describing the key, its values byte for byte, and its subkeys.
std::vector<std::string> DumpKey(const std::string &path);
// The Programs and Features entries a 32-bit installer package makes, with
// the values that tell them apart; a line more for any that the 64-bit view
// of a 64-bit Windows holds, where a 32-bit package's must never be.
std::vector<std::string> UninstallEntries();

// Installer runs.
enum Answer { ANSWER_ENTER, ANSWER_ESCAPE, ANSWER_CLICK_OK, ANSWER_CLICK_CANCEL };
struct RunOptions {
    std::wstring installer;
    std::wstring shotDirectory;  // empty: no screenshots
};
// Starts the installer, answers one dialog per answer, prints each dialog
// (only its title and kind when brief) and the exit code. Returns false when
// something timed out.
bool RunInstaller(const RunOptions &options, const std::vector<Answer> &answers, bool brief = false);
// Starts the installer with these arguments and no one to answer it; prints
// every window of its process that shows, and the exit code.
bool RunUnattended(const RunOptions &options, const std::wstring &arguments);
// The same on a window station that nobody sees, as a service's.
bool RunUnseen(const RunOptions &options, const std::wstring &arguments);
// Runs msiexec with these arguments in the same way; its exit code in full.
bool RunMsiexec(const std::wstring &arguments);
// Writes a line into Wine's trace, between the lines of the runs around it.
void TraceMark(const char *line);
// Waits for started restart helpers to finish and prints the requests logged.
void PrintRestartRequests();

#endif
