// The kernel objects of an unattended run: a named mutex that another process
// may hold, log files kept in memory, and a fixed local time.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "host.h"
#include "text.h"

namespace host {

struct Kernel {
    std::map<std::string, bool, NoCaseLess> heldMutexes;  // name to refused
    std::set<std::string, NoCaseLess> failingFiles;
    std::map<std::string, std::string, NoCaseLess> files;
    std::map<std::string, std::string, NoCaseLess> links;  // a link's path to its target's
    std::map<HANDLE, std::string> openFiles;  // handle to path; mutexes map to ""
    UINT ansiCodePage = 1251;
    uintptr_t nextHandle = 0x9000;
};

static Kernel &KernelState()
{
    static Kernel kernel;
    return kernel;
}

void SetLastErrorCode(DWORD error);

void ResetKernel()
{
    KernelState() = Kernel();
}

void HoldMutex(const std::string &name, bool refused)
{
    KernelState().heldMutexes[name] = refused;
}

void FailFile(const std::string &path)
{
    KernelState().failingFiles.insert(path);
}

void LinkFile(const std::string &path, const std::string &target)
{
    KernelState().links[path] = target;
}

void SetAnsiCodePage(UINT codePage)
{
    KernelState().ansiCodePage = codePage;
}

UINT AnsiCodePage()
{
    return KernelState().ansiCodePage;
}

std::string FileText(const std::string &path)
{
    auto found = KernelState().files.find(path);
    return found == KernelState().files.end() ? std::string() : found->second;
}

int OpenKernelHandles()
{
    return (int)KernelState().openFiles.size();
}

bool CloseKernelHandle(HANDLE handle)
{
    return KernelState().openFiles.erase(handle) == 1;
}

static HANDLE NewHandle(const std::string &path)
{
    HANDLE handle = reinterpret_cast<HANDLE>(KernelState().nextHandle += 4);
    KernelState().openFiles[handle] = path;
    return handle;
}

}  // namespace host

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name)
{
    // Another process's mutex of the same name opens as the same object.
    auto held = name != nullptr ? host::KernelState().heldMutexes.find(name) : host::KernelState().heldMutexes.end();
    if (held != host::KernelState().heldMutexes.end() && held->second) {
        host::SetLastErrorCode(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    host::SetLastErrorCode(held != host::KernelState().heldMutexes.end() ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return host::NewHandle("");
}

// Files open for appending only; a link is followed unless the flag asks
// for the link itself.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                          HANDLE)
{
    host::Kernel &kernel = host::KernelState();
    std::string opened = path;
    if (kernel.links.count(opened) && (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0)
        opened = kernel.links[opened];
    if (kernel.failingFiles.count(opened) || (access & ~FILE_READ_ATTRIBUTES) != FILE_APPEND_DATA
        || disposition != OPEN_ALWAYS) {
        host::SetLastErrorCode(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    host::SetLastErrorCode(kernel.files.count(opened) ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    kernel.files[opened];
    return host::NewHandle(opened);
}

static const std::string *OpenFile(HANDLE file)
{
    auto found = host::KernelState().openFiles.find(file);
    return found == host::KernelState().openFiles.end() || found->second.empty() ? nullptr : &found->second;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    const std::string *path = OpenFile(file);
    if (path == nullptr)
        return FALSE;
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->dwFileAttributes =
        host::KernelState().links.count(*path) ? FILE_ATTRIBUTE_REPARSE_POINT : FILE_ATTRIBUTE_NORMAL;
    information->nFileSizeLow = (DWORD)host::KernelState().files[*path].size();
    information->nNumberOfLinks = 1;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    const std::string *path = OpenFile(file);
    if (sizeHigh != nullptr)
        *sizeHigh = 0;
    return path == nullptr ? 0xFFFFFFFF : (DWORD)host::KernelState().files[*path].size();
}

BOOL WINAPI GetComputerNameA(LPSTR name, LPDWORD size)
{
    static const char COMPUTER[] = "BUH-07";
    if (*size < sizeof COMPUTER) {
        *size = sizeof COMPUTER;
        host::SetLastErrorCode(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(name, COMPUTER, sizeof COMPUTER);
    *size = sizeof COMPUTER - 1;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)
{
    const std::string *path = OpenFile(file);
    if (path == nullptr)
        return FALSE;
    host::KernelState().files[*path].append(static_cast<const char *>(data), size);
    *written = size;
    return TRUE;
}

void WINAPI GetLocalTime(LPSYSTEMTIME time)
{
    *time = SYSTEMTIME{ 2026, 12, 2, 8, 9, 5, 3, 0 };
}

// Writes the picture with the time's fields; the size counts the NUL, and a
// buffer too small gives 0, as Windows does.
static int FormatTime(const SYSTEMTIME *time, LPCSTR picture, LPSTR text, int size)
{
    static const struct { const char *token; WORD SYSTEMTIME::*field; int width; } fields[] = {
        { "yyyy", &SYSTEMTIME::wYear, 4 },  { "MM", &SYSTEMTIME::wMonth, 2 },  { "dd", &SYSTEMTIME::wDay, 2 },
        { "HH", &SYSTEMTIME::wHour, 2 },    { "mm", &SYSTEMTIME::wMinute, 2 }, { "ss", &SYSTEMTIME::wSecond, 2 },
    };
    std::string out;
    for (const char *p = picture; *p != '\0';) {
        if (*p == '\'') {
            const char *end = std::strchr(p + 1, '\'');
            out.append(p + 1, end ? end : p + std::strlen(p));
            p = end ? end + 1 : p + std::strlen(p);
            continue;
        }
        bool matched = false;
        for (const auto &f : fields) {
            size_t length = std::strlen(f.token);
            if (!matched && std::strncmp(p, f.token, length) == 0) {
                char digits[8];
                std::snprintf(digits, sizeof digits, "%0*u", f.width, (unsigned)(time->*f.field));
                out += digits;
                p += length;
                matched = true;
            }
        }
        if (!matched)
            out += *p++;
    }
    if ((int)out.size() + 1 > size)
        return 0;
    std::memcpy(text, out.c_str(), out.size() + 1);
    return (int)out.size() + 1;
}

int WINAPI GetDateFormatA(LCID, DWORD, const SYSTEMTIME *time, LPCSTR picture, LPSTR text, int size)
{
    return FormatTime(time, picture, text, size);
}

int WINAPI GetTimeFormatA(LCID, DWORD, const SYSTEMTIME *time, LPCSTR picture, LPSTR text, int size)
{
    return FormatTime(time, picture, text, size);
}
