// Dialogs, message boxes, string resources and the restart request of the
// host layer. A dialog is built from a table of its template's controls, its
// real procedure gets WM_INITDIALOG, and a test's script plays the user.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

#include "host.h"
#include "res/resource.h"
#include "res/strings.h"
#include "text.h"

namespace host {
namespace {

enum Kind { PUSH, RADIO_GROUP_START, RADIO, GROUP_BOX, STATIC, COMBO_SORTED };

struct TemplateControl {
    int id;
    Kind kind;
    const char *text;
};

struct Template {
    int id;
    std::vector<TemplateControl> controls;  // in template order, the tab order
};

// The controls of the three templates, as the resource script defines them.
const std::vector<Template> &Templates()
{
    static const std::vector<Template> templates = {
        { IDD_NOTICE,
          { { IDOK, PUSH, TEXT_OK },
            { IDCANCEL, PUSH, TEXT_CANCEL },
            { -1, GROUP_BOX, "" },
            { IDC_NOTICE_TEXT, STATIC, "" } } },
        { IDD_ACTION,
          { { IDOK, PUSH, TEXT_OK },
            { IDCANCEL, PUSH, TEXT_CANCEL },
            { IDC_DISABLE_MESSAGES, RADIO_GROUP_START, "Отключить сообщения 'Мало Тонера'" },
            { IDC_ENABLE_MESSAGES, RADIO, "Включить сообщения 'Мало Тонера'" },
            { -1, GROUP_BOX, "" } } },
        { IDD_PRINTER,
          { { IDOK, PUSH, TEXT_OK },
            { IDCANCEL, PUSH, TEXT_CANCEL },
            { IDC_PRINTER_LIST, COMBO_SORTED, "" },
            { -1, GROUP_BOX, "" },
            { -1, GROUP_BOX, "Выберите продукт для обновления:" } } },
    };
    return templates;
}

struct Live {
    Dialog *dialog;
    std::vector<Kind> kinds;  // per control, parallel to dialog->controls
};

struct Ui {
    std::map<HWND, Live> dialogs;
    uintptr_t nextWindow = 0x10000;
    std::deque<DialogScript> scripts;
    std::vector<DialogRecord> records;
    int unscripted = 0;
    std::deque<int> answers;
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<RestartRecord> restarts;
    DWORD restartError = 0;
    std::vector<std::string> failingTokenCalls;
    bool shutdownPrivilege = false;
    int openTokens = 0;
    DWORD tokenAccess = 0;
    DWORD lastError = 0;
    std::map<HWND, DLGPROC> procedures;
    bool stationVisible = true;
    bool stationReadable = true;
};

Ui &State()
{
    static Ui ui;
    return ui;
}

[[noreturn]] void Abort(const char *what, int id)
{
    std::fprintf(stderr, "host layer: %s %d\n", what, id);
    std::abort();
}

// A control's window handle: its dialog's handle plus its index and 1.
HWND ControlWindow(HWND dialog, size_t index)
{
    return reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(dialog) + 1 + index);
}

Live *FindDialog(HWND window)
{
    auto found = State().dialogs.find(window);
    return found == State().dialogs.end() ? nullptr : &found->second;
}

Control *FindControl(HWND dialog, int id, Kind *kind = nullptr)
{
    Live *live = FindDialog(dialog);
    if (live == nullptr || id == -1)
        return nullptr;
    for (size_t i = 0; i < live->dialog->controls.size(); i++) {
        if (live->dialog->controls[i].id == id) {
            if (kind != nullptr)
                *kind = live->kinds[i];
            return &live->dialog->controls[i];
        }
    }
    return nullptr;
}

Control *FromWindow(HWND window)
{
    for (auto &entry : State().dialogs) {
        for (size_t i = 0; i < entry.second.dialog->controls.size(); i++)
            if (ControlWindow(entry.first, i) == window)
                return &entry.second.dialog->controls[i];
    }
    return nullptr;
}

bool PrefixMatches(const std::string &item, const char *text)
{
    size_t length = std::strlen(text);
    return item.size() >= length && CompareNoCase(item.substr(0, length), text) == 0;
}

LRESULT ComboMessage(Control &combo, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<std::string> &items = combo.items;
    switch (message) {
    case CB_ADDSTRING: {
        std::string text = reinterpret_cast<const char *>(lParam);
        size_t at = 0;
        while (at < items.size() && CompareNoCase(items[at], text) <= 0)
            at++;
        items.insert(items.begin() + (long)at, text);
        if (combo.selection >= (int)at)
            combo.selection++;
        return (LRESULT)at;
    }
    case CB_GETCOUNT:
        return (LRESULT)items.size();
    case CB_SELECTSTRING: {
        // Searches from the item after wParam to the end, then from the start.
        size_t start = (int)wParam < 0 || (size_t)wParam >= items.size() ? 0 : (size_t)wParam + 1;
        for (size_t n = 0; n < items.size(); n++) {
            size_t i = (start + n) % items.size();
            if (PrefixMatches(items[i], reinterpret_cast<const char *>(lParam))) {
                combo.selection = (int)i;
                return (LRESULT)i;
            }
        }
        return CB_ERR;
    }
    case CB_SETCURSEL:
        if ((int)wParam < 0 || (size_t)wParam >= items.size()) {
            combo.selection = CB_ERR;
            return CB_ERR;
        }
        combo.selection = (int)wParam;
        return (LRESULT)wParam;
    case CB_GETCURSEL:
        return combo.selection;
    case CB_GETLBTEXTLEN:
        return wParam < items.size() ? (LRESULT)items[wParam].size() : CB_ERR;
    case CB_GETLBTEXT:
        // As on the platform, the buffer is the caller's to size.
        if (wParam >= items.size())
            return CB_ERR;
        std::memcpy(reinterpret_cast<char *>(lParam), items[wParam].c_str(), items[wParam].size() + 1);
        return (LRESULT)items[wParam].size();
    }
    return 0;
}

}  // namespace

