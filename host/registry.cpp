// The in-memory registry of the host layer, with the platform's rules for the
// calls the installer makes: case-insensitive names, sorted enumeration,
// creation of missing parents, no deletion of keys with subkeys, and
// ERROR_MORE_DATA without touching the caller's buffer.
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "host.h"
#include "text.h"

namespace host {
namespace {

struct Key {
    std::string name;
    Key *parent = nullptr;
    std::map<std::string, std::shared_ptr<Key>, NoCaseLess> children;
    std::map<std::string, Value, NoCaseLess> values;
    bool readOnly = false;
    bool deleted = false;
    unsigned generation = 0;  // changes whenever a subkey comes or goes
};

struct Fault {
    std::string function;
    std::string match;
    LONG error;
    int times;
};

struct Handle {
    std::shared_ptr<Key> key;
    REGSAM access;  // samDesired of the open or create that gave it
};

struct Registry {
    std::shared_ptr<Key> root = std::make_shared<Key>();
    std::map<HKEY, Handle> handles;
    uintptr_t nextHandle = 0x1000;
    std::vector<RegCall> calls;
    std::map<int, LONG> failAt;
    std::vector<Fault> faults;
    // Where the last enumeration stood, so a walk by index is linear.
    std::shared_ptr<Key> enumKey;  // held, so its address cannot be reused
    unsigned enumGeneration = 0;
    DWORD enumIndex = 0;
    std::map<std::string, std::shared_ptr<Key>, NoCaseLess>::iterator enumAt;
};

Registry &State()
{
    static Registry registry;
    return registry;
}

std::string FullPath(const Key *key)
{
    std::string path;
    for (; key != nullptr && key->parent != nullptr; key = key->parent)
        path = path.empty() ? key->name : key->name + "\\" + path;
    return path;
}

// Splits a path into names: empty names between doubled separators and a
// trailing separator are passed over; a leading separator is refused.
bool SplitPath(const char *path, std::vector<std::string> &names)
{
    names.clear();
    if (path == nullptr)
        return true;
    if (path[0] == '\\')
        return false;
    std::string name;
    for (const char *p = path;; p++) {
        if (*p == '\\' || *p == '\0') {
            if (!name.empty())
                names.push_back(name);
            name.clear();
            if (*p == '\0')
                break;
        } else {
            name += *p;
        }
    }
    return true;
}

std::shared_ptr<Key> Child(const std::shared_ptr<Key> &key, const std::string &name)
{
    auto found = key->children.find(name);
    return found == key->children.end() ? nullptr : found->second;
}

std::shared_ptr<Key> Find(std::shared_ptr<Key> key, const std::vector<std::string> &names)
{
    for (const std::string &name : names) {
        if (!key)
            break;
        key = Child(key, name);
    }
    return key;
}

std::shared_ptr<Key> FindPath(const std::string &path)
{
    std::vector<std::string> names;
    return SplitPath(path.c_str(), names) ? Find(State().root, names) : nullptr;
}

std::shared_ptr<Key> FromHandle(HKEY handle)
{
    if (handle == HKEY_LOCAL_MACHINE)
        return State().root;
    auto found = State().handles.find(handle);
    return found == State().handles.end() ? nullptr : found->second.key;
}

// The key behind a handle, or the error the platform gives for the handle.
LONG Resolve(HKEY handle, std::shared_ptr<Key> &key)
{
    key = FromHandle(handle);
    if (!key)
        return ERROR_INVALID_HANDLE;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// The open key and the names of a path below it, or the platform's error.
LONG ResolvePath(HKEY handle, const char *path, std::shared_ptr<Key> &key, std::vector<std::string> &names)
{
    if (LONG error = Resolve(handle, key))
        return error;
    return SplitPath(path, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

HKEY NewHandle(const std::shared_ptr<Key> &key, REGSAM access)
{
    Registry &registry = State();
    HKEY handle = reinterpret_cast<HKEY>(registry.nextHandle);
    registry.nextHandle += 4;
    registry.handles[handle] = Handle{ key, access };
    return handle;
}

// A handle serves only the rights it was opened with, HKEY_LOCAL_MACHINE itself
// all: "The key must have been opened with the KEY_QUERY_VALUE access right",
// KEY_ENUMERATE_SUB_KEYS, KEY_SET_VALUE (learn.microsoft.com/windows/win32/api/
// winreg/nf-winreg-regqueryvalueexa, -regenumkeyexa, -regsetvalueexa). Creating
// and deleting a key ask the key's security descriptor, not the handle's rights.
bool Granted(HKEY handle, REGSAM rights)
{
    auto found = State().handles.find(handle);
    return found == State().handles.end() || (found->second.access & rights) == rights;
}

bool WantsWrite(REGSAM desired)
{
    // KEY_SET_VALUE, KEY_CREATE_SUB_KEY, DELETE, WRITE_DAC, WRITE_OWNER
    return (desired & (0x0002 | 0x0004 | 0x00010000 | 0x00040000 | 0x00080000)) != 0;
}

// Records a call and decides whether an injected fault replaces it.
struct CallScope {
    RegCall call;
    bool faulted = false;

    CallScope(const char *function, const std::string &path, const std::string &name, DWORD size, DWORD access)
    {
        Registry &registry = State();
        call = RegCall{ function, path, name, size, access, ERROR_SUCCESS };
        int index = (int)registry.calls.size();
        auto at = registry.failAt.find(index);
        if (at != registry.failAt.end()) {
            call.result = at->second;
            faulted = true;
            return;
        }
        bool byName = call.function == "RegEnumKeyExA" || call.function == "RegQueryValueExA"
                      || call.function == "RegSetValueExA";
        const std::string &subject = byName ? name : path;
        for (Fault &fault : registry.faults) {
            if (fault.times != 0 && fault.function == function && subject.find(fault.match) != std::string::npos) {
                if (fault.times > 0)
                    fault.times--;
                call.result = fault.error;
                faulted = true;
                return;
            }
        }
    }

    LONG Done(LONG result)
    {
        if (!faulted)
            call.result = result;
        State().calls.push_back(call);
        return call.result;
    }
};

std::string Describe(HKEY parent, const char *subKey)
{
    std::shared_ptr<Key> key = FromHandle(parent);
    std::string path = key ? FullPath(key.get()) : "?";
    if (subKey != nullptr && subKey[0] != '\0')
        path = path.empty() ? subKey : path + "\\" + subKey;
    return path;
}

}  // namespace

void ResetUi();
void ResetKernel();
void ResetInstaller();

void Reset()
{
    State() = Registry();
    ResetUi();
    ResetKernel();
    ResetInstaller();
}

std::shared_ptr<Key> CreateAlong(std::shared_ptr<Key> key, const std::vector<std::string> &names)
{
    for (const std::string &name : names) {
        std::shared_ptr<Key> child = Child(key, name);
        if (!child) {
            child = std::make_shared<Key>();
            child->name = name;
            child->parent = key.get();
            key->children[name] = child;
            key->generation++;
        }
        key = child;
    }
    return key;
}

void CreateKey(const std::string &path)
{
    std::vector<std::string> names;
    if (SplitPath(path.c_str(), names))
        CreateAlong(State().root, names);
}

void SetValue(const std::string &path, const std::string &name, DWORD type, const std::string &data)
{
    CreateKey(path);
    FindPath(path)->values[name] = Value{ type, data };
}

static void MarkDeleted(Key &key)
{
    key.deleted = true;
    for (auto &child : key.children)
        MarkDeleted(*child.second);
}

void DeleteTree(const std::string &path)
{
    std::shared_ptr<Key> key = FindPath(path);
    if (!key || !key->parent)
        return;
    MarkDeleted(*key);
    key->parent->children.erase(key->name);
    key->parent->generation++;
}

bool KeyExists(const std::string &path)
{
    return FindPath(path) != nullptr;
}

std::optional<Value> GetValue(const std::string &path, const std::string &name)
{
    std::shared_ptr<Key> key = FindPath(path);
    if (!key)
        return std::nullopt;
    auto found = key->values.find(name);
    if (found == key->values.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> Subkeys(const std::string &path)
{
    std::vector<std::string> names;
    if (std::shared_ptr<Key> key = FindPath(path))
        for (auto &child : key->children)
            names.push_back(child.second->name);
    return names;
}

std::vector<std::string> ValueNames(const std::string &path)
{
    std::vector<std::string> names;
    if (std::shared_ptr<Key> key = FindPath(path))
        for (auto &value : key->values)
            names.push_back(value.first);
    return names;
}

void SetReadOnly(const std::string &path, bool readOnly)
{
    CreateKey(path);
    FindPath(path)->readOnly = readOnly;
}

static void DumpKey(const Key &key, std::ostringstream &out)
{
    out << "[" << FullPath(&key) << "]\n";
    for (auto &value : key.values) {
        out << "  \"" << value.first << "\" type " << value.second.type << " size " << value.second.data.size() << ":";
        for (unsigned char c : value.second.data) {
            static const char digits[] = "0123456789abcdef";
            out << ' ' << digits[c >> 4] << digits[c & 15];
        }
        out << "\n";
    }
    for (auto &child : key.children)
        DumpKey(*child.second, out);
}

std::string Dump()
{
    std::ostringstream out;
    DumpKey(*State().root, out);
    return out.str();
}

int OpenTokens();
int OpenKernelHandles();

int OpenHandles()
{
    return (int)State().handles.size() + OpenTokens() + OpenKernelHandles() + OpenInstallerHandles();
}

const std::vector<RegCall> &RegCalls()
{
    return State().calls;
}

int CountCalls(const std::string &function)
{
    int count = 0;
    for (const RegCall &call : State().calls)
        count += call.function == function;
    return count;
}

void FailCallAt(int index, LONG error)
{
    State().failAt[index] = error;
}

void FailCalls(const std::string &function, const std::string &match, LONG error, int times)
{
    State().faults.push_back(Fault{ function, match, error, times });
}

}  // namespace host

using host::CallScope;

LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result)
{
    (void)options;
    CallScope scope("RegOpenKeyExA", host::Describe(parent, subKey), "", 0, desired);
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key;
    std::vector<std::string> names;
    if (LONG error = host::ResolvePath(parent, subKey, key, names))
        return scope.Done(error);
    key = host::Find(key, names);
    if (!key)
        return scope.Done(ERROR_FILE_NOT_FOUND);
    if (key->readOnly && host::WantsWrite(desired))
        return scope.Done(ERROR_ACCESS_DENIED);
    *result = host::NewHandle(key, desired);
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                            LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    (void)reserved, (void)className, (void)security;
    CallScope scope("RegCreateKeyExA", host::Describe(parent, subKey), "", 0, desired);
    scope.call.options = options;
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key;
    std::vector<std::string> names;
    if (LONG error = host::ResolvePath(parent, subKey, key, names))
        return scope.Done(error);
    // Check the whole path before creating anything, so a refusal has no effect.
    std::shared_ptr<host::Key> walk = key;
    bool creates = false;
    for (const std::string &name : names) {
        if (name.size() > 255)
            return scope.Done(ERROR_INVALID_PARAMETER);
        std::shared_ptr<host::Key> child = walk ? host::Child(walk, name) : nullptr;
        if (walk && !child && walk->readOnly)
            return scope.Done(ERROR_ACCESS_DENIED);
        creates |= !child;
        walk = child;
    }
    if (walk && walk->readOnly && host::WantsWrite(desired))
        return scope.Done(ERROR_ACCESS_DENIED);
    key = host::CreateAlong(key, names);
    *result = host::NewHandle(key, desired);
    if (disposition != nullptr)
        *disposition = creates ? 1 /* REG_CREATED_NEW_KEY */ : 2 /* REG_OPENED_EXISTING_KEY */;
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegEnumKeyExA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
                          LPDWORD classLength, PFILETIME lastWriteTime)
{
    (void)reserved, (void)className, (void)classLength, (void)lastWriteTime;
    CallScope scope("RegEnumKeyExA", host::Describe(handle, nullptr), std::to_string(index), *nameLength, 0);
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key;
    if (LONG error = host::Resolve(handle, key))
        return scope.Done(error);
    if (!host::Granted(handle, KEY_ENUMERATE_SUB_KEYS))
        return scope.Done(ERROR_ACCESS_DENIED);
    if (index >= key->children.size())
        return scope.Done(ERROR_NO_MORE_ITEMS);
    host::Registry &registry = host::State();
    auto child = key->children.begin();
    if (registry.enumKey == key && registry.enumGeneration == key->generation && index > 0
        && registry.enumIndex == index - 1)
        child = std::next(registry.enumAt);
    else
        std::advance(child, index);
    registry.enumKey = key;
    registry.enumGeneration = key->generation;
    registry.enumIndex = index;
    registry.enumAt = child;
    const std::string &childName = child->second->name;
    // Neither the name nor its length is written when the name does not fit.
    if (childName.size() >= *nameLength)
        return scope.Done(ERROR_MORE_DATA);
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameLength = (DWORD)childName.size();
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize)
{
    (void)reserved;
    CallScope scope("RegQueryValueExA", host::Describe(handle, nullptr), valueName ? valueName : "",
                    dataSize ? *dataSize : 0, 0);
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key;
    if (LONG error = host::Resolve(handle, key))
        return scope.Done(error);
    if (!host::Granted(handle, KEY_QUERY_VALUE))
        return scope.Done(ERROR_ACCESS_DENIED);
    if (data != nullptr && dataSize == nullptr)
        return scope.Done(ERROR_INVALID_PARAMETER);
    auto found = key->values.find(valueName ? valueName : "");
    if (found == key->values.end())
        return scope.Done(ERROR_FILE_NOT_FOUND);
    const host::Value &value = found->second;
    if (type != nullptr)
        *type = value.type;
    if (dataSize == nullptr)
        return scope.Done(ERROR_SUCCESS);
    DWORD capacity = *dataSize;
    *dataSize = (DWORD)value.data.size();
    if (data == nullptr)
        return scope.Done(ERROR_SUCCESS);
    // The buffer is left as it was when the data does not fit.
    if (value.data.size() > capacity)
        return scope.Done(ERROR_MORE_DATA);
    std::memcpy(data, value.data.data(), value.data.size());
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD dataSize)
{
    (void)reserved;
    CallScope scope("RegSetValueExA", host::Describe(handle, nullptr), valueName ? valueName : "", dataSize, 0);
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key = host::FromHandle(handle);
    if (!key || handle == HKEY_LOCAL_MACHINE)
        return scope.Done(ERROR_INVALID_HANDLE);
    if (key->deleted)
        return scope.Done(ERROR_KEY_DELETED);
    if (key->readOnly || !host::Granted(handle, KEY_SET_VALUE))
        return scope.Done(ERROR_ACCESS_DENIED);
    DWORD stored = dataSize;
    // Like NT, a string whose size leaves out its NUL gets it back when the
    // byte after the data is one.
    if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && dataSize > 0 && data[dataSize - 1] != 0
        && data[dataSize] == 0)
        stored++;
    key->values[valueName ? valueName : ""] = host::Value{ type, std::string((const char *)data, stored) };
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegDeleteKeyA(HKEY parent, LPCSTR subKey)
{
    CallScope scope("RegDeleteKeyA", host::Describe(parent, subKey), subKey ? subKey : "", 0, 0);
    if (scope.faulted)
        return scope.Done(0);
    std::shared_ptr<host::Key> key;
    std::vector<std::string> names;
    if (subKey == nullptr)
        return scope.Done(ERROR_INVALID_PARAMETER);
    if (LONG error = host::ResolvePath(parent, subKey, key, names))
        return scope.Done(error);
    // An empty name deletes the key itself, as the platform does.
    key = host::Find(key, names);
    if (!key)
        return scope.Done(ERROR_FILE_NOT_FOUND);
    if (key->parent == nullptr || key->readOnly || !key->children.empty())
        return scope.Done(ERROR_ACCESS_DENIED);
    key->deleted = true;
    key->parent->children.erase(key->name);
    key->parent->generation++;
    return scope.Done(ERROR_SUCCESS);
}

LONG WINAPI RegCloseKey(HKEY handle)
{
    CallScope scope("RegCloseKey", host::Describe(handle, nullptr), "", 0, 0);
    if (scope.faulted)
        return scope.Done(0);
    if (handle == HKEY_LOCAL_MACHINE)
        return scope.Done(ERROR_SUCCESS);
    if (host::State().handles.erase(handle) == 0)
        return scope.Done(ERROR_INVALID_HANDLE);
    return scope.Done(ERROR_SUCCESS);
}
