// The patch record: what a store leaves in the registry, and what a load makes
// of whatever the key holds, whoever wrote it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "host.h"
#include "registry/registry_ops.h"

using namespace std::string_literals;

namespace {

const std::string RECORD_KEY = fixture::RECORD;
const std::string RECORD_VALUE = "Printer Name";
const char UNTOUCHED = 'Z';

using PatchRecordTest = HostTest;

// A load into a buffer filled with UNTOUCHED beforehand.
struct Loaded {
    int result;
    char buffer[PRINTER_NAME_SIZE];

    bool Untouched() const { return std::string(buffer, sizeof buffer) == std::string(sizeof buffer, UNTOUCHED); }
    std::string Text() const { return std::string(buffer, strnlen(buffer, sizeof buffer)); }
};

Loaded Load(int selector = PATCH_LOAD)
{
    Loaded loaded;
    memset(loaded.buffer, UNTOUCHED, sizeof loaded.buffer);
    loaded.result = PatchRecord(selector, loaded.buffer);
    return loaded;
}

TEST_F(PatchRecordTest, StoreThenLoadGivesEveryNameBackByteForByte)
{
    for (int length = 1; length <= 254; length++) {
        std::string name;
        for (int i = 0; i < length; i++)
            name += (char)(1 + (length * 7 + i * 13) % 255);  // any byte but NUL
        SCOPED_TRACE(length);
        ASSERT_EQ(1, PatchRecord(PATCH_STORE, name.data()));
        Loaded loaded = Load();
        ASSERT_EQ(1, loaded.result);
        EXPECT_EQ(name, loaded.Text());
        EXPECT_EQ(UNTOUCHED, loaded.buffer[length + 1]);
    }
}

TEST_F(PatchRecordTest, StoresTheNameWithoutItsNul)
{
    char name[] = "TX 414";
    ASSERT_EQ(1, PatchRecord(PATCH_STORE, name));
    const host::RegCall &set = host::RegCalls().at(1);  // after the create
    EXPECT_EQ("RegSetValueExA", set.function);
    EXPECT_EQ(RECORD_KEY, set.path);
    EXPECT_EQ(RECORD_VALUE, set.name);
    EXPECT_EQ(6u, set.size);
    EXPECT_EQ(REG_SZ, host::GetValue(RECORD_KEY, RECORD_VALUE)->type);
}

TEST_F(PatchRecordTest, SecondStoreReplacesTheFirstAndLeavesOtherValues)
{
    host::SetValue(RECORD_KEY, "Version", REG_DWORD, "\x07\0\0\0"s);
    char first[] = "Office TX 414", second[] = "Lab";
    ASSERT_EQ(1, PatchRecord(PATCH_STORE, first));
    ASSERT_EQ(1, PatchRecord(PATCH_STORE, second));
    EXPECT_EQ("Lab", Load().Text());
    EXPECT_EQ("\x07\0\0\0"s, host::GetValue(RECORD_KEY, "Version")->data);
    EXPECT_EQ((std::vector<std::string>{ RECORD_VALUE, "Version" }), host::ValueNames(RECORD_KEY));
}

struct LoadCase {
    const char *label;
    bool key;
    bool value;
    DWORD type;
    std::string data;
    int result;
    std::string text;  // on success
};

void PrintTo(const LoadCase &c, std::ostream *os) { *os << c.label; }

class PatchRecordLoad : public PatchRecordTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(PatchRecordLoad, TakesTheTextUpToTheFirstNulWithinTheReturnedSize)
{
    const LoadCase &c = GetParam();
    if (c.key)
        host::CreateKey(RECORD_KEY);
    if (c.value)
        host::SetValue(RECORD_KEY, RECORD_VALUE, c.type, c.data);
    Loaded loaded = Load();
    ASSERT_EQ(c.result, loaded.result);
    if (c.result == 0) {
        EXPECT_TRUE(loaded.Untouched());
    } else {
        EXPECT_EQ(c.text, loaded.Text());
        if (c.text.size() + 1 < sizeof loaded.buffer) {
            EXPECT_EQ(UNTOUCHED, loaded.buffer[c.text.size() + 1]);
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Values, PatchRecordLoad,
    ::testing::Values(
        LoadCase{ "stored with a NUL", true, true, REG_SZ, "Office TX\0"s, 1, "Office TX" },
        LoadCase{ "NUL inside", true, true, REG_SZ, "Off\0ice"s, 1, "Off" },
        LoadCase{ "255 bytes, no NUL", true, true, REG_SZ, std::string(255, '\xC9'), 1, std::string(255, '\xC9') },
        LoadCase{ "256 bytes", true, true, REG_SZ, std::string(256, 'x'), 0, "" },
        LoadCase{ "REG_DWORD", true, true, REG_DWORD, "AB\0\0"s, 1, "AB" },
        LoadCase{ "REG_DWORD 1", true, true, REG_DWORD, "\x01\0\0\0"s, 1, "\x01" },
        LoadCase{ "binary without NUL", true, true, REG_BINARY, "ABCD", 1, "ABCD" },
        LoadCase{ "empty", true, true, REG_SZ, "", 1, "" },
        LoadCase{ "key without the value", true, false, REG_SZ, "", 0, "" },
        LoadCase{ "no key", false, false, REG_SZ, "", 0, "" }));
// clang-format on

TEST_F(PatchRecordTest, DeleteRemovesTheKeyWhenThereIsOne)
{
    EXPECT_EQ(0, Load(PATCH_DELETE).result);
    host::CreateKey(RECORD_KEY);
    EXPECT_EQ(1, Load(PATCH_DELETE).result);
    EXPECT_FALSE(host::KeyExists(RECORD_KEY));
    EXPECT_TRUE(host::KeyExists("SOFTWARE"));
}

TEST_F(PatchRecordTest, OtherSelectorsMakeNoRegistryCall)
{
    host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, "Office");
    for (int selector : { 0, 1, 2, 6 }) {
        SCOPED_TRACE(selector);
        Loaded loaded = Load(selector);
        EXPECT_EQ(0, loaded.result);
        EXPECT_TRUE(loaded.Untouched());
    }
    EXPECT_TRUE(host::RegCalls().empty());
    EXPECT_EQ("Office", host::GetValue(RECORD_KEY, RECORD_VALUE)->data);
}

TEST_F(PatchRecordTest, ReadOnlyKeyRefusesStoreAndLoad)
{
    host::SetValue(RECORD_KEY, RECORD_VALUE, REG_SZ, "Office");
    host::SetReadOnly(RECORD_KEY);
    char name[] = "Lab";
    EXPECT_EQ(0, PatchRecord(PATCH_STORE, name));
    Loaded loaded = Load();
    EXPECT_EQ(0, loaded.result);
    EXPECT_TRUE(loaded.Untouched());
    EXPECT_EQ("Office", host::GetValue(RECORD_KEY, RECORD_VALUE)->data);
}

}  // namespace
