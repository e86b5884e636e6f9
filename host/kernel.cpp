// The kernel objects of an unattended run: a named mutex that another process
// may hold, with its owner, log files kept in memory, and a fixed local time.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "host.h"
#include "text.h"

namespace host {

struct Mutex {
    std::string owner;  // as SDDL abbreviates it, "" for none
    bool refused;
};

struct Kernel {
    std::map<std::string, Mutex, NoCaseLess> heldMutexes;
    std::vector<std::string> createdMutexes;
    std::set<const void *> localMemory;  // descriptors to be given back with LocalFree
    std::set<std::string, NoCaseLess> failingFiles;
    std::map<std::string, std::string, NoCaseLess> files;
    std::map<std::string, std::string, NoCaseLess> links;  // a link's path to its target's
    std::set<std::string, NoCaseLess> hardLinked;
    std::map<HANDLE, std::string> openFiles;  // handle to path; a mutex to "mutex:" and its owner
    UINT ansiCodePage = 1251;
    uintptr_t nextHandle = 0x9000;
    std::vector<std::string> events;
    DWORD eventError = 0;
    std::string dllDirectory = "(none)";
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

void HoldMutex(const std::string &name, const std::string &owner, bool refused)
{
    KernelState().heldMutexes[name] = Mutex{ owner, refused };
}

const std::vector<std::string> &CreatedMutexes()
{
    return KernelState().createdMutexes;
}

void FailFile(const std::string &path)
{
    KernelState().failingFiles.insert(path);
}

void LinkFile(const std::string &path, const std::string &target)
{
    KernelState().links[path] = target;
}

void HardLinkFile(const std::string &path)
{
    KernelState().hardLinked.insert(path);
}

const std::vector<std::string> &ReportedEvents()
{
    return KernelState().events;
}

void RefuseEvents(DWORD error)
{
    KernelState().eventError = error;
}

const std::string &DllDirectory()
{
    return KernelState().dllDirectory;
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
    return (int)(KernelState().openFiles.size() + KernelState().localMemory.size());
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

static const char MUTEX[] = "mutex:";

// The descriptor stands for its text, which CreateMutexA reads; only the
// owner and the whole are ever looked at here.
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                                 PSECURITY_DESCRIPTOR *security, PULONG)
{
    if (text == nullptr || revision != SDDL_REVISION_1)
        return FALSE;
    *security = new std::string(text);
    host::KernelState().localMemory.insert(*security);
    return TRUE;
}

HLOCAL WINAPI LocalFree(HLOCAL memory)
{
    if (host::KernelState().localMemory.erase(memory) == 0)
        return memory;
    delete static_cast<std::string *>(memory);
    return nullptr;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL, LPCSTR name)
{
    // Another process's mutex of the same name opens as the same object,
    // whatever security this call asks for.
    auto held = name != nullptr ? host::KernelState().heldMutexes.find(name) : host::KernelState().heldMutexes.end();
    if (held != host::KernelState().heldMutexes.end()) {
        if (held->second.refused) {
            host::SetLastErrorCode(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        host::SetLastErrorCode(ERROR_ALREADY_EXISTS);
        return host::NewHandle(MUTEX + held->second.owner);
    }
    // Without a descriptor the object is owned by the token's default owner,
    // which for an elevated administrator is Administrators (TOKEN_OWNER,
    // learn.microsoft.com/windows-hardware/drivers/ddi/ntifs/ns-ntifs-_token_owner,
    // and "How Security Descriptors are Set on New Directory Objects"); Wine
    // leaves it without any.
    std::string sddl = security && security->lpSecurityDescriptor
                           ? *static_cast<const std::string *>(security->lpSecurityDescriptor)
                           : std::string("(no descriptor)");
    host::KernelState().createdMutexes.push_back(std::string(name ? name : "") + " " + sddl);
    host::SetLastErrorCode(ERROR_SUCCESS);
    return host::NewHandle(MUTEX + (sddl.compare(0, 2, "O:") == 0 ? sddl.substr(2, 2) : std::string("BA")));
}

// The SIDs stand for their SDDL abbreviations.
static const char *const KNOWN_SIDS[] = { "BA", "SY", "BU" };

DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID *owner, PSID *,
                             PACL *, PACL *, PSECURITY_DESCRIPTOR *security)
{
    auto found = host::KernelState().openFiles.find(handle);
    if (found == host::KernelState().openFiles.end() || found->second.compare(0, sizeof MUTEX - 1, MUTEX) != 0
        || type != SE_KERNEL_OBJECT || wanted != OWNER_SECURITY_INFORMATION)
        return ERROR_INVALID_HANDLE;
    *owner = nullptr;
    for (const char *const &sid : KNOWN_SIDS) {
        if (found->second.substr(sizeof MUTEX - 1) == sid)
            *owner = const_cast<char **>(&sid);
    }
    ConvertStringSecurityDescriptorToSecurityDescriptorA(found->second.c_str(), SDDL_REVISION_1, security, nullptr);
    return ERROR_SUCCESS;
}

BOOL WINAPI IsWellKnownSid(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    const char *name = *static_cast<const char *const *>(sid);
    return std::string(name) == (type == WinBuiltinAdministratorsSid ? "BA" : type == WinLocalSystemSid ? "SY" : "");
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
    return found == host::KernelState().openFiles.end() || found->second.compare(0, sizeof MUTEX - 1, MUTEX) == 0
               ? nullptr
               : &found->second;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    const std::string *path = OpenFile(file);
    if (path == nullptr)
        return FALSE;
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->dwFileAttributes = host::KernelState().links.count(*path) ? FILE_ATTRIBUTE_REPARSE_POINT
                                                                           : FILE_ATTRIBUTE_NORMAL;
    information->nFileSizeLow = (DWORD)host::KernelState().files[*path].size();
    information->nNumberOfLinks = host::KernelState().hardLinked.count(*path) ? 2 : 1;
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
    // As long as a computer's name may be.
    static const char COMPUTER[] = "BUHGALTERIYA-07";
    if (*size < sizeof COMPUTER) {
        *size = sizeof COMPUTER;
        host::SetLastErrorCode(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(name, COMPUTER, sizeof COMPUTER);
    *size = sizeof COMPUTER - 1;
    return TRUE;
}

UINT WINAPI GetACP()
{
    return host::AnsiCodePage();
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
    // clang-format off
    static const struct { const char *token; WORD SYSTEMTIME::*field; int width; } fields[] = {
        { "yyyy", &SYSTEMTIME::wYear, 4 },  { "MM", &SYSTEMTIME::wMonth, 2 },  { "dd", &SYSTEMTIME::wDay, 2 },
        { "HH", &SYSTEMTIME::wHour, 2 },    { "mm", &SYSTEMTIME::wMinute, 2 }, { "ss", &SYSTEMTIME::wSecond, 2 },
    };
    // clang-format on
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

HANDLE WINAPI RegisterEventSourceA(LPCSTR, LPCSTR source)
{
    host::SetLastErrorCode(host::KernelState().eventError);
    return host::KernelState().eventError != 0 ? nullptr : host::NewHandle(source);
}

BOOL WINAPI ReportEventW(HANDLE source, WORD type, WORD, DWORD id, PSID, WORD count, DWORD, const WCHAR **strings,
                         LPVOID)
{
    char text[0x10000] = "";
    WideCharToMultiByte(CP_UTF8, 0, count == 1 ? strings[0] : u"", -1, text, (int)sizeof text, nullptr, nullptr);
    host::KernelState().events.push_back(host::KernelState().openFiles.at(source) + " " + std::to_string(type) + " "
                                         + std::to_string(id) + "\n" + text);
    return TRUE;
}

BOOL WINAPI DeregisterEventSource(HANDLE source)
{
    return host::CloseKernelHandle(source);
}

BOOL WINAPI SetDllDirectoryA(LPCSTR pathName)
{
    host::KernelState().dllDirectory = pathName != nullptr ? pathName : "(null)";
    return TRUE;
}
