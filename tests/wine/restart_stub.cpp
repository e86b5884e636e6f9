// Stands in for the prefix's wineboot.exe, which the system starts to carry
// out a restart request. It only appends its command line to
// C:\restart-requests.log, so the tests see the request and nothing restarts.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const wchar_t *line = GetCommandLineW();
    char text[1024];
    // One byte stays free for the newline; the converted length counts the NUL.
    int converted = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof text - 1, NULL, NULL);
    int length;
    HANDLE log;
    DWORD written;

    if (converted > 0)
        length = converted - 1;
    else
        length = lstrlenA(lstrcpynA(text, "(command line too long)", sizeof text - 1));
    text[length++] = '\n';
    log = CreateFileW(L"C:\\restart-requests.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    WriteFile(log, text, (DWORD)length, &written, NULL);
    CloseHandle(log);
    return 0;
}
