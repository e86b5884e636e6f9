// The event goes in as UTF-16, so that its Russian reads right on a Windows
// of any language; its one string is the whole text, which the source's
// message file shows as it stands.
#include "event_log.h"

#include "../res/keys.h"
#include "../res/messages.h"
#include "report.h"

static const char EVENT_SOURCE[] = "Brisvane";

// Before the event, so that a collector that renders it at once finds its text.
static void RegisterEventSourceFile()
{
    char file[sizeof EVENT_MESSAGE_FILE + 1];
    DWORD size = sizeof file - 1;
    DWORD type;
    HKEY key;
    int registered = 0;

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENT_SOURCE_KEY, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key,
                        NULL)
        != ERROR_SUCCESS)
        return;
    // Bounded by the size the query returns: the value need not end in a NUL.
    if (RegQueryValueExA(key, EVENT_MESSAGE_FILE_VALUE, NULL, &type, (BYTE *)file, &size) == ERROR_SUCCESS
        && type == REG_EXPAND_SZ) {
        file[size] = '\0';
        registered = lstrcmpiA(file, EVENT_MESSAGE_FILE) == 0;
    }
    if (!registered) {
        LONG written = RegSetValueExA(key, EVENT_MESSAGE_FILE_VALUE, 0, REG_EXPAND_SZ, (const BYTE *)EVENT_MESSAGE_FILE,
                                      sizeof EVENT_MESSAGE_FILE);
        if (written == ERROR_SUCCESS)
            LogEvent(LOG_WRITTEN, EVENT_SOURCE_KEY, EVENT_MESSAGE_FILE_VALUE);
    }
    RegCloseKey(key);
}

void ReportRunEvent(WORD type, DWORD id)
{
    // A byte of UTF-8 gives at most one UTF-16 unit.
    static WCHAR text[RUN_TEXT_SIZE];
    const WCHAR *strings[1] = { text };
    HANDLE source;

    RegisterEventSourceFile();
    if (MultiByteToWideChar(CP_UTF8, 0, RunText(), -1, text, RUN_TEXT_SIZE) <= 0)
        text[0] = 0;
    // Without a registration the event still goes to the Application log.
    source = RegisterEventSourceA(NULL, EVENT_SOURCE);
    if (source == NULL || !ReportEventW(source, type, 0, id, NULL, 1, 0, strings, NULL))
        LogNumber(LOG_EVENT_NOT_REPORTED, GetLastError());
    if (source != NULL)
        DeregisterEventSource(source);
}
