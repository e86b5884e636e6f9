// The installer's restart request.
#ifndef BRISVANE_RESTART_H
#define BRISVANE_RESTART_H

// Asks the system to restart the computer; returns nonzero when it agreed.
// A refusal is reported, since the change waits for a restart by hand.
int RequestRestart();

#endif