Control &Dialog::control(int id)
{
    for (Control &c : controls)
        if (c.id == id)
            return c;
    Abort("no control with id", id);
}

INT_PTR Dialog::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    Live *live = FindDialog(hwnd);
    if (live == nullptr || ended)
        Abort("message to a dialog that has ended, template", templateId);
    return State().procedures.at(hwnd)(hwnd, message, wParam, lParam);
}

INT_PTR Dialog::Command(int id, int notification)
{
    HWND from = nullptr;
    for (size_t i = 0; i < controls.size(); i++)
        if (controls[i].id == id)
            from = ControlWindow(hwnd, i);
    return Send(WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(from));
}

void Dialog::ClickRadio(int id)
{
    Control &clicked = control(id);
    if (!clicked.enabled)
        return;  // a greyed button takes no clicks
    Live *live = FindDialog(hwnd);
    // Auto radio buttons uncheck the others of their group.
    size_t at = 0;
    while (controls[at].id != id)
        at++;
    size_t first = at;
    while (first > 0 && live->kinds[first] != RADIO_GROUP_START)
        first--;
    for (size_t i = first; i < controls.size(); i++) {
        bool radio = live->kinds[i] == RADIO || (live->kinds[i] == RADIO_GROUP_START && i == first);
        if (!radio)
            break;
        controls[i].check = BST_UNCHECKED;
    }
    clicked.check = BST_CHECKED;
    Command(id, BN_CLICKED);
}

void Dialog::PressEnter()
{
    // Enter presses the focused push button, or else the default one.
    Command(focusId == IDCANCEL ? IDCANCEL : IDOK, BN_CLICKED);
}

void Dialog::PressEscape()
{
    Command(IDCANCEL, BN_CLICKED);
}

void ResetUi()
{
    State() = Ui();
}

void SetWindowStationVisible(bool visible, bool readable)
{
    State().stationVisible = visible;
    State().stationReadable = readable;
}

void QueueDialog(DialogScript script)
{
    State().scripts.push_back(std::move(script));
}

const std::vector<DialogRecord> &Dialogs()
{
    return State().records;
}

int UnscriptedDialogs()
{
    return State().unscripted;
}

const std::vector<MessageBoxRecord> &MessageBoxes()
{
    return State().messageBoxes;
}

void QueueMessageBoxAnswer(int answer)
{
    State().answers.push_back(answer);
}

const std::vector<RestartRecord> &RestartRequests()
{
    return State().restarts;
}

void FailRestart(DWORD error)
{
    State().restartError = error;
}

void FailTokenCall(const std::string &function)
{
    State().failingTokenCalls.push_back(function);
}

int OpenTokens()
{
    return State().openTokens;
}

static bool TokenCallFails(const char *function)
{
    for (const std::string &failing : State().failingTokenCalls)
        if (failing == function) {
            State().lastError = ERROR_ACCESS_DENIED;
            return true;
        }
    return false;
}

