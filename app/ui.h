// The installer's message boxes and restart request.
#ifndef BRISVANE_UI_H
#define BRISVANE_UI_H

// A failure, or a notice that there is nothing to do: OK only.
void ShowError(const char *text);

// A success that offers a restart: returns nonzero when the user chose OK.
int ShowConfirm(const char *text);

// Asks the system to restart the computer.
void RequestRestart();

#endif
