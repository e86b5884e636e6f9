// The unattended run, for deployment tools.
#ifndef BRISVANE_UNATTENDED_H
#define BRISVANE_UNATTENDED_H

#include "command_line.h"

// A run with switches: no window, unless the usage is asked for. Returns the
// exit code; arguments is the command line as given, for the log.
int RunUnattended(const RunOptions &options, const char *arguments);

#endif
