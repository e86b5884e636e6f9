// Control of the host layer that stands in for the Win32 calls of the
// installer in the unit tests: an in-memory registry under HKEY_LOCAL_MACHINE
// with fault injection, dialogs that run the real dialog procedures under a
// script, recorded message boxes and restart requests.
//
// Paths are relative to HKEY_LOCAL_MACHINE, "\" separated, compared without
// regard to case. Texts are the raw ANSI (code page 1251) bytes.
#ifndef BRISVANE_HOST_H
#define BRISVANE_HOST_H

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host {

// Back to an empty registry (HKLM with no subkeys), no faults, no records, no
// queued scripts or answers, and no open handles.
void Reset();

// ---- Registry: seeding and inspection (these calls are not recorded) ----
struct Value {
    DWORD type;
    std::string data;  // the stored bytes, exactly
};
void CreateKey(const std::string &path);  // with every missing parent
void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &data);  // creates the key if missing
void DeleteTree(const std::string &path);
bool KeyExists(const std::string &path);
std::optional<Value> GetValue(const std::string &path, const std::string &name);
std::vector<std::string> Subkeys(const std::string &path);  // in enumeration order
std::vector<std::string> ValueNames(const std::string &path);
// Full-access opens and creates of this key, creation of subkeys below it and
// its deletion are refused with ERROR_ACCESS_DENIED, as for a user who may
// read but not write it.
void SetReadOnly(const std::string &path, bool readOnly = true);
// The whole tree as text, one line per key and per value, in a stable order.
std::string Dump();
// Registry keys, process tokens, mutexes and files opened or created and not yet closed.
int OpenHandles();

// ---- Registry: the record of calls made by the code under test ----
struct RegCall {
    std::string function;  // "RegOpenKeyExA", "RegCreateKeyExA", "RegEnumKeyExA",
                           // "RegQueryValueExA", "RegSetValueExA", "RegDeleteKeyA", "RegCloseKey"
    std::string path;      // full path of the key concerned (for RegDeleteKeyA the key deleted)
    std::string name;      // the value name, subkey argument or enumeration index as text
    DWORD size;            // size in bytes passed in (query: capacity, set: data size, enum: capacity)
    DWORD access;          // samDesired of opens and creates
    LONG result;
    DWORD options = 0;  // of creates: REG_OPTION_VOLATILE for a key gone at the next restart
};
const std::vector<RegCall> &RegCalls();
int CountCalls(const std::string &function);

// ---- Registry: faults ----
// The call numbered `index` (0-based among the registry calls since Reset,
// RegCloseKey included) returns `error` and has no effect.
void FailCallAt(int index, LONG error);
// Every call of `function` whose path (or, for RegEnumKeyExA, index text;
// RegQueryValueExA/RegSetValueExA, value name) contains `match` returns
// `error` and has no effect; `times` < 0 means always.
void FailCalls(const std::string &function, const std::string &match, LONG error, int times = -1);

// ---- User interface ----
struct MessageBoxRecord {
    bool hasOwner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
    bool wide = false;  // shown by MessageBoxW
};
const std::vector<MessageBoxRecord> &MessageBoxes();
// Answers for the next message boxes in order; without one a box answers IDOK.
void QueueMessageBoxAnswer(int answer);

struct RestartRecord {
    UINT flags;
    DWORD reason;
    bool privilegeEnabled;  // the shutdown privilege was enabled in the token
    BOOL result;
    std::string function;  // "ExitWindowsEx" or "InitiateSystemShutdownExA"
    // InitiateSystemShutdownExA's other arguments; a restart of the local
    // computer without a message leaves machine and message null.
    bool machineOrMessage;
    DWORD timeout;
    BOOL forceAppsClosed;
    BOOL rebootAfterShutdown;
};
// Like Windows, ExitWindowsEx and InitiateSystemShutdownExA fail with
// ERROR_PRIVILEGE_NOT_HELD unless the process has enabled the shutdown
// privilege in its token.
const std::vector<RestartRecord> &RestartRequests();
// Both restart calls fail with this error from now on (0: as the platform would).
void FailRestart(DWORD error);
// The named token call ("OpenProcessToken", "LookupPrivilegeValueA",
// "AdjustTokenPrivileges") fails from now on.
void FailTokenCall(const std::string &function);

