// The roads that the dialogs and the unattended run share, from the change
// to its message and the restart.
#include "flow.h"

#include <windows.h>

#include "../platform/report.h"
#include "../registry/registry_ops.h"
#include "../res/keys.h"
#include "../res/messages.h"
#include "restart.h"

int ApplySwitchOff(const char *name)
{
    if (!ApplyTonerLowSetting(name))
        return SWITCH_OFF_FAILED;
    // The record is written only after the setting, so a failed write never
    // leaves a record behind.
    return PatchRecord(PATCH_STORE, (char *)name) ? SWITCH_OFF_DONE : SWITCH_OFF_NOT_RECORDED;
}

int FinishChange(const char *text)
{
    if (!ShowConfirm(text))
        return EXIT_RESTART_NEEDED;
    return RequestRestart() ? EXIT_RESTARTING : EXIT_RESTART_NEEDED;
}

int SwitchOn()
{
    if (!RemoveTonerLowSetting()) {
        ShowError(TEXT_SWITCH_ON_FAILED);
        return EXIT_FAILED;
    }
    // A record left behind would tell a deployment tool that looks for it
    // that the printer is still switched off; the dialogs do not report it.
    if (IsUnattended() && TestPatchRecord() != ERROR_FILE_NOT_FOUND) {
        LogEvent(LOG_RECORD_KEPT, PATCH_RECORD_KEY);
        return EXIT_FAILED;
    }
    return FinishChange(TEXT_SWITCHED_ON);
}
