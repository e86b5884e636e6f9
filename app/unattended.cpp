// The unattended run, for deployment tools that start the installer on many
// computers with no one at the screen and read its exit code as they read the
// Windows Installer's. It takes the roads the dialogs take after OK.
#include "unattended.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "../platform/event_log.h"
#include "../platform/report.h"
#include "../registry/registry_ops.h"
#include "../res/keys.h"
#include "../res/messages.h"
#include "flow.h"

// Held for the whole run, so that a second run started meanwhile (by a
// deployment tool's retry, or a second tool) changes nothing. Global, since
// runs may come from services and from several sessions.
static const char UNATTENDED_MUTEX[] = "Global\\BrisvaneRun";
// Any user may create a name under Global\, but only an elevated
// administrator's token or SYSTEM's may name Administrators as an object's
// owner: the owner tells our runs from a squatter who took the name first
// to block them. Nobody else may open the lock.
static const char RUN_LOCK_SECURITY[] = "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// Whether the lock that stood under our name belongs to another of our runs.
static int IsAdministratorsLock(HANDLE lock)
{
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR security = NULL;
    int administrators = 0;

    if (GetSecurityInfo(lock, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL, &security)
        == ERROR_SUCCESS) {
        // An object may have no owner at all.
        administrators = owner != NULL
                         && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid)
                             || IsWellKnownSid(owner, WinLocalSystemSid));
        LocalFree(security);
    }
    return administrators;
}

// Takes the run lock into *lock (NULL where none could be had); false when
// another run holds it. A lock that is not an administrator's is logged and
// passed over, and so is one that may not even be opened: our own runs'
// locks open for every administrator and SYSTEM.
static int TakeRunLock(HANDLE *lock)
{
    SECURITY_ATTRIBUTES security = { sizeof security, NULL, FALSE };
    DWORD error = ERROR_OUTOFMEMORY;

    *lock = NULL;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(RUN_LOCK_SECURITY, SDDL_REVISION_1,
                                                             &security.lpSecurityDescriptor, NULL)) {
        *lock = CreateMutexA(&security, FALSE, UNATTENDED_MUTEX);
        error = GetLastError();
        LocalFree(security.lpSecurityDescriptor);
    }
    if (*lock != NULL && error == ERROR_ALREADY_EXISTS && IsAdministratorsLock(*lock)) {
        LogEvent(LOG_ALREADY_RUNNING);
        return 0;
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED)
        LogEvent(LOG_LOCK_NOT_ADMINISTRATORS, UNATTENDED_MUTEX);
    // Any other failure leaves the run unlocked; only an administrator's run
    // may write what it writes in any case.
    return 1;
}

// What stands after a failure, for whoever reads the log.
static void LogState(const char *name)
{
    char recorded[PRINTER_NAME_SIZE];

    if (name[0] != '\0')
        LogEvent(TonerLowStands(name) ? LOG_NOW_OFF : LOG_NOW_ON, name);
    if (PatchRecord(PATCH_LOAD, recorded))
        LogEvent(LOG_NOW_RECORDED, recorded);
    else if (TestPatchRecord() == ERROR_FILE_NOT_FOUND)
        LogEvent(LOG_NOW_NO_RECORD);
    else
        LogEvent(LOG_NOW_RECORD_UNREADABLE, PATCH_RECORD_KEY);
}

static int Failed(const char *name)
{
    LogState(name);
    return EXIT_FAILED;
}

static int UnattendedSwitchOff(const char *printer, int *wroteRecord)
{
    char found[PRINTER_NAME_SIZE];
    char recorded[PRINTER_NAME_SIZE];
    const char *name;
    int hadRecord;

    // The installer package keeps to the printer already switched off.
    if (printer[0] == '\0' && wroteRecord != NULL && ReadPatchRecord(found) == RECORD_PRINTER)
        printer = found;
    name = printer;

    if (printer[0] != '\0') {
        if (!IsSupportedPrinter(printer)) {
            LogEvent(LOG_PRINTER_NOT_SUPPORTED, printer);
            return EXIT_NO_PRINTER;
        }
    } else if (FindSupportedPrinter(found)) {
        name = found;
    } else {
        ShowError(TEXT_NO_PRINTER);
        return EXIT_NO_PRINTER;
    }
    LogEvent(LOG_PRINTER, name);
    // The record holds one name: a second printer is not switched off over it.
    hadRecord = PatchRecord(PATCH_LOAD, recorded);
    if (hadRecord) {
        if (lstrcmpiA(recorded, name) != 0) {
            LogEvent(LOG_OTHER_PRINTER, recorded);
            return Failed(name);
        }
        if (TonerLowStands(name)) {
            LogEvent(LOG_ALREADY_OFF);
            return EXIT_NOTHING_TO_DO;
        }
    }
    switch (ApplySwitchOff(name)) {
    case SWITCH_OFF_FAILED:
        return Failed(name);
    case SWITCH_OFF_NOT_RECORDED:
        LogEvent(LOG_NOT_RECORDED, PATCH_RECORD_KEY);
        return Failed(name);
    }
    if (wroteRecord != NULL)
        *wroteRecord = !hadRecord;
    return FinishChange(TEXT_SWITCHED_OFF);
}