// ---- Kernel objects of an unattended run ----
// Another process holds a mutex of this name from now on, owned by owner as
// SDDL abbreviates it ("BA" Administrators, "SY" SYSTEM, "BU" Users; "" none,
// as Wine leaves an object made without a descriptor). A refused one may not
// be opened at all: CreateMutexA then fails with ERROR_ACCESS_DENIED.
void HoldMutex(const std::string &name, const std::string &owner, bool refused = false);
// "NAME SDDL" for each mutex the code under test created, as it asked for it.
const std::vector<std::string> &CreatedMutexes();
// Opening this file fails with ERROR_ACCESS_DENIED.
void FailFile(const std::string &path);
// The file at path is a symbolic link to target: opened without
// FILE_FLAG_OPEN_REPARSE_POINT, it is the target that is written.
void LinkFile(const std::string &path, const std::string &target);
// The file at path has a second name elsewhere: a hard link.
void HardLinkFile(const std::string &path);
// The system's ANSI code page for CP_ACP (1251, 1252 or 65001; 1251 after
// Reset), as a Russian or a Western edition of Windows has it, or one set to UTF-8.
void SetAnsiCodePage(UINT codePage);
// The computer's name, as GetComputerNameA gives it, is always "BUHGALTERIYA-07",
// MAX_COMPUTERNAME_LENGTH characters.

// Application events reported, each "SOURCE TYPE ID" and a line end, then its one string in UTF-8.
const std::vector<std::string> &ReportedEvents();
// RegisterEventSourceA fails with this error from now on, as with the event
// log service stopped (0: it succeeds, as for any source name).
void RefuseEvents(DWORD error);
// The process's window station is shown (after Reset) or not, as a service's;
// unreadable, GetUserObjectInformationA fails on it.
void SetWindowStationVisible(bool visible, bool readable = true);

// ---- The Windows Installer session of a custom action ----
// The handle is a deferred, rollback or commit action's (after Reset), which
// refuses every call Windows refuses it, or an immediate action's.
void SetDeferred(bool deferred);
void SetInstallerProperty(const std::string &name, const std::string &value);
bool RebootAtEnd();                              // MsiSetMode(MSIRUNMODE_REBOOTATEND, TRUE) was called
const std::vector<std::string> &InstallerLog();  // INSTALLMESSAGE_INFO messages, UTF-8
int OpenInstallerHandles();                      // records created and not yet closed (OpenHandles counts them)
// What was written to the file so far ("" for none); the local time is
// always 2026-12-08 09:05:03.
std::string FileText(const std::string &path);

struct Control {
    int id;
    std::string className;  // "Button", "Static", "ComboBox"
    std::string text;
    bool tabStop;
    bool enabled;
    int check;                       // BM_GETCHECK state
    std::vector<std::string> items;  // combo box items, sorted as CBS_SORT keeps them
    int selection;                   // CB_GETCURSEL, CB_ERR when none
};

// A live dialog as its script sees it. Commands go through the real dialog
// procedure, as the dialog manager would send them.
struct Dialog {
    int templateId;
    HWND hwnd;
    INT_PTR initResult;  // what the procedure returned for WM_INITDIALOG
    int focusId;         // the control that got the focus after WM_INITDIALOG (0: none)
    bool ended;
    INT_PTR result;  // the value given to EndDialog
    std::vector<Control> controls;

    Control &control(int id);                       // aborts the test if there is none
    INT_PTR Command(int id, int notification = 0);  // WM_COMMAND from a control
    INT_PTR Send(UINT message, WPARAM wParam, LPARAM lParam);
    void ClickRadio(int id);  // as a click on an auto radio button: checks it,
                              // unchecks the others of its group, then WM_COMMAND
    void PressEnter();        // WM_COMMAND IDOK, as the dialog manager sends it
    void PressEscape();       // WM_COMMAND IDCANCEL
};

// Scripts for the next dialogs, in order. DialogBoxParamA runs WM_INITDIALOG,
// then, if the dialog has not ended, the next script. A dialog with no script
// left, or whose script returns without ending it, ends with -1 and is
// counted in UnscriptedDialogs().
using DialogScript = std::function<void(Dialog &)>;
void QueueDialog(DialogScript script);

struct DialogRecord {
    int templateId;
    HWND owner;
    LPARAM initParam;
    INT_PTR initResult;
    INT_PTR result;
    std::vector<Control> controlsAfterInit;  // the controls as WM_INITDIALOG left them
    bool wide = false;                       // made by DialogBoxParamW
};
const std::vector<DialogRecord> &Dialogs();
int UnscriptedDialogs();

// What SetDllDirectoryA was last given: "(null)" for NULL, "(none)" before
// any call. The host's kernel32 has no SetDefaultDllDirectories.
const std::string &DllDirectory();

// The module handle that tests pass to WinMain; LoadStringA knows its strings.
HINSTANCE Instance();

}  // namespace host

#endif
