// Reads a case script on standard input and carries it out line by line:
//   printer NAME DRIVER     installs a printer in the spooler's list
//   key PATH                creates a key
//   sz PATH NAME TEXT       sets a text value, with its NUL as Windows writes it
//   dword PATH NAME NUMBER  sets a number value
//   delete PATH [NAME]      deletes a key and everything below it, or one value
//   run ANSWER...           runs the installer: enter, escape, ok, cancel
//   run-brief ANSWER...     the same, printing only each dialog's title and kind
//   unattended ARGUMENT...  runs it with these arguments, quoted where they hold a blank
//   unseen [ARGUMENT...]    the same on a window station made without WSF_VISIBLE
//   msiexec ARGUMENT...     runs msiexec so, a NAME=VALUE as NAME="VALUE" where it
//                           holds a blank, and prints its windows and exit code
//   hold-mutex NAME [SDDL]  holds a named mutex, as another run would, with the
//                           owner and DACL of SDDL where one is given, until
//   release-mutex           releases it
//   hardlink LINK TARGET    makes LINK a second name of the file TARGET
//   plainfile PATH          makes an empty file
//   remove PATH             removes a file or an empty folder
//   plant FOLDER [DLL]      copies the installer into FOLDER, with planted.dll
//                           (built beside the driver) as DLL, e.g. uxtheme.dll,
//                           where one is named, has Wine prefer that native DLL
//                           as Windows would, and starts later runs there
//   file PATH               prints a UTF-8 log's lines, each line's leading date
//                           and time and the computer's name masked, whether it
//                           begins with a byte order mark and holds another, or
//                           that it does not exist
//   msilog PATH             prints the lines the custom actions wrote into a
//                           Windows Installer log (in the ANSI code page), masked
//                           as by file
//   exists PATH             prints whether a file or folder is there; PATH may
//                           name %ProgramFiles%, which a 32-bit program on 64-bit
//                           Windows sees as Program Files (x86)
//   folder PATH             makes a folder, %ProgramFiles% as for exists
//   entries                 prints the Programs and Features entries
//   dump PATH               prints a key tree with every value's bytes
//   snapshot NAME PATH      keeps a dump to compare later
//   compare NAME NAME       prints how two snapshots differ
//   restarts                prints the restart requests made so far
//   events                  has the events reported from here on printed after the calls
//   echo TEXT...            prints the text, for headings
// Paths are under HKEY_LOCAL_MACHINE. Usage: driver INSTALLER [SHOT_DIR] < case
#include "driver.h"

#include <sddl.h>

#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

static const char PRINTER_LIST[] = "System\\CurrentControlSet\\control\\Print\\Printers\\";

void Print(const char *format, ...)
{
    char line[4096];
    va_list args;

    va_start(args, format);
    int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0)
        return;
    fwrite(line, 1, (size_t)length < sizeof line ? (size_t)length : sizeof line - 1, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

std::string Utf8(const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (size <= 0)
        return std::string();
    std::string out((size_t)size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, NULL, NULL);
    out.resize((size_t)size - 1);
    return out;
}

// Converts exactly size bytes of ANSI text, NULs included.
std::string Utf8FromAnsi(const char *text, int size)
{
    if (size <= 0)
        return std::string();
    int count = MultiByteToWideChar(CP_ACP, 0, text, size, NULL, 0);
    if (count <= 0)
        return std::string();
    std::wstring wide((size_t)count, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, size, &wide[0], count);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, NULL, 0, NULL, NULL);
    if (length <= 0)
        return std::string();
    std::string out((size_t)length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, &out[0], length, NULL, NULL);
    return out;
}

std::wstring Wide(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring out((size_t)count, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], count);
    return out;
}

std::string Quoted(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '\0') {
            out += "\\0";
        } else if (c < 0x20 || c == '"') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

// Splits a script line into words; "..." keeps spaces, backslashes are literal.
static std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            i++;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

