// Stand-in for <windows.h> in the host build: the types, constants and
// functions the installer uses, with the platform's sizes and values.
// The host layer (host/*.cpp) implements the functions.
#ifndef BRISVANE_HOST_WINDOWS_H
#define BRISVANE_HOST_WINDOWS_H

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define CONST const

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef void *HANDLE;
typedef HANDLE *PHANDLE;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef intptr_t INT_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;

typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef INT_PTR(WINAPI *FARPROC)();
typedef struct FILETIME FILETIME, *PFILETIME;
typedef struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define TRUE 1
#define FALSE 0

#define LOWORD(l) ((WORD)(((DWORD_PTR_)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR_)(l)) >> 16) & 0xffff))
typedef uintptr_t DWORD_PTR_;
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((WCHAR *)((ULONG_PTR)((WORD)(i))))

// The program's entry point, declared by the platform's header too.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// DLL loading
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x800

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI SetDllDirectoryA(LPCSTR pathName);

// Registry
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define KEY_ALL_ACCESS 0xF003F
#define KEY_READ 0x20019
#define KEY_QUERY_VALUE 0x0001
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define REG_OPTION_VOLATILE 0x1
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_KEY_DELETED 1018L
#define ERROR_NOT_ALL_ASSIGNED 1300L
#define ERROR_PRIVILEGE_NOT_HELD 1314L

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                            LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                          LPDWORD classLength, PFILETIME lastWriteTime);
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD dataSize);
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG WINAPI RegCloseKey(HKEY key);

// Strings
LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source);
LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source);
int WINAPI lstrlenA(LPCSTR text);
int WINAPI lstrcmpiA(LPCSTR first, LPCSTR second);
// Writes at most 1024 bytes, as Windows does.
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

// Dialogs, controls and message boxes
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define IDOK 1
#define IDCANCEL 2
#define BN_CLICKED 0
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define CB_ERR (-1)
#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_SELECTSTRING 0x014D
#define CB_SETCURSEL 0x014E
#define CBN_SELCHANGE 1
#define CBN_DROPDOWN 7
#define MB_OK 0x0
#define MB_OKCANCEL 0x1
#define MB_ICONERROR 0x10
#define MB_ICONINFORMATION 0x40
#define EWX_REBOOT 0x2
#define SHTDN_REASON_MAJOR_APPLICATION 0x00040000
#define SHTDN_REASON_MINOR_INSTALLATION 0x00000002
#define SHTDN_REASON_FLAG_PLANNED 0x80000000

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                               LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND WINAPI GetDlgItem(HWND dialog, int id);
BOOL WINAPI EnableWindow(HWND window, BOOL enable);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, const WCHAR *name, HWND owner, DLGPROC procedure, LPARAM param);
BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, const WCHAR *text);
int WINAPI LoadStringW(HINSTANCE instance, UINT id, WCHAR *buffer, int bufferSize);
int WINAPI MessageBoxW(HWND owner, const WCHAR *text, const WCHAR *caption, UINT type);
BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason);
// The window station's flags (UOI_FLAGS alone).
typedef struct HWINSTA__ *HWINSTA;
#define UOI_FLAGS 1
#define WSF_VISIBLE 0x0001L
typedef struct USEROBJECTFLAGS {
    BOOL fInherit, fReserved;
    DWORD dwFlags;
} USEROBJECTFLAGS;
HWINSTA WINAPI GetProcessWindowStation();
BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index, void *information, DWORD size, LPDWORD needed);
BOOL WINAPI InitiateSystemShutdownExA(LPSTR machine, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                      BOOL rebootAfterShutdown, DWORD reason);

// Process token and privileges
#define TOKEN_QUERY 0x0008
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SW_SHOWDEFAULT 10
typedef struct LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;
typedef struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES;
typedef struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

HANDLE WINAPI GetCurrentProcess();
BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desired, PHANDLE token);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState, LPDWORD returnLength);
BOOL WINAPI CloseHandle(HANDLE handle);

// Kernel objects of an unattended run: its mutex, its log file, the time.
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define FILE_APPEND_DATA 0x0004
#define FILE_READ_ATTRIBUTES 0x0080
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
typedef struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    DWORD unusedTimes[6];  // the three FILETIMEs, not read
    DWORD dwVolumeSerialNumber, nFileSizeHigh, nFileSizeLow, nNumberOfLinks, nFileIndexHigh, nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
typedef struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;
typedef struct OVERLAPPED OVERLAPPED, *LPOVERLAPPED;
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE templateFile);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
void WINAPI GetLocalTime(LPSYSTEMTIME time);
// Pictures of yyyy, MM, dd, HH, mm, ss and 'quoted' text only.
#define LOCALE_INVARIANT 0x007f
typedef DWORD LCID;
int WINAPI GetDateFormatA(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCSTR picture, LPSTR text, int size);
int WINAPI GetTimeFormatA(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCSTR picture, LPSTR text, int size);
DWORD WINAPI GetLastError();

// Security of the run lock: a descriptor from SDDL, and the owner of an object.
typedef void *PSID;
typedef void *PSECURITY_DESCRIPTOR;
typedef void *PACL;
typedef void *HLOCAL;
typedef DWORD SECURITY_INFORMATION;
typedef unsigned long *PULONG;
#define SDDL_REVISION_1 1
#define OWNER_SECURITY_INFORMATION 0x1
#define ERROR_INVALID_OWNER 1307L
typedef enum SE_OBJECT_TYPE { SE_KERNEL_OBJECT = 6 } SE_OBJECT_TYPE;
typedef enum WELL_KNOWN_SID_TYPE { WinLocalSystemSid = 22, WinBuiltinAdministratorsSid = 26 } WELL_KNOWN_SID_TYPE;
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                                 PSECURITY_DESCRIPTOR *security, PULONG size);
DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID *owner, PSID *group,
                             PACL *dacl, PACL *sacl, PSECURITY_DESCRIPTOR *security);
BOOL WINAPI IsWellKnownSid(PSID sid, WELL_KNOWN_SID_TYPE type);
HLOCAL WINAPI LocalFree(HLOCAL memory);

// The Application event log.
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define KEY_SET_VALUE 0x0002
HANDLE WINAPI RegisterEventSourceA(LPCSTR server, LPCSTR source);
BOOL WINAPI ReportEventW(HANDLE source, WORD type, WORD category, DWORD id, PSID user, WORD stringCount, DWORD dataSize,
                         const WCHAR **strings, LPVOID data);
BOOL WINAPI DeregisterEventSource(HANDLE source);

// Text conversion, the computer's name. Code pages 1251, 1252 and UTF-8
// (CP_UTF8) convert to UTF-16, UTF-16 to UTF-8.
#define CP_ACP 0
#define CP_UTF8 65001
#define MAX_COMPUTERNAME_LENGTH 15
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_BUFFER_OVERFLOW 111L
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, WCHAR *wide, int size);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR *wide, int length, LPSTR text, int size,
                               LPCSTR defaultChar, BOOL *usedDefaultChar);
BOOL WINAPI GetComputerNameA(LPSTR name, LPDWORD size);
UINT WINAPI GetACP();

#endif
