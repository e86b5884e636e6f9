// The unattended run, for deployment tools.
#ifndef BRISVANE_UNATTENDED_H
#define BRISVANE_UNATTENDED_H

#include "command_line.h"

// A run with switches, or one without where nobody can see a window: no
// window, unless the usage is asked for where it can be seen. Ends with an
// Application event. Returns the exit code; arguments is the command line as
// given, for the log.
int RunUnattended(const RunOptions &options, const char *arguments);

// The switch-off (RUN_SWITCH_OFF, for the printer named or else the first
// supported one) or the switch-on (RUN_SWITCH_ON) of an unattended run, held
// apart from every other run; returns the exit code. The installer package
// passes wroteRecord: its switch-off with no printer named is then for the
// recorded printer where there is one, and a switch-off that found no record
// and wrote one sets *wroteRecord, which the package's rollback undoes.
int RunSwitch(int run, const char *printer, int *wroteRecord);

#endif
