// Every message box carries the program's caption and the stop icon, and has
// no owner: the dialogs that come before it have already ended. An unattended
// run writes the same texts into its log, each line under a local date and
// time, in the ANSI code page, as Notepad opens it on the same Windows.
#include "report.h"

#include "../res/strings.h"

// Zero until the run is found to be unattended; no log is NULL.
static HANDLE reportLog;
static int unattended;
static int confirmAnswer;

// A line longer than this, such as one quoting a long command line, is cut.
enum { LOG_LINE_SIZE = 1024 };

void ReportUnattended(HANDLE log, int confirm)
{
    reportLog = log == INVALID_HANDLE_VALUE ? NULL : log;
    unattended = 1;
    confirmAnswer = confirm;
}

int IsUnattended()
{
    return unattended;
}

static void Append(char *line, int *length, const char *text)
{
    while (*text != '\0' && *length < LOG_LINE_SIZE - 2)
        line[(*length)++] = *text++;
}

void LogEvent(const char *first, const char *second, const char *third, const char *fourth)
{
    char line[LOG_LINE_SIZE];
    int length;
    SYSTEMTIME now;
    DWORD written;

    if (reportLog == NULL)
        return;
    GetLocalTime(&now);
    // Six numbers of at most five digits each: far inside the line.
    length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                       now.wMinute, now.wSecond);
    Append(line, &length, first);
    Append(line, &length, second);
    Append(line, &length, third);
    Append(line, &length, fourth);
    // Room for the line end was kept free above.
    line[length++] = '\r';
    line[length++] = '\n';
    WriteFile(reportLog, line, (DWORD)length, &written, NULL);
}

void ShowError(const char *text)
{
    if (unattended)
        LogEvent(text);
    else
        MessageBoxA(NULL, text, APP_TITLE, MB_ICONERROR);
}

int ShowConfirm(const char *text)
{
    if (unattended) {
        LogEvent(text);
        return confirmAnswer;
    }
    return MessageBoxA(NULL, text, APP_TITLE, MB_ICONERROR | MB_OKCANCEL) == IDOK;
}
