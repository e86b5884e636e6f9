// Every message box carries the program's caption and the stop icon, and has
// no owner: the dialogs that come before it have already ended. An unattended
// run writes the same texts into its log, each line under a local date and
// time, in UTF-8, which every log collector reads whatever the language of
// the Windows that wrote it.
#include "report.h"

#include "../res/messages.h"
#include "user32.h"

// Zero until the run is found to be unattended; no log is NULL.
static HANDLE reportLog;
static void (*installerLog)(const char *line);
static int unattended;
static int confirmAnswer;
// The lines of an unattended run without their times, for the event that
// ends it; kept until one does not fit, so the text has no gaps.
static int keepingRunText;
static char runText[RUN_TEXT_SIZE];
static int runTextLength;

// The program's own texts are code page 1251 bytes; names, paths and the
// command line come in the system's ANSI code page, whatever its language.
enum { FIXED_TEXT_CODE_PAGE = 1251 };
// Room for a text on the screen in UTF-16 units with its NUL, as many as its
// code page 1251 bytes: the usage is the longest message, the notice the one
// string resource. The notice's ANSI buffer, in bytes, is as it always was.
enum { MESSAGE_TEXT_SIZE = sizeof TEXT_USAGE, RESOURCE_TEXT_SIZE = sizeof NOTICE_TEXT, RESOURCE_BYTES_SIZE = 2048 };

struct LogLine {
    char bytes[LOG_LINE_SIZE];
    int length;
    int textStart;  // where the text begins after the date and time
};

void ReportUnattended(HANDLE log, int confirm)
{
    static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
    DWORD written;

    reportLog = log == INVALID_HANDLE_VALUE ? NULL : log;
    unattended = 1;
    confirmAnswer = confirm;
    keepingRunText = 1;
    runTextLength = 0;
    // Only a file that holds nothing yet starts with the mark: runs append
    // to one log, and a mark in the middle would read as a stray character.
    if (reportLog != NULL && GetFileSize(reportLog, NULL) == 0)
        WriteFile(reportLog, BYTE_ORDER_MARK, sizeof BYTE_ORDER_MARK - 1, &written, NULL);
}

void ReportToInstaller(void (*write)(const char *line))
{
    reportLog = NULL;
    installerLog = write;
    unattended = 1;
    confirmAnswer = 0;
    keepingRunText = 0;
}

void ReportToScreen()
{
    reportLog = NULL;
    installerLog = NULL;
    unattended = 0;
    keepingRunText = 0;
}

int IsUnattended()
{
    return unattended;
}

int CanShowWindows()
{
    USEROBJECTFLAGS flags;
    DWORD needed;

    // Flags that cannot be read leave the windows as they always were.
    return !GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed)
           || (flags.dwFlags & WSF_VISIBLE) != 0;
}

const char *RunText()
{
    runText[runTextLength] = '\0';
    return runText;
}

// Starts a line with "2026-12-08 09:05:03 ", the same in every locale; false
// when the line goes nowhere. Each call writes its part and a NUL, which
// gives way to a blank.
static int BeginLine(LogLine *line)
{
    SYSTEMTIME now;

    line->length = 0;
    if (reportLog == NULL && installerLog == NULL && !keepingRunText)
        return 0;
    GetLocalTime(&now);
    if (GetDateFormatA(LOCALE_INVARIANT, 0, &now, "yyyy'-'MM'-'dd", line->bytes, 11) == 11
        && GetTimeFormatA(LOCALE_INVARIANT, 0, &now, "HH':'mm':'ss", line->bytes + 11, 9) == 9) {
        line->bytes[10] = line->bytes[19] = ' ';
        line->length = 20;
    }
    line->textStart = line->length;
    return 1;
}

// Appends text in UTF-8 as far as whole characters fit, keeping room for the
// line end.
static void Append(LogLine *line, const char *text, UINT codePage)
{
    // A byte gives at most one UTF-16 unit, and a unit at least one byte of UTF-8.
    WCHAR wide[LOG_LINE_SIZE];
    int length = lstrlenA(text);
    int count = 0;

    if (length > LOG_LINE_SIZE)
        length = LOG_LINE_SIZE;
    if (length > 0)
        count = MultiByteToWideChar(codePage, 0, text, length, wide, LOG_LINE_SIZE);
    for (int i = 0; i < count;) {
        char utf8[4];
        // A surrogate pair is one character.
        int units = wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < count ? 2 : 1;
        int size = WideCharToMultiByte(CP_UTF8, 0, wide + i, units, utf8, (int)sizeof utf8, NULL, NULL);
        if (size <= 0 || size > LOG_LINE_SIZE - 2 - line->length)
            return;
        for (int j = 0; j < size; j++)
            line->bytes[line->length++] = utf8[j];
        i += units;
    }
}

