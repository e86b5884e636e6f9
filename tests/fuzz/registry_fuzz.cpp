// Hostile registry contents against the registry operations and the installer:
// printer lists with any names and driver values, patch records of any type
// and size, extra keys under the maker key, and a failing enumeration. Aborts
// when an operation leaves a key open, returns a name the registry does not
// hold, reads past the returned data, or deletes a key it does not own.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dialogs.h"
#include "host.h"
#include "registry/registry_ops.h"
#include "res/keys.h"
#include "res/resource.h"
#include "res/strings.h"
#include "text.h"

namespace {

#define CHECK(condition)                                                                       \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

const std::string PRINTERS = PRINTER_LIST_KEY;
const std::string MAKER = MAKER_KEY;

// Reads the input front to back; past its end every read gives zeros.
struct Input {
    const uint8_t *data;
    size_t size;
    uint8_t Byte() { return size > 0 ? (size--, *data++) : 0; }
    std::string Text(size_t limit)
    {
        size_t length = (Byte() | (size_t)Byte() << 8) % (limit + 1);
        if (length > size)
            length = size;
        std::string text((const char *)data, length);
        data += length, size -= length;
        return text;
    }
};

// A name as the registry would take it for a key path: up to its first NUL,
// split at backslashes into keys of at most 255 characters; "" when refused.
std::string AsKeyPath(std::string name)
{
    name = name.c_str();
    size_t run = 0;
    for (char c : name) {
        run = c == '\\' ? 0 : run + 1;
        if (run > 255)
            return "";
    }
    return name.find_first_not_of('\\') == std::string::npos ? "" : name;
}

bool IsOneKeyName(const std::string &name)
{
    return !name.empty() && name.size() <= 255 && name.find('\\') == std::string::npos;
}

void CollectKeys(const std::string &path, std::set<std::string> &keys)
{
    keys.insert(path);
    for (const std::string &child : host::Subkeys(path))
        CollectKeys(path.empty() ? child : path + "\\" + child, keys);
}

std::set<std::string> AllKeys()
{
    std::set<std::string> keys;
    CollectKeys("", keys);
    return keys;
}

bool Within(const std::string &key, const std::string &top)
{
    return key.size() >= top.size() && host::CompareNoCase(key.substr(0, top.size()), top) == 0
           && (key.size() == top.size() || key[top.size()] == '\\');
}

// What a load of the patch record must give: the stored bytes up to the first
// NUL, nothing beyond them; false when there is no value or it is too long.
bool RecordedName(std::string *name)
{
    auto value = host::GetValue(PATCH_RECORD_KEY, PATCH_RECORD_VALUE);
    if (!value || value->data.size() > 255)
        return false;
    *name = value->data.substr(0, value->data.find('\0'));
    return true;
}

// Keys that went missing since `before` may only be the patch record and the
// recorded printer's own keys under the maker key; the maker key stays.
void CheckDeletions(const std::set<std::string> &before, bool recorded, const std::string &name)
{
    for (const std::string &key : before) {
        if (host::KeyExists(key) || Within(key, PATCH_RECORD_KEY))
            continue;
        if (!(recorded && IsOneKeyName(name) && Within(key, MAKER + "\\" + name))) {
            std::fprintf(stderr, "deleted without cause: %s (record \"%s\")\n", key.c_str(), name.c_str());
            std::abort();
        }
    }
    CHECK(!before.count(MAKER) || host::KeyExists(MAKER));
}

// The printer discovery must give: the first printer in enumeration order
// whose index enumerated and whose driver text, read over the sentinel and
// ending within the bytes written, is supported.
std::string ExpectedPrinter()
{
    std::vector<std::string> printers = host::Subkeys(PRINTERS);
    for (size_t i = 0; i < printers.size(); i++) {
        LONG result = -1;
        for (const host::RegCall &call : host::RegCalls())
            if (call.function == "RegEnumKeyExA" && call.name == std::to_string(i))
                result = call.result;
        if (result == ERROR_NO_MORE_ITEMS || result == -1)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        auto value = host::GetValue(PRINTERS + "\\" + printers[i], PRINTER_DRIVER_VALUE);
        if (!value || value->data.size() > 255)
            continue;
        std::string written = value->data;
        if (written.size() < sizeof DRIVER_SENTINEL)
            written += std::string(DRIVER_SENTINEL, sizeof DRIVER_SENTINEL).substr(written.size());
        if (written.find('\0') == std::string::npos)
            continue;
        for (const char *supported : SupportedDriverNames)
            if (host::CompareNoCase(written.c_str(), supported) == 0)
                return printers[i];
    }
    return "";
}

void Seed(Input &in)
{
    static const LONG ENUM_ERRORS[] = { ERROR_ACCESS_DENIED, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS,
                                        ERROR_FILE_NOT_FOUND };
    std::vector<std::string> names;
    for (int n = in.Byte() % 8; n > 0; n--) {
        std::string name = AsKeyPath(in.Text(300));
        uint8_t mode = in.Byte();
        std::string driver;
        DWORD type = REG_SZ;
        if (mode % 4 == 1 || mode % 4 == 3) {
            driver = SupportedDriverNames[in.Byte() % 7];
            if (mode & 0x10)  // the same letters in another case
                for (char &c : driver)
                    c = (char)(c ^ (std::isalpha((unsigned char)c) ? 0x20 : 0));
            if (mode % 4 == 3)
                driver += in.Text(300);
            if (mode & 0x20)
                driver += '\0';
        } else if (mode % 4 == 2) {
            type = in.Byte();
            driver = in.Text(300);
        }
        if (name.empty())
            continue;
        names.push_back(name);
        if (mode % 4 == 0)
            host::CreateKey(PRINTERS + "\\" + name);
        else
            host::SetValue(PRINTERS + "\\" + name, PRINTER_DRIVER_VALUE, type, driver);
    }

    // The patch record: absent, without its value, any bytes, or a printer's name.
    uint8_t record = in.Byte();
    std::string text;
    if (record % 4 == 1)
        host::CreateKey(PATCH_RECORD_KEY);
    if (record % 4 == 2 || record % 4 == 3) {
        DWORD type = in.Byte();
        text = record % 4 == 3 && !names.empty() ? names[in.Byte() % names.size()] : in.Text(300);
        host::SetValue(PATCH_RECORD_KEY, PATCH_RECORD_VALUE, record & 0x10 ? type : REG_SZ, text);
    }
    // The monitor's keys for the recorded text, with or without keys of others beside them.
    std::string recordedPath = AsKeyPath(text);
    if ((record & 0x20) && !recordedPath.empty()) {
        host::SetValue(MAKER + "\\" + recordedPath + "\\QUARVEN\\0.0", TONER_LOW_VALUE, REG_DWORD,
                       std::string("\1\0\0\0", 4));
        if (record & 0x40)
            host::CreateKey(MAKER + "\\" + recordedPath + "\\QUARVEN\\1.0");
        if (record & 0x80)
            host::CreateKey(MAKER + "\\" + recordedPath + "\\Other");
    }
    for (int n = in.Byte() % 4; n > 0; n--) {
        std::string path = AsKeyPath(in.Text(300));
        if (!path.empty())
            host::CreateKey(MAKER + "\\" + path);
    }

    uint8_t fault = in.Byte();
    if (fault & 1)
        host::FailCalls("RegEnumKeyExA", std::to_string(in.Byte() % 10), ENUM_ERRORS[(fault >> 1) % 4],
                        (fault >> 3) % 3 - 1);
}

void RunOperations(Input &in)
{
    // Filled so that a write where none belongs shows.
    char found[PRINTER_NAME_SIZE];
    std::memset(found, 0x5A, sizeof found);
    int hasPrinter = FindSupportedPrinter(found);
    CHECK(host::OpenHandles() == 0);
    std::string expected = ExpectedPrinter();
    CHECK(hasPrinter == !expected.empty());
    if (hasPrinter)
        CHECK(std::memchr(found, '\0', sizeof found) != nullptr && found == expected);
    else
        CHECK(found[0] == 0x5A && found[PRINTER_NAME_SIZE - 1] == 0x5A);

    // Loading gives exactly the stored text and nothing past it.
    std::string recorded;
    bool loadable = RecordedName(&recorded);
    char loaded[PRINTER_NAME_SIZE];
    std::memset(loaded, 0x5A, sizeof loaded);
    CHECK(PatchRecord(PATCH_LOAD, loaded) == (loadable && host::KeyExists(PATCH_RECORD_KEY)));
    CHECK(host::OpenHandles() == 0);
    if (loadable)
        CHECK(recorded == std::string(loaded, strnlen(loaded, sizeof loaded)));
    else
        CHECK(loaded[0] == 0x5A);

    // Removal deletes only what belongs to the recorded printer.
    std::set<std::string> before = AllKeys();
    bool hadRecord = host::KeyExists(PATCH_RECORD_KEY);
    int removed = RemoveTonerLowSetting();
    CHECK(host::OpenHandles() == 0);
    CheckDeletions(before, loadable, recorded);
    if (removed)
        CHECK(!host::KeyExists(MAKER + "\\" + recorded + "\\QUARVEN\\0.0") && !host::KeyExists(PATCH_RECORD_KEY));
    else
        CHECK(host::KeyExists(PATCH_RECORD_KEY) == hadRecord);
    // The record never goes while the settings key it stands for is still there.
    CHECK(!hadRecord || host::KeyExists(PATCH_RECORD_KEY) || !loadable
          || !host::KeyExists(MAKER + "\\" + recorded + "\\QUARVEN\\0.0"));

    // A setting written for the printer found, or for any name at all.
    std::string other = in.Text(300);
    const bool onFound = in.Byte() & 1;
    const char *target = hasPrinter && onFound ? found : other.c_str();
    before = AllKeys();
    if (ApplyTonerLowSetting(target)) {
        auto value = host::GetValue(MAKER + "\\" + target + "\\QUARVEN\\0.0", TONER_LOW_VALUE);
        CHECK(IsOneKeyName(target) && value && value->type == REG_DWORD);
        CHECK(PatchRecord(PATCH_STORE, (char *)target) == 1);
        // Windows stores a NUL after a string the size leaves it out of, so
        // only names of up to 254 characters, all a printer can have, load back.
        if (std::strlen(target) < 255)
            CHECK(PatchRecord(PATCH_LOAD, loaded) == 1 && std::strcmp(loaded, target) == 0);
    }
    CHECK(host::OpenHandles() == 0);
    CheckDeletions(before, false, "");
}

void RunInstaller(Input &in)
{
    uint8_t choices = in.Byte();
    for (int i = 0; i < 3; i++)
        host::QueueDialog([choices, i](host::Dialog &d) {
            if (choices & (1 << i))
                d.PressEscape();
            else
                d.PressEnter();
        });
    host::QueueMessageBoxAnswer(choices & 8 ? IDCANCEL : IDOK);
    std::string recorded;
    bool loadable = RecordedName(&recorded) && host::KeyExists(PATCH_RECORD_KEY);
    std::set<std::string> before = AllKeys();
    size_t boxes = host::MessageBoxes().size();

    CHECK(WinMain(host::Instance(), nullptr, (LPSTR) "", 1) == 0);
    CHECK(host::OpenHandles() == 0 && host::UnscriptedDialogs() == 0);
    CheckDeletions(before, loadable, recorded);
    int errors = 0;
    for (size_t i = boxes; i < host::MessageBoxes().size(); i++) {
        const host::MessageBoxRecord &box = host::MessageBoxes()[i];
        CHECK(box.caption == APP_TITLE && !box.hasOwner);
        errors += box.style == MB_ICONERROR;
    }
    CHECK(errors <= 1);
}

// Any bytes as the command line, repeated up to some 40,000 characters: the
// words fit their buffers or the line is not understood (1639), and an
// unattended run ends with one of its exit codes and shows no window.
void RunCommandLine(Input &in)
{
    std::string line;
    const std::string piece = in.Text(600);
    const int repeats = 1 + in.Byte() % 64;
    for (int i = 0; i < repeats; i++)
        line += piece;
    line = line.c_str();

    RunOptions options;
    std::memset(&options, 0x5A, sizeof options);
    ReadCommandLine(line.c_str(), &options);
    CHECK(options.run >= RUN_DIALOGS && options.run <= RUN_BAD_COMMAND_LINE);
    CHECK(std::memchr(options.printer, '\0', sizeof options.printer) != nullptr);
    CHECK(std::memchr(options.log, '\0', sizeof options.log) != nullptr);
    if (options.run == RUN_DIALOGS)
        return;
    const size_t boxes = host::MessageBoxes().size();
    const int code = WinMain(host::Instance(), nullptr, &line[0], 1);
    CHECK(host::OpenHandles() == 0 && host::UnscriptedDialogs() == 0);
    CHECK(host::MessageBoxes().size() == boxes + (options.run == RUN_USAGE));
    CHECK(options.run != RUN_BAD_COMMAND_LINE || code == 1639);
    CHECK(code == 0 || code == 1639 || code == 1168 || code == 1603 || code == 1641 || code == 3010);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{ data, size };
    host::Reset();
    Seed(in);
    RunOperations(in);
    RunInstaller(in);
    RunCommandLine(in);
    host::Reset();
    return 0;
}
