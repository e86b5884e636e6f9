// Writing TonerLow = 1 for a printer and removing the recorded printer's
// monitor keys again: the keys left behind, the patch record and the messages.
#include <gtest/gtest.h>

#include <string>

#include "fixture.h"
#include "host.h"
#include "registry/registry_ops.h"

using namespace std::string_literals;

namespace {

const std::string MAKER = "SOFTWARE\\Merravin";
const std::string RECORD_KEY = fixture::RECORD;
const std::string RECORD_VALUE = "Printer Name";
const std::string TONER_LOW_ON = fixture::TONER_LOW_ON;
const char NO_PRODUCT_INFO[] = "Инсталлятор не обнаружил информации о продуктах в реестре";
const char UPDATE_FAILED[] = "Инсталлятор не смог обновить информацию о продукте в реестре";

const std::string PRINTER = "Office TX";  // the recorded printer of the removal tests

std::string PrinterKey(const std::string &printer = PRINTER) { return MAKER + "\\" + printer; }
std::string MonitorKey(const std::string &printer = PRINTER) { return PrinterKey(printer) + "\\QUARVEN"; }
std::string SettingsKey(const std::string &printer = PRINTER) { return MonitorKey(printer) + "\\0.0"; }

using TonerLowTest = HostTest;

TEST_F(TonerLowTest, ApplyCreatesTheWholeChain)
{
    ASSERT_EQ(1, ApplyTonerLowSetting("Office TX"));
    EXPECT_TRUE(fixture::TonerLowStands("Office TX"));
    EXPECT_EQ(std::vector<std::string>{ "TonerLow" }, host::ValueNames(SettingsKey("Office TX")));
    EXPECT_EQ(std::vector<std::string>{ "Office TX" }, host::Subkeys(MAKER));
    const host::RegCall &create = host::RegCalls().at(0), &set = host::RegCalls().at(1);
    EXPECT_EQ("RegCreateKeyExA", create.function);
    EXPECT_EQ(KEY_ALL_ACCESS, create.access);
    EXPECT_EQ("RegSetValueExA", set.function);
    EXPECT_EQ(4u, set.size);
    EXPECT_TRUE(host::MessageBoxes().empty());
}

TEST_F(TonerLowTest, ApplyReplacesTonerLowOfAnyKindAndLeavesOtherValues)
{
    for (const host::Value &old : { host::Value{ REG_SZ, "0\0"s }, host::Value{ REG_DWORD, "\0\0\0\0"s },
                                    host::Value{ REG_BINARY, "\x01\x02\x03\x04\x05\x06"s } }) {
        host::Reset();
        host::SetValue(SettingsKey("Lab"), "TonerLow", old.type, old.data);
        host::SetValue(SettingsKey("Lab"), "Interval", REG_DWORD, "\x3c\0\0\0"s);
        ASSERT_EQ(1, ApplyTonerLowSetting("Lab"));
        std::string once = host::Dump();
        ASSERT_EQ(1, ApplyTonerLowSetting("Lab"));
        EXPECT_EQ(once, host::Dump());
        EXPECT_TRUE(fixture::TonerLowStands("Lab"));
        EXPECT_EQ("\x3c\0\0\0"s, host::GetValue(SettingsKey("Lab"), "Interval")->data);
        EXPECT_EQ(0, host::OpenHandles());
    }
}

TEST_F(TonerLowTest, ApplyTakesNamesOfAnyKeyNameLength)
{
    for (int length : { 254, 255 }) {
        std::string name(length, '\xC9');
        ASSERT_EQ(1, ApplyTonerLowSetting(name.c_str())) << length;
        EXPECT_TRUE(fixture::TonerLowStands(name));
    }
}

struct ApplyFailure {
    const char *label;
    std::string name;
    void (*setup)();
    const char *text;
    bool settingsKeyAfter;
};

void PrintTo(const ApplyFailure &c, std::ostream *os) { *os << c.label; }

class TonerLowApplyFailure : public TonerLowTest, public ::testing::WithParamInterface<ApplyFailure> {};

TEST_P(TonerLowApplyFailure, ShowsItsMessageAndWritesNothing)
{
    const ApplyFailure &c = GetParam();
    c.setup();
    EXPECT_EQ(0, ApplyTonerLowSetting(c.name.c_str()));
    ASSERT_EQ(1u, host::MessageBoxes().size());
    fixture::ExpectBox(0, c.text, MB_ICONERROR);
    EXPECT_EQ(c.settingsKeyAfter, host::KeyExists(SettingsKey(c.name)));
    EXPECT_FALSE(host::GetValue(SettingsKey(c.name), "TonerLow"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, TonerLowApplyFailure,
    ::testing::Values(
        ApplyFailure{ "maker key read-only", "Lab", [] { host::SetReadOnly(MAKER); }, NO_PRODUCT_INFO, false },
        ApplyFailure{ "settings key read-only", "Lab", [] { host::SetReadOnly(SettingsKey("Lab")); }, NO_PRODUCT_INFO,
                      true },
        ApplyFailure{ "create fails", "Lab", [] { host::FailCalls("RegCreateKeyExA", "", ERROR_OUTOFMEMORY); },
                      NO_PRODUCT_INFO, false },
        ApplyFailure{ "empty name", "", [] {}, NO_PRODUCT_INFO, false },
        ApplyFailure{ "name longer than a key name", std::string(256, 'x'), [] {}, NO_PRODUCT_INFO, false },
        ApplyFailure{ "set fails", "Lab", [] { host::FailCalls("RegSetValueExA", "TonerLow", ERROR_ACCESS_DENIED); },
                      UPDATE_FAILED, true }));

// The switched-off state of PRINTER, which is no longer in the printer list;
// the settings key holds a value of the monitor's own as well.
void SeedSwitchedOff()
{
    host::SetValue(SettingsKey(), "TonerLow", REG_DWORD, TONER_LOW_ON);
    host::SetValue(SettingsKey(), "Density", REG_DWORD, "\x05\0\0\0"s);
    host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, PRINTER);
    fixture::AddPrinter("Lab", "TX 414");
}

// The successful deletions in order: S settings key, Q monitor key, P maker
// printer key, R patch record, ? anything else.
std::string Deletions()
{
    std::string letters;
    for (const host::RegCall &call : host::RegCalls()) {
        if (call.function == "RegDeleteKeyA" && call.result == ERROR_SUCCESS)
            letters += call.path == SettingsKey()  ? 'S'
                       : call.path == MonitorKey() ? 'Q'
                       : call.path == PrinterKey() ? 'P'
                       : call.path == RECORD_KEY   ? 'R'
                                                   : '?';
    }
    return letters;
}

// M maker key, P maker printer key, Q monitor key, S settings key.
std::string KeysLeft()
{
    std::string letters;
    for (auto [letter, key] :
         { std::pair{ 'M', MAKER }, { 'P', PrinterKey() }, { 'Q', MonitorKey() }, { 'S', SettingsKey() } })
        letters += host::KeyExists(key) ? std::string(1, letter) : "";
    return letters;
}

struct RemoveCase {
    const char *label;
    void (*setup)();
    int result;
    const char *deleted;
    const char *left;
    bool recordLeft;
};

void PrintTo(const RemoveCase &c, std::ostream *os) { *os << c.label; }

class TonerLowRemove : public TonerLowTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(TonerLowRemove, EndsWithoutTheSettingsKeyOrKeepsTheRecord)
{
    const RemoveCase &c = GetParam();
    SeedSwitchedOff();
    c.setup();
    auto record = host::GetValue(RECORD_KEY, RECORD_VALUE);
    EXPECT_EQ(c.result, RemoveTonerLowSetting());
    EXPECT_EQ(c.deleted, Deletions());
    EXPECT_EQ(c.left, KeysLeft());
    ASSERT_EQ(c.recordLeft, host::KeyExists(RECORD_KEY));
    EXPECT_TRUE(host::MessageBoxes().empty());
    if (c.recordLeft) {
        if (record) {
            EXPECT_EQ(record->data, host::GetValue(RECORD_KEY, RECORD_VALUE)->data);
        }
        // A later run meets the same state and comes to the same end.
        std::string before = host::Dump();
        EXPECT_EQ(c.result, RemoveTonerLowSetting());
        EXPECT_EQ(before, host::Dump());
    }
}

// Letters as in Deletions and KeysLeft. Once the settings key is gone, by this
// removal or before it, the switch-on stands; the keys above it go only where
// the platform allows.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Outcomes, TonerLowRemove,
    ::testing::Values(
        RemoveCase{ "no record", [] { host::DeleteTree(RECORD_KEY); }, 0, "", "MPQS", false },
        RemoveCase{ "record key without its value", [] {
                        host::DeleteTree(RECORD_KEY);
                        host::CreateKey(RECORD_KEY);
                    }, 0, "",
                    "MPQS", true },
        RemoveCase{ "no maker printer key", [] { host::DeleteTree(PrinterKey()); }, 1, "R", "M", false },
        RemoveCase{ "maker printer key without QUARVEN", [] { host::DeleteTree(MonitorKey()); }, 1, "PR", "M",
                    false },
        RemoveCase{ "QUARVEN without 0.0", [] { host::DeleteTree(SettingsKey()); }, 1, "QPR", "M", false },
        RemoveCase{ "QUARVEN with 0.0 and another subkey", [] { host::CreateKey(MonitorKey() + "\\0.1"); }, 1,
                    "SR", "MPQ", false },
        RemoveCase{ "maker printer key with another subkey beside QUARVEN",
                    [] { host::CreateKey(PrinterKey() + "\\Tray"); }, 1, "SQR", "MP", false },
        RemoveCase{ "0.0 that cannot be deleted", [] { host::CreateKey(SettingsKey() + "\\1"); }, 0, "", "MPQS",
                    true },
        RemoveCase{ "monitor key does not open", [] { host::SetReadOnly(MonitorKey()); }, 0, "", "MPQS", true },
        RemoveCase{ "printer key does not open", [] { host::SetReadOnly(PrinterKey()); }, 1, "SR", "MPQ", false },
        RemoveCase{ "maker key does not open", [] { host::SetReadOnly(MAKER); }, 1, "SQR", "MP", false },
        RemoveCase{ "whole chain, maker key left empty", [] {}, 1, "SQPR", "M", false },
        RemoveCase{ "record delete fails", [] { host::FailCalls("RegDeleteKeyA", RECORD_KEY, ERROR_ACCESS_DENIED); },
                    1, "SQP", "M", true },
        // RegDeleteKeyA(key, "") deletes the key itself: an empty name would
        // walk onto the maker's own QUARVEN key and then the maker key.
        RemoveCase{ "record holds an empty name",
                    [] {
                        host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, "");
                        host::CreateKey(MAKER + "\\QUARVEN\\0.0");
                    },
                    0, "", "MPQS", true },
        RemoveCase{ "record holds a path",
                    [] {
                        host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, "Net\\Lab");
                        host::CreateKey(SettingsKey("Net\\Lab"));
                    },
                    0, "", "MPQS", true }));
// clang-format on

TEST_F(TonerLowTest, RemoveTakesARecordOf255Characters)
{
    const std::string name(255, '\xC9');
    host::SetValue(SettingsKey(name), "TonerLow", REG_DWORD, TONER_LOW_ON);
    host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, name);
    ASSERT_EQ(1, RemoveTonerLowSetting());
    EXPECT_EQ(std::vector<std::string>{}, host::Subkeys(MAKER));
    EXPECT_FALSE(host::KeyExists(RECORD_KEY));
}

}  // namespace
