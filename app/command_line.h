// The command line, read once at start-up into a few plain values.
#ifndef BRISVANE_COMMAND_LINE_H
#define BRISVANE_COMMAND_LINE_H

#include "../registry/registry_ops.h"

// What the run is to do.
enum {
    RUN_DIALOGS,           // no switch at all: the installer's dialogs
    RUN_SWITCH_OFF,        // /off [/printer NAME]
    RUN_SWITCH_ON,         // /on
    RUN_USAGE,             // /? or /help
    RUN_BAD_COMMAND_LINE,  // anything else: nothing is changed
};

// Long enough for any path that opens without the \\?\ prefix.
enum { LOG_PATH_SIZE = 260 };

struct RunOptions {
    int run;
    int restart;                      // /restart: restart after a change
    char printer[PRINTER_NAME_SIZE];  // /printer: empty for the first supported one
    char log[LOG_PATH_SIZE];          // /log: empty for none; kept where a later word was not understood
};

// Reads the arguments (the command line without the program's name, as
// WinMain receives it). Switches start with / or -, in any case; words are
// split and quoted as the C runtime splits them.
void ReadCommandLine(const char *arguments, RunOptions *options);

#endif
