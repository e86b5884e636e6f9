// The custom actions of the installer package, in BrisvaneActions.dll: the
// switch-off on installation, repair and upgrade and the switch-on on
// removal, each with the rollback that undoes it when a later step fails,
// and the restart request once the installation stands. The switches take
// the road of an unattended run, as SYSTEM, and write the same lines into
// the Windows Installer's log.
#include <windows.h>

#include <msiquery.h>

#include "../platform/report.h"
#include "../registry/registry_ops.h"
#include "../res/keys.h"
#include "../res/messages.h"
#include "command_line.h"
#include "flow.h"
#include "unattended.h"

static MSIHANDLE installSession;

// The template of a message that is its first field, "[1]".
static const WCHAR FIELD_ONE[] = { '[', '1', ']', '\0' };

static void WriteToInstallerLog(const char *line)
{
    WCHAR text[LOG_LINE_SIZE];
    MSIHANDLE record;

    if (MultiByteToWideChar(CP_UTF8, 0, line, -1, text, LOG_LINE_SIZE) <= 0)
        return;
    // The line goes in as a field of its own: a template would take a
    // printer's name with brackets in it for a property.
    record = MsiCreateRecord(1);
    if (record == 0)
        return;
    MsiRecordSetStringW(record, 0, FIELD_ONE);
    MsiRecordSetStringW(record, 1, text);
    MsiProcessMessage(installSession, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

static void Begin(MSIHANDLE install, const char *action)
{
    installSession = install;
    ReportToInstaller(WriteToInstallerLog);
    LogStart(action);
}

// A deferred, rollback or commit action may not set the installation's
// properties or modes, so what one did is marked in a key that the others
// of the same installation read. A mark holds a printer's name.
static void Mark(const char *mark, const char *name)
{
    HKEY key;

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, INSTALLATION_KEY, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        NULL)
        != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, mark, 0, REG_SZ, (const BYTE *)name, (DWORD)lstrlenA(name));
    RegCloseKey(key);
}

// Whether the mark stands; its name into name (PRINTER_NAME_SIZE bytes).
static int Marked(const char *mark, char *name)
{
    HKEY key;
    DWORD type;
    DWORD size = PRINTER_NAME_SIZE - 1;
    LONG result;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, INSTALLATION_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    result = RegQueryValueExA(key, mark, NULL, &type, (BYTE *)name, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    name[size < PRINTER_NAME_SIZE ? size : PRINTER_NAME_SIZE - 1] = '\0';
    return 1;
}

// Marks of an earlier installation that failed or was stopped would speak
// for this one.
static void ClearMarks()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, INSTALLATION_KEY);
}

// A change is marked for the restart request; anything but a change or
// nothing to change fails the installation, which then rolls back.
static UINT Finish(int code)
{
    LogNumber(LOG_EXIT, (unsigned)code);
    if (code == EXIT_RESTART_NEEDED)
        Mark(MARK_RESTART, "");
    return code == EXIT_NOTHING_TO_DO || code == EXIT_RESTART_NEEDED ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// CustomActionData: the package's PRINTER property, empty for the printer
// already recorded or else the first supported one.
extern "C" UINT WINAPI SwitchOff(MSIHANDLE install)
{
    char printer[PRINTER_NAME_SIZE];
    DWORD size = sizeof printer;
    int wroteRecord = 0;
    int code;

    Begin(install, "SwitchOff");
    ClearMarks();
    if (MsiGetPropertyA(install, "CustomActionData", printer, &size) != ERROR_SUCCESS) {
        // Longer than any printer's name.
        LogEvent(LOG_PRINTER_NOT_SUPPORTED);
        return Finish(EXIT_NO_PRINTER);
    }
    code = RunSwitch(RUN_SWITCH_OFF, printer, &wroteRecord);
    if (wroteRecord)
        Mark(MARK_SWITCHED_OFF, printer);
    return Finish(code);
}

// A rollback undoes what its switch marked as this installation's, by the
// opposite switch, and clears the marks: the installation ends 1603 whatever
// it returns.
static UINT RollBack(MSIHANDLE install, const char *action, const char *mark, int run)
{
    char name[PRINTER_NAME_SIZE];
    int code = EXIT_NOTHING_TO_DO;
    int wroteRecord;

    Begin(install, action);
    if (Marked(mark, name))
        code = RunSwitch(run, name, &wroteRecord);
    else
        LogEvent(LOG_NOTHING_TO_UNDO);
    ClearMarks();
    LogNumber(LOG_EXIT, (unsigned)code);
    return ERROR_SUCCESS;
}

// Undoes the switch-off only where it wrote the record: a printer that was
// switched off before the installation stays so, whatever its properties said.
extern "C" UINT WINAPI SwitchOffRollback(MSIHANDLE install)
{
    return RollBack(install, "SwitchOffRollback", MARK_SWITCHED_OFF, RUN_SWITCH_ON);
}

extern "C" UINT WINAPI SwitchOn(MSIHANDLE install)
{
    char name[PRINTER_NAME_SIZE];

    Begin(install, "SwitchOn");
    ClearMarks();
    // Marked before anything is deleted, so that a removal that fails half
    // way is switched off again.
    if (ReadPatchRecord(name) == RECORD_PRINTER)
        Mark(MARK_SWITCHED_ON, name);
    return Finish(RunSwitch(RUN_SWITCH_ON, "", NULL));
}

// A failed removal leaves the printer as it found it: switched off.
extern "C" UINT WINAPI SwitchOnRollback(MSIHANDLE install)
{
    return RollBack(install, "SwitchOnRollback", MARK_SWITCHED_ON, RUN_SWITCH_OFF);
}

// An immediate action after InstallFinalize: the one kind that may ask the
// Windows Installer for a restart, which msiexec /norestart reports as 3010.
extern "C" UINT WINAPI RestartIfSwitched(MSIHANDLE install)
{
    char none[PRINTER_NAME_SIZE];

    if (Marked(MARK_RESTART, none))
        MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    // Runs as the user who installs, who may not be allowed to; the next
    // switch clears it then, and so does the restart.
    ClearMarks();
    return ERROR_SUCCESS;
}

#ifndef BRISVANE_HOST_WINDOWS_H
// The DLL uses no C runtime, so nothing needs starting when it is loaded.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
#endif