HINSTANCE Instance()
{
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
}

}  // namespace host

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam)
{
    using namespace host;
    int templateId = (int)reinterpret_cast<uintptr_t>(templateName);
    const Template *found = nullptr;
    for (const Template &t : Templates())
        if (t.id == templateId)
            found = &t;
    if (instance != Instance() || found == nullptr || procedure == nullptr)
        return -1;

    Ui &ui = State();
    Dialog dialog{};
    dialog.templateId = templateId;
    dialog.hwnd = reinterpret_cast<HWND>(ui.nextWindow);
    ui.nextWindow += 0x100;
    Live live{ &dialog, {} };
    for (const TemplateControl &t : found->controls) {
        bool tabStop = t.kind == PUSH || t.kind == COMBO_SORTED;
        // clang-format off
        dialog.controls.push_back(Control{ t.id, t.kind == PUSH || t.kind == RADIO || t.kind == RADIO_GROUP_START
                                                         || t.kind == GROUP_BOX
                                                     ? "Button"
                                                     : t.kind == STATIC ? "Static" : "ComboBox",
                                           t.text, tabStop, true, BST_UNCHECKED, {}, CB_ERR });
        // clang-format on
        live.kinds.push_back(t.kind);
    }
    ui.dialogs[dialog.hwnd] = live;
    ui.procedures[dialog.hwnd] = procedure;

    dialog.initResult = procedure(dialog.hwnd, WM_INITDIALOG, 0, initParam);
    // Returning nonzero gives the focus to the first enabled tab stop.
    if (dialog.initResult != 0 && !dialog.ended)
        for (const Control &c : dialog.controls)
            if (c.tabStop && c.enabled) {
                dialog.focusId = c.id;
                break;
            }
    DialogRecord record{ templateId, owner, initParam, dialog.initResult, 0, dialog.controls };
    if (!dialog.ended) {
        if (ui.scripts.empty()) {
            ui.unscripted++;
        } else {
            DialogScript script = std::move(ui.scripts.front());
            ui.scripts.pop_front();
            script(dialog);
            if (!dialog.ended)
                ui.unscripted++;
        }
        if (!dialog.ended) {
            dialog.ended = true;
            dialog.result = -1;
        }
    }
    record.result = dialog.result;
    ui.records.push_back(record);
    ui.dialogs.erase(dialog.hwnd);
    ui.procedures.erase(dialog.hwnd);
    return dialog.result;
}

BOOL WINAPI EndDialog(HWND window, INT_PTR result)
{
    host::Live *live = host::FindDialog(window);
    if (live == nullptr)
        return FALSE;
    live->dialog->ended = true;
    live->dialog->result = result;
    return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    host::Kind kind;
    host::Control *control = host::FindControl(dialog, id, &kind);
    if (control == nullptr)
        return 0;
    if (kind == host::COMBO_SORTED)
        return host::ComboMessage(*control, message, wParam, lParam);
    if (kind == host::RADIO || kind == host::RADIO_GROUP_START || kind == host::PUSH) {
        if (message == BM_SETCHECK) {
            control->check = (int)wParam;
            return 0;
        }
        if (message == BM_GETCHECK)
            return control->check;
    }
    return 0;
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    host::Live *live = host::FindDialog(dialog);
    if (live == nullptr || id == -1)
        return nullptr;
    for (size_t i = 0; i < live->dialog->controls.size(); i++)
        if (live->dialog->controls[i].id == id)
            return host::ControlWindow(dialog, i);
    return nullptr;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable)
{
    host::Control *control = host::FromWindow(window);
    if (control == nullptr)
        return FALSE;
    BOOL wasDisabled = !control->enabled;
    control->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    host::Control *control = host::FindControl(dialog, id);
    if (control == nullptr)
        return FALSE;
    control->text = text;
    return TRUE;
}

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize)
{
    static const char notice[] = NOTICE_TEXT;
    if (buffer == nullptr || bufferSize <= 0)
        return 0;
    if (instance != host::Instance() || id != IDS_NOTICE) {
        buffer[0] = '\0';
        return 0;
    }
    int length = (int)sizeof notice - 1;
    if (length > bufferSize - 1)
        length = bufferSize - 1;
    std::memcpy(buffer, notice, (size_t)length);
    buffer[length] = '\0';
    return length;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    host::Ui &ui = host::State();
    int answer = IDOK;
    if (!ui.answers.empty()) {
        answer = ui.answers.front();
        ui.answers.pop_front();
    }
    ui.messageBoxes.push_back(
        host::MessageBoxRecord{ owner != nullptr, text ? text : "", caption ? caption : "", type, answer });
    return answer;
}

// The W calls record code page 1251 bytes as the A calls do (the texts hold ASCII and А to я only).
static std::string Narrow(const WCHAR *wide)
{
    std::string out;
    for (; *wide != 0; wide++)
        out += (char)(*wide < 0x80 ? *wide : *wide - (0x410 - 0xC0));
    return out;
}

INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, const WCHAR *name, HWND owner, DLGPROC procedure, LPARAM param)
{
    INT_PTR result = DialogBoxParamA(instance, reinterpret_cast<LPCSTR>(name), owner, procedure, param);
    host::State().records.back().wide = true;
    return result;
}

BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, const WCHAR *text)
{
    return SetDlgItemTextA(dialog, id, Narrow(text).c_str());
}

int WINAPI LoadStringW(HINSTANCE instance, UINT id, WCHAR *buffer, int size)
{
    char text[sizeof NOTICE_TEXT];
    return MultiByteToWideChar(1251, 0, text, LoadStringA(instance, id, text, sizeof text) + 1, buffer, size) - 1;
}

int WINAPI MessageBoxW(HWND owner, const WCHAR *text, const WCHAR *caption, UINT type)
{
    int answer = MessageBoxA(owner, Narrow(text).c_str(), Narrow(caption).c_str(), type);
    host::State().messageBoxes.back().wide = true;
    return answer;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason)
{
    host::Ui &ui = host::State();
    DWORD error = ui.restartError != 0 ? ui.restartError : ui.shutdownPrivilege ? 0 : ERROR_PRIVILEGE_NOT_HELD;
    ui.restarts.push_back(
        host::RestartRecord{ flags, reason, ui.shutdownPrivilege, error == 0, "ExitWindowsEx", false, 0, 0, 0 });
    ui.lastError = error;
    return error == 0;
}

BOOL WINAPI InitiateSystemShutdownExA(LPSTR machine, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                      BOOL rebootAfterShutdown, DWORD reason)
{
    host::Ui &ui = host::State();
    DWORD error = ui.restartError != 0 ? ui.restartError : ui.shutdownPrivilege ? 0 : ERROR_PRIVILEGE_NOT_HELD;
    ui.restarts.push_back(host::RestartRecord{ 0, reason, ui.shutdownPrivilege, error == 0, "InitiateSystemShutdownExA",
                                               machine != nullptr || message != nullptr, timeout, forceAppsClosed,
                                               rebootAfterShutdown });
    ui.lastError = error;
    return error == 0;
}

static HWINSTA const STATION = reinterpret_cast<HWINSTA>(0x5000);

HWINSTA WINAPI GetProcessWindowStation()
{
    return STATION;
}

BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index, void *information, DWORD size, LPDWORD)
{
    if (object != STATION || index != UOI_FLAGS || size < sizeof(USEROBJECTFLAGS) || !host::State().stationReadable)
        return FALSE;
    *static_cast<USEROBJECTFLAGS *>(information) = { TRUE, FALSE, host::State().stationVisible ? 1u : 0u };
    return TRUE;
}

namespace host {
bool CloseKernelHandle(HANDLE handle);
void SetLastErrorCode(DWORD error)
{
    State().lastError = error;
}
}  // namespace host

static const uintptr_t TOKEN_HANDLE = 0x7000;
static const DWORD SHUTDOWN_LUID = 19;

HANDLE WINAPI GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desired, PHANDLE token)
{
    if (host::TokenCallFails("OpenProcessToken") || process != GetCurrentProcess())
        return FALSE;
    host::State().openTokens++;
    host::State().tokenAccess = desired;
    *token = reinterpret_cast<HANDLE>(TOKEN_HANDLE);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid)
{
    if (host::TokenCallFails("LookupPrivilegeValueA") || system != nullptr
        || std::strcmp(name, "SeShutdownPrivilege") != 0)
        return FALSE;
    *luid = LUID{ SHUTDOWN_LUID, 0 };
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState, LPDWORD returnLength)
{
    (void)bufferLength, (void)previousState, (void)returnLength;
    host::Ui &ui = host::State();
    if (host::TokenCallFails("AdjustTokenPrivileges") || token != reinterpret_cast<HANDLE>(TOKEN_HANDLE)
        || ui.openTokens == 0 || (ui.tokenAccess & TOKEN_ADJUST_PRIVILEGES) == 0)
        return FALSE;
    if (disableAll) {
        ui.shutdownPrivilege = false;
    } else {
        for (DWORD i = 0; i < newState->PrivilegeCount; i++)
            if (newState->Privileges[i].Luid.LowPart == SHUTDOWN_LUID)
                ui.shutdownPrivilege = (newState->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    ui.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    if (host::CloseKernelHandle(handle))
        return TRUE;
    if (handle != reinterpret_cast<HANDLE>(TOKEN_HANDLE) || host::State().openTokens == 0)
        return FALSE;
    host::State().openTokens--;
    return TRUE;
}

DWORD WINAPI GetLastError()
{
    return host::State().lastError;
}
