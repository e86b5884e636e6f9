// The unattended run, for deployment tools.
#ifndef BRISVANE_UNATTENDED_H
#define BRISVANE_UNATTENDED_H

#include "command_line.h"

// A run with switches: no window, unless the usage is asked for. Returns the
// exit code; arguments is the command line as given, for the log.
int RunUnattended(const RunOptions &options, const char *arguments);

// The switch-off (RUN_SWITCH_OFF, for the printer named or else the first
// supported one) or the switch-on (RUN_SWITCH_ON) of an unattended run, held
// apart from every other run; returns the exit code. With followRecord and
// no printer named, the switch-off is for the recorded printer where there
// is one, as a repair or an upgrade of the installer package wants.
int RunSwitch(int run, const char *printer, int followRecord);

#endif
