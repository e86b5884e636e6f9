// Stands in for a DLL that a web page dropped into the Downloads folder beside
// the installer, named like one the system DLLs load on demand. Whatever loads
// it runs this code with the loader's rights, so it only appends a line naming
// itself and the program that loaded it to C:\planted-marker.txt.
#include <windows.h>

static int AppendUtf8(char *text, int size, int length, const wchar_t *part)
{
    // The converted length counts the NUL, which the next part overwrites.
    int converted = WideCharToMultiByte(CP_UTF8, 0, part, -1, text + length, size - length, NULL, NULL);
    return converted > 0 ? length + converted - 1 : length;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    wchar_t self[MAX_PATH], program[MAX_PATH];
    char text[3 * 2 * MAX_PATH + 32];  // UTF-8 takes at most 3 bytes per UTF-16 unit
    int length = 0;
    HANDLE marker;
    DWORD written;

    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    // Windows XP leaves a truncated name without its NUL.
    if (GetModuleFileNameW(instance, self, MAX_PATH) == 0)
        self[0] = L'\0';
    self[MAX_PATH - 1] = L'\0';
    if (GetModuleFileNameW(NULL, program, MAX_PATH) == 0)
        program[0] = L'\0';
    program[MAX_PATH - 1] = L'\0';
    length = AppendUtf8(text, (int)sizeof text - 2, length, self);
    length = AppendUtf8(text, (int)sizeof text - 2, length, L" loaded into ");
    length = AppendUtf8(text, (int)sizeof text - 2, length, program);
    text[length++] = '\n';
    marker = CreateFileW(L"C:\\planted-marker.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE) {
        WriteFile(marker, text, (DWORD)length, &written, NULL);
        CloseHandle(marker);
    }
    return TRUE;
}
