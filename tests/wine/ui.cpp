// Meets the installer's dialogs as a user does: waits for each top-level
// dialog of the installer's process to settle on screen, reads what it shows,
// brings it to the front and answers it with real keyboard or mouse input.
#include "driver.h"

#include <stdio.h>

#include <algorithm>
#include <tlhelp32.h>

enum {
    POLL_MS = 50,
    SETTLE_MS = 400,            // a dialog ended during WM_INITDIALOG may flash up
    DIALOG_TIMEOUT_MS = 20000,  // the first dialog waits for Wine to start the process
    ANSWER_TIMEOUT_MS = 5000,
    EXIT_TIMEOUT_MS = 10000,
    MSIEXEC_TIMEOUT_MS = 240000,  // an installation, its rollback, a removal of the older version, traced, under qemu
    SHOT_TIMEOUT_MS = 10000,
    TEXT_SIZE = 4096,
    MESSAGE_TEXT_ID = 0xFFFF,
    MESSAGE_ICON_ID = 1088,
};

struct Search {
    DWORD process;
    HWND found;
    int count;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    DWORD process = 0;
    wchar_t className[16];

    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window))
        return TRUE;
    if (GetClassNameW(window, className, 16) == 0 || lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    // Top of the z-order first: the dialog the user is looking at.
    if (search->count++ == 0)
        search->found = window;
    return TRUE;
}

// The installer's visible dialog, once it has stayed the same for SETTLE_MS;
// NULL when the process ends first or nothing appears in time.
static HWND WaitForDialog(HANDLE process, DWORD processId, DWORD timeout)
{
    HWND candidate = NULL;
    DWORD since = 0;

    for (DWORD waited = 0; waited < timeout; waited += POLL_MS) {
        Search search = { processId, NULL, 0 };
        EnumWindows(FindDialog, (LPARAM)&search);
        if (search.found != candidate) {
            candidate = search.found;
            since = waited;
        } else if (candidate && waited - since >= SETTLE_MS) {
            if (search.count > 1)
                Print("note: %d dialogs open at once", search.count);
            return candidate;
        }
        if (!candidate && WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return NULL;
        Sleep(POLL_MS);
    }
    return NULL;
}

static std::string WindowText(HWND window)
{
    wchar_t text[TEXT_SIZE];
    DWORD_PTR length = 0;

    if (!SendMessageTimeoutW(window, WM_GETTEXT, TEXT_SIZE, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &length))
        return "(no answer to WM_GETTEXT)";
    if (length >= TEXT_SIZE)
        length = TEXT_SIZE - 1;
    text[length] = L'\0';
    return Utf8(text);
}

static std::string ComboItems(HWND combo)
{
    DWORD_PTR count = 0, selected = 0;
    std::string out = " items [";

    SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    for (DWORD_PTR i = 0; i < count && i < 16; i++) {
        wchar_t item[TEXT_SIZE];
        DWORD_PTR length = 0;
        // The item's length first, so that its text cannot overrun the buffer.
        SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &length);
        if (length >= TEXT_SIZE) {
            out += "(too long)";
            continue;
        }
        item[0] = L'\0';
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, (LPARAM)item, SMTO_ABORTIFHUNG, 2000, &length);
        item[length < TEXT_SIZE ? length : TEXT_SIZE - 1] = L'\0';
        out += (i ? ", " : "") + Quoted(Utf8(item));
    }
    SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &selected);
    return out + "] selected " + std::to_string((int)(LRESULT)selected);
}

struct Controls {
    HWND dialog;
    std::vector<HWND> list;
};

static BOOL CALLBACK CollectControl(HWND window, LPARAM param)
{
    Controls *controls = (Controls *)param;
    if (GetParent(window) == controls->dialog)
        controls->list.push_back(window);
    return TRUE;
}

static std::vector<HWND> ControlsOf(HWND dialog)
{
    Controls controls = { dialog, {} };
    EnumChildWindows(dialog, CollectControl, (LPARAM)&controls);
    return controls.list;
}