// Lines are joined by a line end; the NUL after the text is written by RunText.
static void KeepRunText(const LogLine *line)
{
    const int size = line->length - line->textStart;
    const int separator = runTextLength > 0 ? 2 : 0;

    if (!keepingRunText || size > RUN_TEXT_SIZE - 1 - runTextLength - separator) {
        keepingRunText = 0;
        return;
    }
    if (separator) {
        runText[runTextLength++] = '\r';
        runText[runTextLength++] = '\n';
    }
    for (int i = 0; i < size; i++)
        runText[runTextLength++] = line->bytes[line->textStart + i];
}

static void EndLine(LogLine *line)
{
    DWORD written;

    KeepRunText(line);
    // Room for the line end, or the NUL in its place, was kept free above.
    if (installerLog != NULL) {
        line->bytes[line->length] = '\0';
        installerLog(line->bytes);
        return;
    }
    line->bytes[line->length++] = '\r';
    line->bytes[line->length++] = '\n';
    if (reportLog != NULL)
        WriteFile(reportLog, line->bytes, (DWORD)line->length, &written, NULL);
}

void LogEvent(const char *text, const char *detail, const char *name)
{
    LogLine line;

    if (!BeginLine(&line))
        return;
    Append(&line, text, FIXED_TEXT_CODE_PAGE);
    Append(&line, detail, CP_ACP);
    if (*name != '\0') {
        Append(&line, "\\", CP_ACP);
        Append(&line, name, CP_ACP);
    }
    EndLine(&line);
}

void LogStart(const char *arguments)
{
    // Logs of many computers often go to one share.
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    LogLine line;

    if (!BeginLine(&line))
        return;
    if (!GetComputerNameA(computer, &size))
        computer[0] = '\0';
    Append(&line, LOG_STARTED_ON, FIXED_TEXT_CODE_PAGE);
    Append(&line, computer, CP_ACP);
    Append(&line, LOG_STARTED_ARGUMENTS, FIXED_TEXT_CODE_PAGE);
    Append(&line, arguments, CP_ACP);
    EndLine(&line);
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

// Where the code page for programs without Unicode is 1251, the ANSI calls
// show the program's texts as they are. Any other lacks their letters: the
// ANSI calls would read the texts in it, LoadStringA (and Wine's
// DialogBoxParamA) convert the resources' UTF-16 to it, and the screen would
// show '?' or another script's signs. There the texts go out as UTF-16.
static int IsFixedTextCodePage()
{
    return GetACP() == FIXED_TEXT_CODE_PAGE;
}

// Code page 1251 gives one UTF-16 unit per byte: as much of the text as fits
// before the NUL is converted. A failed conversion, which returns 0, leaves
// the text empty.
static void Widen(const char *text, WCHAR *wide, int size)
{
    int length = lstrlenA(text);

    if (length > size - 1)
        length = size - 1;
    wide[MultiByteToWideChar(FIXED_TEXT_CODE_PAGE, 0, text, length, wide, size - 1)] = 0;
}

// A dialog made by the W call is a Unicode window, whose template's texts
// reach the screen unconverted. Its combo box still takes the printer's name
// from SendDlgItemMessageA, which the system converts from its own code page,
// the one the spooler's registry gives names in.
INT_PTR ShowDialog(HINSTANCE instance, int id, DLGPROC procedure, LPARAM param)
{
    if (IsFixedTextCodePage())
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), NULL, procedure, param);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), NULL, procedure, param);
}

void ShowResourceText(HWND dialog, int control, HINSTANCE instance, UINT id)
{
    if (IsFixedTextCodePage()) {
        char text[RESOURCE_BYTES_SIZE];
        if (LoadStringA(instance, id, text, (int)sizeof text) <= 0)
            text[0] = '\0';
        SetDlgItemTextA(dialog, control, text);
    } else {
        WCHAR text[RESOURCE_TEXT_SIZE];
        if (LoadStringW(instance, id, text, RESOURCE_TEXT_SIZE) <= 0)
            text[0] = 0;
        SetDlgItemTextW(dialog, control, text);
    }
}

int ShowMessage(const char *text, UINT type)
{
    WCHAR wideText[MESSAGE_TEXT_SIZE];
    WCHAR wideCaption[sizeof APP_TITLE];

    if (IsFixedTextCodePage())
        return MessageBoxA(NULL, text, APP_TITLE, type);
    Widen(text, wideText, MESSAGE_TEXT_SIZE);
    Widen(APP_TITLE, wideCaption, (int)sizeof APP_TITLE);
    return MessageBoxW(NULL, wideText, wideCaption, type);
}

void ShowError(const char *text)
{
    if (unattended)
        LogEvent(text);
    else
        ShowMessage(text, MB_ICONERROR);
}

int ShowConfirm(const char *text)
{
    if (unattended) {
        LogEvent(text);
        return confirmAnswer;
    }
    return ShowMessage(text, MB_ICONERROR | MB_OKCANCEL) == IDOK;
}
