// Where the program's messages go. A person at the screen gets message boxes.
// An unattended run shows no window at all, since nobody is there to answer
// one and a deployment tool would wait for it for ever: its messages, and
// every key or value it writes or deletes, go to its log instead. Texts are
// code page 1251 bytes; details and names (a printer's name, a key path, the
// command line) are in the system's ANSI code page.
#ifndef BRISVANE_REPORT_H
#define BRISVANE_REPORT_H

#include <windows.h>

// A line of the log, its line end included, is at most this long; a longer
// one, such as one quoting a long command line, is cut where a character ends.
enum { LOG_LINE_SIZE = 1024 };
// The text of an unattended run's event holds this many bytes with its NUL:
// room for the longest run's lines.
enum { RUN_TEXT_SIZE = 12 * LOG_LINE_SIZE };

// From here on the run is unattended: no window, messages go to `log` (an
// open file, or INVALID_HANDLE_VALUE for none; an empty one is begun as UTF-8
// text), and every confirmation is answered with `confirm`, as the person
// who started the run chose.
void ReportUnattended(HANDLE log, int confirm);
// The same for a custom action of the installer package: each line, in
// UTF-8 without its line end, goes to `write`, which hands it to the Windows
// Installer's log. A change is never followed by a restart of our own: the
// Windows Installer asks for it.
void ReportToInstaller(void (*write)(const char *line));
// Message boxes for a person at the screen, as a run without switches has.
void ReportToScreen();
int IsUnattended();

// Whether a window of ours can be seen: false on a window station that is
// not shown, as a service's or a scheduled task's that runs whether a user is
// logged on or not, where a window waits for an answer nobody can give.
int CanShowWindows();

// The lines an unattended run has logged so far, without their times, joined
// by line ends, in UTF-8: the facts of its log in one text.
const char *RunText();

// The windows below read as on a Russian Windows whatever the code page for
// programs without Unicode: ANSI calls where it is 1251, as always, and
// UTF-16 ones elsewhere.

// One of the installer's dialogs, from its template, without an owner.
INT_PTR ShowDialog(HINSTANCE instance, int id, DLGPROC procedure, LPARAM param);

// A string resource, such as the notice, as the text of a dialog's control.
void ShowResourceText(HWND dialog, int control, HINSTANCE instance, UINT id);

// A message box with this text and style, the program's caption and no
// owner; returns the button chosen. Unlike ShowError and ShowConfirm it is
// shown in an unattended run too: the usage is its one window.
int ShowMessage(const char *text, UINT type);

// A failure, or a notice that there is nothing to do: OK only.
void ShowError(const char *text);

// A success that offers a restart: returns nonzero when the user chose OK.
int ShowConfirm(const char *text);

// One line of an unattended run's log: the text, the detail, and the name
// after a backslash where there is one, as a key path is written. A run with
// a person at the screen keeps no log.
void LogEvent(const char *text, const char *detail = "", const char *name = "");

// The first line of a run: the computer's name and the command line.
void LogStart(const char *arguments);

// One line of the log: the text and the number.
void LogNumber(const char *text, unsigned number);

#endif