// What kind of dialog it is, for the screenshot's name.
static const char *DialogKind(HWND dialog)
{
    if (GetDlgItem(dialog, 1006))
        return "notice";
    if (GetDlgItem(dialog, 1001))
        return "action";
    if (GetDlgItem(dialog, 1000))
        return "printer";
    return "message";
}

static void Describe(HWND dialog, bool brief)
{
    GUITHREADINFO gui = {};
    HWND focus = NULL;
    const char *inFront = GetForegroundWindow() == dialog ? "" : " (not in front)";

    if (brief) {
        Print("dialog %s %s%s", Quoted(WindowText(dialog)).c_str(), DialogKind(dialog), inFront);
        return;
    }
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &gui))
        focus = gui.hwndFocus;
    Print("dialog %s%s", Quoted(WindowText(dialog)).c_str(), inFront);
    for (HWND control : ControlsOf(dialog)) {
        wchar_t className[64];
        if (GetClassNameW(control, className, 64) == 0)
            className[0] = L'\0';
        LONG style = GetWindowLongW(control, GWL_STYLE);
        int id = (int)(WORD)GetDlgCtrlID(control);
        std::string line = "  " + Utf8(className) + " " + (id == 0xFFFF ? std::string("-1") : std::to_string(id));
        if (lstrcmpiW(className, L"ComboBox") == 0) {
            line += ComboItems(control);
        } else if (lstrcmpiW(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
            line += icon ? " icon" : " no icon";
        } else {
            line += " " + Quoted(WindowText(control));
        }
        LONG type = style & BS_TYPEMASK;
        if (lstrcmpiW(className, L"Button") == 0 && (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)) {
            DWORD_PTR check = 0;
            SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &check);
            line += check == BST_CHECKED ? " checked" : " unchecked";
        }
        if (!IsWindowEnabled(control))
            line += " disabled";
        if (!IsWindowVisible(control))
            line += " hidden";
        if (control == focus)
            line += " focused";
        Print("%s", line.c_str());
    }
}

static bool BringToFront(HWND dialog)
{
    for (DWORD waited = 0; waited < ANSWER_TIMEOUT_MS; waited += POLL_MS) {
        if (GetForegroundWindow() == dialog)
            return true;
        SetForegroundWindow(dialog);
        Sleep(POLL_MS);
    }
    return false;
}

static void PressKey(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// A real click in the middle of the button, with an absolute position on
// every event, as Wine wants it.
static bool Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    RECT rect;
    if (!button || !GetWindowRect(button, &rect))
        return false;
    int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    SetCursorPos(x, y);
    INPUT input[3] = {};
    for (INPUT &event : input) {
        event.type = INPUT_MOUSE;
        event.mi.dx = (LONG)(((LONGLONG)x * 65535 + width / 2) / (width - 1));
        event.mi.dy = (LONG)(((LONGLONG)y * 65535 + height / 2) / (height - 1));
        event.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    input[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof(INPUT));
    return true;
}

static const char *AnswerName(Answer answer)
{
    // clang-format off
    switch (answer) {
    case ANSWER_ENTER: return "enter";
    case ANSWER_ESCAPE: return "escape";
    case ANSWER_CLICK_OK: return "click OK";
    default: return "click Cancel";
    }
    // clang-format on
}

static bool WaitGone(HWND dialog)
{
    for (DWORD waited = 0; waited < ANSWER_TIMEOUT_MS; waited += POLL_MS) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return true;
        Sleep(POLL_MS);
    }
    return false;
}

