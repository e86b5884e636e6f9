// The Application event that ends every unattended run, for administrators
// who collect what their computers did from the event logs.
#ifndef BRISVANE_EVENT_LOG_H
#define BRISVANE_EVENT_LOG_H

#include <windows.h>

// Registers the source's message file where it is missing or names another
// file, then reports the run's logged lines (RunText) as one event of source
// Brisvane, of this type and ID; a run whose event cannot be reported says so
// in its log.
void ReportRunEvent(WORD type, DWORD id);

#endif