static bool ParseAnswers(const std::vector<std::string> &words, std::vector<Answer> &answers)
{
    // clang-format off
    static const struct { const char *word; Answer answer; } table[] = {
        { "enter", ANSWER_ENTER }, { "escape", ANSWER_ESCAPE },
        { "ok", ANSWER_CLICK_OK }, { "cancel", ANSWER_CLICK_CANCEL },
    };
    // clang-format on
    for (size_t i = 1; i < words.size(); i++) {
        bool known = false;
        for (const auto &row : table) {
            if (words[i] == row.word) {
                answers.push_back(row.answer);
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

static std::map<std::string, std::vector<std::string>> snapshots;

// The folder part of a path, with its last backslash.
static std::wstring FolderOf(const std::wstring &path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Has Wine prefer a native DLL for one program, as "name=n,b" in
// WINEDLLOVERRIDES would; Wine then searches the program's folder for it
// first, as Windows does for every DLL outside its KnownDLLs list. Wine gives
// a child process the WINEDLLOVERRIDES its parent started with, whatever the
// environment passed to CreateProcess says, so the override goes here.
static bool PreferNativeDll(const std::wstring &program, const std::wstring &dll)
{
    HKEY key;
    static const wchar_t native[] = L"native,builtin";
    std::wstring path = L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, dll.c_str(), 0, REG_SZ, (const BYTE *)native, sizeof native);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// A folder the browser saved the installer to, with a DLL a web page dropped
// beside it, or a folder it was installed into; later runs start the
// installer there.
static bool Plant(const std::string &folder, const std::string &dll, RunOptions &options)
{
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring target = Wide(folder) + L"\\";
    std::wstring program = options.installer.substr(FolderOf(options.installer).size());
    std::wstring planted = FolderOf(self) + L"planted.dll";
    if (!CreateDirectoryW(target.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    if (!CopyFileW(options.installer.c_str(), (target + program).c_str(), FALSE)
        || (!dll.empty()
            && (!CopyFileW(planted.c_str(), (target + Wide(dll)).c_str(), FALSE)
                || !PreferNativeDll(program, Wide(dll.substr(0, dll.rfind('.')))))))
        return false;
    options.installer = target + program;
    return true;
}

static void Compare(const std::string &before, const std::string &after)
{
    std::vector<std::string> a = snapshots[before], b = snapshots[after];
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::vector<std::string> gone, added;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(gone));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(added));
    for (const auto &line : gone)
        Print("only in %s: %s", before.c_str(), line.c_str());
    for (const auto &line : added)
        Print("only in %s: %s", after.c_str(), line.c_str());
    if (gone.empty() && added.empty())
        Print("%s and %s are the same (%u lines)", before.c_str(), after.c_str(), (unsigned)a.size());
}

static HANDLE heldMutex;

// A log is UTF-8, begun with a byte order mark, one line per event behind its
// local date and time. The time and the computer's name vary from run to run
// and are masked once the line's form is checked.
static void PrintLines(const std::string &text, bool stamped);
static bool ReadFile(const std::string &path, std::string &text);

static void PrintFile(const std::string &path)
{
    std::string text;
    static const std::string MARK = "\xEF\xBB\xBF";

    if (!ReadFile(path, text)) {
        Print("no file %s", path.c_str());
        return;
    }
    if (text.compare(0, MARK.size(), MARK) == 0) {
        Print("(byte order mark)");
        text.erase(0, MARK.size());
    }
    for (size_t at = text.find(MARK); at != std::string::npos; at = text.find(MARK, at + 1))
        Print("a byte order mark inside the file, at byte %u", (unsigned)at);
    if (!text.empty()
        && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), NULL, 0) == 0)
        Print("not valid UTF-8");
    PrintLines(text, false);
}

// The lines of a text, each one's leading date and time and the computer's
// name masked; only those with a date and time where stamped.
static void PrintLines(const std::string &text, bool stamped)
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    std::string computer = GetComputerNameW(name, &size) ? Utf8(name) : std::string();
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        start = end == std::string::npos ? text.size() : end + 1;
        bool crlf = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
        if (crlf)
            line.resize(line.size() - 2);
        // The Windows Installer ends its log's lines with LF alone.
        else if (stamped && !line.empty() && line.back() == '\n')
            line.pop_back();
        unsigned year, month, day, hour, minute, second;
        int stamp = 0;
        if (sscanf(line.c_str(), "%4u-%2u-%2u %2u:%2u:%2u %n", &year, &month, &day, &hour, &minute, &second, &stamp)
                != 6
            || stamp != 20)
            stamp = 0;
        if (stamped && !stamp)
            continue;
        line.erase(0, (size_t)stamp);
        size_t named = computer.empty() ? std::string::npos : line.find(" " + computer + ":");
        if (named != std::string::npos)
            line.replace(named + 1, computer.size(), "<computer>");
        Print("%s%s%s", stamp ? "<time> " : "", line.c_str(), crlf || stamped ? "" : " (no CR LF)");
    }
}

static bool ReadFile(const std::string &path, std::string &text)
{
    FILE *file = _wfopen(Wide(path).c_str(), L"rb");
    char chunk[4096];
    size_t read;

    if (!file)
        return false;
    while ((read = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, read);
    fclose(file);
    return true;
}

// A Windows Installer log is in the ANSI code page; the custom actions' lines
// are those that begin with a date and time, as in the program's own log.
static void PrintInstallerLog(const std::string &path)
{
    std::string text;
    if (!ReadFile(path, text)) {
        Print("no file %s", path.c_str());
        return;
    }
    PrintLines(Utf8FromAnsi(text.data(), (int)text.size()), true);
}

static std::wstring Expanded(const std::string &path)
{
    wchar_t expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsW(Wide(path).c_str(), expanded, MAX_PATH);
    return length == 0 || length > MAX_PATH ? Wide(path) : std::wstring(expanded);
}

static void PrintExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesW(Expanded(path).c_str());
    Print("%s: %s", path.c_str(),
          attributes == INVALID_FILE_ATTRIBUTES   ? "absent"
          : attributes & FILE_ATTRIBUTE_DIRECTORY ? "folder"
                                                  : "file");
}

// Carries out one script line; false stops the script.
static bool Execute(const std::vector<std::string> &w, RunOptions &options)
{
    const std::string &verb = w[0];
    bool ok = true;

    if (verb == "printer" && w.size() == 3) {
        ok = CreateKey(PRINTER_LIST + w[1]) && SetString(PRINTER_LIST + w[1], "Printer Driver", w[2]);
    } else if (verb == "key" && w.size() == 2) {
        ok = CreateKey(w[1]);
    } else if (verb == "sz" && w.size() == 4) {
        ok = SetString(w[1], w[2], w[3]);
    } else if (verb == "dword" && w.size() == 4) {
        ok = SetDword(w[1], w[2], (DWORD)strtoul(w[3].c_str(), NULL, 0));
    } else if (verb == "delete" && w.size() == 2) {
        ok = DeleteTree(w[1]);
    } else if (verb == "delete" && w.size() == 3) {
        ok = DeleteValue(w[1], w[2]);
    } else if (verb == "run" || verb == "run-brief") {
        std::vector<Answer> answers;
        if (!ParseAnswers(w, answers)) {
            Print("error: unknown answer in run");
            return false;
        }
        return RunInstaller(options, answers, verb == "run-brief");
    } else if (verb == "unattended" || verb == "unseen") {
        std::string arguments;
        for (size_t i = 1; i < w.size(); i++) {
            bool quote = w[i].empty() || w[i].find(' ') != std::string::npos;
            arguments += (i > 1 ? " " : "") + (quote ? "\"" + w[i] + "\"" : w[i]);
        }
        return verb == "unseen" ? RunUnseen(options, Wide(arguments)) : RunUnattended(options, Wide(arguments));
    } else if (verb == "msiexec") {
        std::string arguments;
        for (size_t i = 1; i < w.size(); i++) {
            std::string word = w[i];
            size_t equals = word.find('=');
            if (word.find(' ') != std::string::npos)
                word = equals == std::string::npos ? "\"" + word + "\""
                                                   : word.substr(0, equals + 1) + "\"" + word.substr(equals + 1) + "\"";
            arguments += (i > 1 ? " " : "") + word;
        }
        return RunMsiexec(Wide(arguments));
    } else if (verb == "hold-mutex" && (w.size() == 2 || w.size() == 3)) {
        SECURITY_ATTRIBUTES security = { sizeof security, NULL, FALSE };
        ok = w.size() == 2
             || ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(w[2]).c_str(), SDDL_REVISION_1,
                                                                     &security.lpSecurityDescriptor, NULL);
        heldMutex = ok ? CreateMutexW(w.size() == 3 ? &security : NULL, FALSE, Wide(w[1]).c_str()) : NULL;
        ok = heldMutex != NULL;
        LocalFree(security.lpSecurityDescriptor);
    } else if (verb == "hardlink" && w.size() == 3) {
        ok = CreateHardLinkW(Wide(w[1]).c_str(), Wide(w[2]).c_str(), NULL) != 0;
    } else if (verb == "plainfile" && w.size() == 2) {
        HANDLE file = CreateFileW(Expanded(w[1]).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  NULL);
        ok = file != INVALID_HANDLE_VALUE && CloseHandle(file);
    } else if (verb == "remove" && w.size() == 2) {
        ok = DeleteFileW(Expanded(w[1]).c_str()) || RemoveDirectoryW(Expanded(w[1]).c_str());
    } else if (verb == "release-mutex" && w.size() == 1) {
        ok = heldMutex != NULL && CloseHandle(heldMutex);
        heldMutex = NULL;
    } else if (verb == "plant" && (w.size() == 2 || w.size() == 3)) {
        ok = Plant(w[1], w.size() == 3 ? w[2] : std::string(), options);
    } else if (verb == "file" && w.size() == 2) {
        PrintFile(w[1]);
    } else if (verb == "msilog" && w.size() == 2) {
        PrintInstallerLog(w[1]);
    } else if (verb == "exists" && w.size() == 2) {
        PrintExists(w[1]);
    } else if (verb == "folder" && w.size() == 2) {
        ok = CreateDirectoryW(Expanded(w[1]).c_str(), NULL) != 0;
    } else if (verb == "entries" && w.size() == 1) {
        for (const auto &line : UninstallEntries())
            Print("%s", line.c_str());
    } else if (verb == "dump" && w.size() == 2) {
        for (const auto &line : DumpKey(w[1]))
            Print("%s", line.c_str());
    } else if (verb == "snapshot" && w.size() == 3) {
        snapshots[w[1]] = DumpKey(w[2]);
    } else if (verb == "compare" && w.size() == 3) {
        Compare(w[1], w[2]);
    } else if (verb == "echo") {
        std::string text;
        for (size_t i = 1; i < w.size(); i++)
            text += (i > 1 ? " " : "") + w[i];
        Print("%s", text.c_str());
    } else if (verb == "events" && w.size() == 1) {
        TraceMark("e2e: events from here\n");
    } else if (verb == "restarts" && w.size() == 1) {
        PrintRestartRequests();
    } else {
        Print("error: cannot read script line starting with %s", verb.c_str());
        return false;
    }
    if (!ok)
        Print("error: %s %s failed", verb.c_str(), w.size() > 1 ? w[1].c_str() : "");
    return ok;
}

// The prefix's wineboot.exe is a stub that logs its command line. Wine runs
// its own copy unless told otherwise; told here rather than in the template,
// so the prefix still starts with the real one and only requests made from
// now on (a restart request runs "wineboot --end-session") reach the stub.
static bool UseRestartStub()
{
    HKEY key;
    static const wchar_t native[] = L"native";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL)
        != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, L"wineboot.exe", 0, REG_SZ, (const BYTE *)native, sizeof native);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int wmain(int argc, wchar_t **argv)
{
    RunOptions options;
    char buffer[4096];
    bool ok = true;

    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        fprintf(stderr, "usage: driver INSTALLER [SHOT_DIR] < case\n");
        return 2;
    }
    if (!UseRestartStub()) {
        Print("error: cannot route restart requests to the stub");
        return 1;
    }
    options.installer = argv[1];
    if (argc > 2)
        options.shotDirectory = argv[2];
    while (ok && fgets(buffer, sizeof buffer, stdin)) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        ok = Execute(words, options);
    }
    return ok ? 0 : 1;
}
