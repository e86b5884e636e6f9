// The least a Windows program can do for the job of an unattended switch-off:
// open one key, write one value, end. Built as the installer is (no C
// runtime, GUI subsystem), so that only the work differs.
#include <windows.h>

extern "C" void WinMainCRTStartup()
{
    HKEY key;
    DWORD one = 1;
    UINT code = 1;

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\BrisvaneBench", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
        == ERROR_SUCCESS) {
        code = RegSetValueExA(key, "TonerLow", 0, REG_DWORD, (const BYTE *)&one, sizeof one) == ERROR_SUCCESS ? 0 : 1;
        RegCloseKey(key);
    }
    ExitProcess(code);
}
