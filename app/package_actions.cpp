// The custom actions of the installer package, in BrisvaneActions.dll: the
// switch-off on installation, repair and upgrade, its undoing when a later
// step fails, and the switch-on on removal. Each takes the road of an
// unattended run, as SYSTEM, and writes the same lines into the Windows
// Installer's log.
#include <windows.h>

#include <msiquery.h>

#include "../platform/report.h"
#include "../registry/registry_ops.h"
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

// A change asks the Windows Installer for a restart, which msiexec /norestart
// reports as 3010; anything but a change or nothing to change fails the
// installation, which then rolls back.
static UINT Finish(int code)
{
    LogNumber(LOG_EXIT, (unsigned)code);
    if (code == EXIT_RESTART_NEEDED)
        MsiSetMode(installSession, MSIRUNMODE_REBOOTATEND, TRUE);
    return code == EXIT_NOTHING_TO_DO || code == EXIT_RESTART_NEEDED ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// CustomActionData: I on a first installation, R on a repair or an upgrade,
// then the package's PRINTER property, empty for the first supported
// printer or, on a repair or an upgrade, the recorded one.
extern "C" UINT WINAPI SwitchOff(MSIHANDLE install)
{
    char data[1 + PRINTER_NAME_SIZE];
    DWORD size = sizeof data;

    Begin(install, "SwitchOff");
    if (MsiGetPropertyA(install, "CustomActionData", data, &size) != ERROR_SUCCESS) {
        // Longer than any printer's name.
        LogEvent(LOG_PRINTER_NOT_SUPPORTED);
        return Finish(EXIT_NO_PRINTER);
    }
    return Finish(RunSwitch(RUN_SWITCH_OFF, data[0] != '\0' ? data + 1 : "", data[0] == 'R'));
}

// Scheduled only where no record stood before the installation, so a record
// now is the one this installation's switch-off wrote.
extern "C" UINT WINAPI SwitchOffRollback(MSIHANDLE install)
{
    Begin(install, "SwitchOffRollback");
    LogNumber(LOG_EXIT, (unsigned)RunSwitch(RUN_SWITCH_ON, "", 0));
    return ERROR_SUCCESS;
}

extern "C" UINT WINAPI SwitchOn(MSIHANDLE install)
{
    Begin(install, "SwitchOn");
    return Finish(RunSwitch(RUN_SWITCH_ON, "", 0));
}

#ifndef BRISVANE_HOST_WINDOWS_H
// The DLL uses no C runtime, so nothing needs starting when it is loaded.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
#endif