// Asks run.sh's watcher for a screenshot by leaving a request file in the
// shot directory, and waits until the watcher has taken it away.
static void RequestScreenshot(const std::wstring &directory, int number, HWND dialog)
{
    wchar_t path[MAX_PATH];
    if (_snwprintf(path, MAX_PATH, L"%ls\\%02d-%hs.want", directory.c_str(), number, DialogKind(dialog)) < 0)
        return;
    path[MAX_PATH - 1] = L'\0';
    // Coming to the front repaints the caption a moment later.
    Sleep(SETTLE_MS);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(file);
    for (DWORD waited = 0; waited < SHOT_TIMEOUT_MS; waited += POLL_MS) {
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(POLL_MS);
    }
    DeleteFileW(path);
    Print("note: no screenshot taken of dialog %d", number);
}

static bool GiveAnswer(HWND dialog, Answer answer)
{
    switch (answer) {
    case ANSWER_ENTER:
        PressKey(VK_RETURN);
        return true;
    case ANSWER_ESCAPE:
        PressKey(VK_ESCAPE);
        return true;
    case ANSWER_CLICK_OK:
        return Click(dialog, IDOK);
    default:
        return Click(dialog, IDCANCEL);
    }
}

bool RunInstaller(const RunOptions &options, const std::vector<Answer> &answers, bool brief)
{
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION process;
    std::wstring commandLine = L"\"" + options.installer + L"\"";
    bool ok = true;
    size_t next = 0;
    // Screenshots are numbered across the runs of one script.
    static int number = 0;

    startup.cb = sizeof startup;
    if (!CreateProcessW(options.installer.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        Print("error: the installer did not start (error %lu)", GetLastError());
        return false;
    }
    for (;;) {
        HWND dialog = WaitForDialog(process.hProcess, process.dwProcessId,
                                    next < answers.size() ? DIALOG_TIMEOUT_MS : EXIT_TIMEOUT_MS);
        if (!dialog)
            break;
        number++;
        if (!BringToFront(dialog))
            Print("note: the dialog did not come to the front");
        Describe(dialog, brief);
        if (!options.shotDirectory.empty())
            RequestScreenshot(options.shotDirectory, number, dialog);
        if (next >= answers.size()) {
            Print("error: a dialog more than answers given; ending the installer");
            TerminateProcess(process.hProcess, 99);
            ok = false;
            break;
        }
        Print("  -> %s", AnswerName(answers[next]));
        if (!GiveAnswer(dialog, answers[next++]) || !WaitGone(dialog)) {
            Print("error: the dialog stayed after %s; ending the installer", AnswerName(answers[next - 1]));
            TerminateProcess(process.hProcess, 98);
            ok = false;
            break;
        }
    }
    if (WaitForSingleObject(process.hProcess, EXIT_TIMEOUT_MS) != WAIT_OBJECT_0) {
        Print("error: the installer shows nothing and does not end; ending it");
        TerminateProcess(process.hProcess, 97);
        WaitForSingleObject(process.hProcess, ANSWER_TIMEOUT_MS);
        ok = false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Print("exit code %lu", (unsigned long)code);
    if (next < answers.size())
        Print("note: %u answers left unused", (unsigned)(answers.size() - next));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

struct Shown {
    DWORD process;
    std::vector<HWND> *windows;
};

static BOOL CALLBACK CollectShown(HWND window, LPARAM param)
{
    Shown *shown = (Shown *)param;
    DWORD process = 0;

    GetWindowThreadProcessId(window, &process);
    if (process == shown->process && IsWindowVisible(window)
        && std::find(shown->windows->begin(), shown->windows->end(), window) == shown->windows->end()) {
        shown->windows->push_back(window);
        wchar_t className[64];
        if (GetClassNameW(window, className, 64) == 0)
            className[0] = L'\0';
        Print("window shown: %s %s", Utf8(className).c_str(), Quoted(WindowText(window)).c_str());
    }
    return TRUE;
}

// Written straight to the handle that Wine's trace goes to, past the C
// runtime's buffer, so that it lands between the lines of the runs around it.
void TraceMark(const char *line)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, (DWORD)strlen(line), &written, NULL);
}

// Starts program with these arguments and no one to answer it, on desktop
// where one is named, watches for every window of its process until it ends,
// and prints them and the exit code. A run for longer than timeout is ended
// and fails.
static bool RunQuiet(const std::wstring &program, const std::wstring &arguments, DWORD timeout, bool marked,
                     wchar_t *desktop = NULL)
{
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION process;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::vector<HWND> windows;
    Shown shown = { 0, &windows };
    bool ok = true;

    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    // Marks the run in Wine's trace, which the installer's process shares:
    // tests/wine/lib.sh looks between the marks for a user32 loaded.
    if (marked)
        TraceMark("e2e: unattended run starts\n");
    if (!CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        Print("error: %s did not start (error %lu)", Utf8(program.c_str()).c_str(), GetLastError());
        return false;
    }
    shown.process = process.dwProcessId;
    // Watched until it ends: a window that nobody answers would hang a deployment.
    DWORD waited = 0;
    for (; waited < timeout; waited += POLL_MS) {
        EnumWindows(CollectShown, (LPARAM)&shown);
        if (WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_OBJECT_0)
            break;
    }
    if (waited >= timeout) {
        Print("error: %s does not end; ending it", Utf8(program.c_str()).c_str());
        TerminateProcess(process.hProcess, 97);
        WaitForSingleObject(process.hProcess, ANSWER_TIMEOUT_MS);
        ok = false;
    }
    if (marked)
        TraceMark("e2e: unattended run ends\n");
    if (windows.empty())
        Print("no window");
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Print("exit code %lu", (unsigned long)code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

bool RunUnattended(const RunOptions &options, const std::wstring &arguments)
{
    return RunQuiet(options.installer, arguments, DIALOG_TIMEOUT_MS, true);
}

// A window station made without WSF_VISIBLE, as a service's, with its desktop;
// made once, from the driver's own station, to which it returns.
bool RunUnseen(const RunOptions &options, const std::wstring &arguments)
{
    static wchar_t desktop[] = L"Unseen\\Default";
    static HWINSTA station;
    if (station == NULL) {
        HWINSTA own = GetProcessWindowStation();
        station = CreateWindowStationW(L"Unseen", 0, WINSTA_ALL_ACCESS, NULL);
        bool made = station != NULL && SetProcessWindowStation(station)
                    && CreateDesktopW(L"Default", NULL, NULL, 0, GENERIC_ALL, NULL) != NULL;
        if (!SetProcessWindowStation(own) || !made) {
            Print("error: no desktop on a window station of its own (error %lu)", GetLastError());
            return false;
        }
    }
    // Not marked: the run loads user32 to learn that no window can be seen.
    return RunQuiet(options.installer, arguments, DIALOG_TIMEOUT_MS, false, desktop);
}

// The msiexec of the driver's own architecture, as a deployment tool starts
// it; its full exit code, which a Unix shell would see cut to 8 bits.
bool RunMsiexec(const std::wstring &arguments)
{
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        Print("error: no system folder");
        return false;
    }
    return RunQuiet(std::wstring(system) + L"\\msiexec.exe", arguments, MSIEXEC_TIMEOUT_MS, false);
}

static bool RestartHelperRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    bool running = false;

    entry.dwSize = sizeof entry;
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        if (lstrcmpiW(entry.szExeFile, L"wineboot.exe") == 0)
            running = true;
    }
    CloseHandle(snapshot);
    return running;
}

void PrintRestartRequests()
{
    // The request starts the helper before the installer goes on, so once no
    // helper runs, its line is in the log.
    for (DWORD waited = 0; waited < EXIT_TIMEOUT_MS && RestartHelperRunning(); waited += POLL_MS)
        Sleep(POLL_MS);
    FILE *log = _wfopen(L"C:\\restart-requests.log", L"rb");
    if (!log) {
        Print("no restart requested");
        return;
    }
    char line[1024];
    while (fgets(line, sizeof line, log)) {
        size_t length = strlen(line);
        if (length && line[length - 1] == '\n')
            line[--length] = '\0';
        Print("restart requested: %s", line);
    }
    fclose(log);
}
