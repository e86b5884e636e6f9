// The roads that the dialogs and the unattended run share. Each returns the
// exit code that an unattended run ends with; the dialogs' run ends with 0.
#ifndef BRISVANE_FLOW_H
#define BRISVANE_FLOW_H

// The exit codes that deployment tools read: the Windows Installer's, and
// for a computer without a supported printer one of our own.
enum {
    EXIT_NOTHING_TO_DO = 0,
    EXIT_NO_PRINTER = 1168,        // ERROR_NOT_FOUND
    EXIT_FAILED = 1603,            // ERROR_INSTALL_FAILURE
    EXIT_ALREADY_RUNNING = 1618,   // ERROR_INSTALL_ALREADY_RUNNING
    EXIT_BAD_COMMAND_LINE = 1639,  // ERROR_INVALID_COMMAND_LINE, as msiexec ends
    EXIT_RESTARTING = 1641,        // ERROR_SUCCESS_REBOOT_INITIATED
    EXIT_RESTART_NEEDED = 3010,    // ERROR_SUCCESS_REBOOT_REQUIRED
};

// What ApplySwitchOff achieved.
enum { SWITCH_OFF_FAILED, SWITCH_OFF_DONE, SWITCH_OFF_NOT_RECORDED };

// Writes the printer's setting, then the patch record.
int ApplySwitchOff(const char *name);

// The message of a change, and the restart if the user (or the command line) asks for it.
int FinishChange(const char *text);

// Removes the recorded printer's setting and reports the outcome.
int SwitchOn();

#endif