static int UnattendedSwitchOn()
{
    char recorded[PRINTER_NAME_SIZE];
    int code;

    switch (ReadPatchRecord(recorded)) {
    case RECORD_NONE:
        LogEvent(LOG_NO_RECORD, PATCH_RECORD_KEY);
        return EXIT_NOTHING_TO_DO;
    case RECORD_NOT_A_NAME:
        // No printer's warnings can be switched on for it, and kept, it would
        // fail every later run and every removal of the installer package.
        LogEvent(LOG_RECORD_NOT_A_NAME, PATCH_RECORD_KEY, PATCH_RECORD_VALUE);
        return PatchRecord(PATCH_DELETE, recorded) ? EXIT_NOTHING_TO_DO : Failed("");
    case RECORD_PRINTER:
        LogEvent(LOG_PRINTER, recorded);
        break;
    default:
        // One that does not open fails in the removal.
        recorded[0] = '\0';
    }
    code = SwitchOn();
    return code == EXIT_FAILED ? Failed(recorded) : code;
}

int RunSwitch(int run, const char *printer, int *wroteRecord)
{
    HANDLE lock;
    int code = EXIT_ALREADY_RUNNING;

    if (TakeRunLock(&lock))
        code = run == RUN_SWITCH_OFF ? UnattendedSwitchOff(printer, wroteRecord) : UnattendedSwitchOn();
    if (lock != NULL)
        CloseHandle(lock);
    return code;
}

// Appended to, never truncated. A run as SYSTEM that followed a link planted
// in a folder that users can write would append to whatever file the link
// names, so a link, or a file with another name besides, is not written.
static HANDLE OpenLog(const char *path)
{
    BY_HANDLE_FILE_INFORMATION file;
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);

    if (log != INVALID_HANDLE_VALUE && GetFileInformationByHandle(log, &file)
        && ((file.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || file.nNumberOfLinks > 1)) {
        CloseHandle(log);
        log = INVALID_HANDLE_VALUE;
    }
    return log;
}

// Filtered on, as the Windows Installer's events are: a change or nothing to
// do informs, a run that could not start warns, a failure is an error.
static WORD EventType(int code)
{
    switch (code) {
    case EXIT_NOTHING_TO_DO:
    case EXIT_RESTART_NEEDED:
    case EXIT_RESTARTING:
        return EVENTLOG_INFORMATION_TYPE;
    case EXIT_NO_PRINTER:
    case EXIT_ALREADY_RUNNING:
        return EVENTLOG_WARNING_TYPE;
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

int RunUnattended(const RunOptions &options, const char *arguments)
{
    HANDLE log = INVALID_HANDLE_VALUE;
    int code = EXIT_BAD_COMMAND_LINE;

    if (options.run == RUN_USAGE && CanShowWindows()) {
        ShowMessage(TEXT_USAGE, MB_ICONINFORMATION);
        return EXIT_NOTHING_TO_DO;
    }
    // A log that does not open stops nothing, since the exit code and the
    // event tell the outcome all the same.
    if (options.log[0] != '\0')
        log = OpenLog(options.log);
    ReportUnattended(log, options.restart);
    LogStart(arguments);
    switch (options.run) {
    case RUN_DIALOGS:
        // Nobody could answer the first dialog, and the run would wait for ever.
        LogEvent(LOG_NO_ONE_TO_SEE_DIALOGS);
        break;
    case RUN_USAGE:
        LogEvent(LOG_NO_ONE_TO_SEE_USAGE);
        code = EXIT_NOTHING_TO_DO;
        break;
    case RUN_BAD_COMMAND_LINE:
        LogEvent(LOG_BAD_COMMAND_LINE);
        break;
    default:
        code = RunSwitch(options.run, options.printer, NULL);
    }
    ReportRunEvent(EventType(code), (DWORD)code);
    LogNumber(LOG_EXIT, (unsigned)code);
    if (log != INVALID_HANDLE_VALUE)
        CloseHandle(log);
    return code;
}
