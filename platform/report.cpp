// Every message box carries the program's caption and the stop icon, and has
// no owner: the dialogs that come before it have already ended. An unattended
// run writes the same texts into its log, each line under a local date and
// time, in the ANSI code page, as Notepad opens it on the same Windows.
#include "report.h"

#include "../res/strings.h"
#include "user32.h"

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

void ReportToScreen()
{
    reportLog = NULL;
    unattended = 0;
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

void LogEvent(const char *text, const char *detail, const char *name)
{
    char line[LOG_LINE_SIZE];
    int length = 0;
    SYSTEMTIME now;
    DWORD written;

    if (reportLog == NULL)
        return;
    // "2026-12-08 09:05:03 ", the same in every locale. Each call writes its
    // part and a NUL, which gives way to a blank.
    GetLocalTime(&now);
    if (GetDateFormatA(LOCALE_INVARIANT, 0, &now, "yyyy'-'MM'-'dd", line, 11) == 11
        && GetTimeFormatA(LOCALE_INVARIANT, 0, &now, "HH':'mm':'ss", line + 11, 9) == 9) {
        line[10] = line[19] = ' ';
        length = 20;
    }
    Append(line, &length, text);
    Append(line, &length, detail);
    if (*name != '\0') {
        Append(line, &length, "\\");
        Append(line, &length, name);
    }
    // Room for the line end was kept free above.
    line[length++] = '\r';
    line[length++] = '\n';
    WriteFile(reportLog, line, (DWORD)length, &written, NULL);
}

// The number is formatted here rather than by wsprintfA, which would load
// user32 for a run that shows no window.
void LogNumber(const char *text, unsigned number)
{
    char digits[12];
    int at = (int)sizeof digits - 1;

    digits[at] = '\0';
    do {
        digits[--at] = (char)('0' + number % 10);
        number /= 10;
    } while (number != 0 && at > 0);
    LogEvent(text, digits + at);
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
