// Finding the first installed printer with a supported driver: which printers
// the walk looks at, which it skips, and what it makes of odd driver values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "host.h"
#include "registry/registry_ops.h"

using namespace std::string_literals;

namespace {

const std::string PRINTERS = fixture::PRINTERS;
const char UNTOUCHED = 'Z';

void AddPrinter(const std::string &name, const std::string &driver, DWORD type = REG_SZ)
{
    host::SetValue(PRINTERS + "\\" + name, "Printer Driver", type, driver);
}

// Opens of one printer's key by the code under test.
int Opens(const std::string &printer)
{
    int count = 0;
    for (const host::RegCall &call : host::RegCalls())
        count += call.function == "RegOpenKeyExA" && call.path == PRINTERS + "\\" + printer;
    return count;
}

struct Found {
    int result;
    char buffer[PRINTER_NAME_SIZE];

    bool Untouched() const { return std::string(buffer, sizeof buffer) == std::string(sizeof buffer, UNTOUCHED); }
    std::string Name() const { return std::string(buffer, strnlen(buffer, sizeof buffer)); }
};

Found Find()
{
    Found found;
    memset(found.buffer, UNTOUCHED, sizeof found.buffer);
    found.result = FindSupportedPrinter(found.buffer);
    return found;
}

class DiscoveryTest : public HostTest {
protected:
    void ExpectNoneFound()
    {
        Found found = Find();
        EXPECT_EQ(0, found.result);
        EXPECT_TRUE(found.Untouched());
        EXPECT_EQ(0, host::OpenHandles());
    }
};

TEST_F(DiscoveryTest, NoListAnEmptyOneOrAReadOnlyOneFindsNothing)
{
    ExpectNoneFound();
    host::CreateKey(PRINTERS);
    ExpectNoneFound();
    EXPECT_EQ(1, host::CountCalls("RegEnumKeyExA"));
    AddPrinter("Office", "TX 414\0"s);
    host::SetReadOnly(PRINTERS);
    ExpectNoneFound();
}

TEST_F(DiscoveryTest, ExaminesEveryUnsupportedPrinterOnce)
{
    AddPrinter("Lab", "Draft Plotter\0"s);
    AddPrinter("Hall", "TX 41\0"s);
    host::CreateKey(PRINTERS + "\\Store");  // no driver value
    ExpectNoneFound();
    for (const char *printer : { "Lab", "Hall", "Store" })
        EXPECT_EQ(1, Opens(printer)) << printer;
    EXPECT_EQ(4, host::CountCalls("RegEnumKeyExA"));
}

TEST_F(DiscoveryTest, ReturnsTheFirstSupportedInEnumerationOrderOnly)
{
    AddPrinter("Beta", "TX 212\0"s);
    AddPrinter("alpha", "CORVANA 5d\0"s);  // sorts first, whatever the case
    Found found = Find();
    EXPECT_EQ(1, found.result);
    EXPECT_EQ("alpha", found.Name());
    EXPECT_EQ(0, Opens("Beta"));
    EXPECT_EQ(1, host::CountCalls("RegEnumKeyExA"));
}

struct DriverCase {
    const char *label;
    DWORD type;
    std::string data;
    int supported;
    LONG query = ERROR_SUCCESS;
};

void PrintTo(const DriverCase &c, std::ostream *os) { *os << c.label; }

class DiscoveryDriver : public DiscoveryTest, public ::testing::WithParamInterface<DriverCase> {};

TEST_P(DiscoveryDriver, MatchesWholeNamesWithoutRegardToCase)
{
    const DriverCase &c = GetParam();
    AddPrinter("Office", c.data, c.type);
    Found found = Find();
    EXPECT_EQ(c.supported, found.result);
    if (c.supported)
        EXPECT_EQ("Office", found.Name());
    else
        EXPECT_TRUE(found.Untouched());
    ASSERT_EQ(1, host::CountCalls("RegQueryValueExA"));
    for (const host::RegCall &call : host::RegCalls()) {
        if (call.function == "RegQueryValueExA") {
            EXPECT_EQ(c.query, call.result);
        }
    }
}

const std::string PADDING(255, 'x');

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Values, DiscoveryDriver,
    ::testing::Values(
        DriverCase{ "row 1", REG_SZ, "CORVANA 3c Turbo-X\0"s, 1 },
        DriverCase{ "row 2", REG_SZ, "CORVANA 5c Turbo-X\0"s, 1 },
        DriverCase{ "row 3", REG_SZ, "CORVANA 5d\0"s, 1 },
        DriverCase{ "row 4", REG_SZ, "CORVANA 5d Max\0"s, 1 },
        DriverCase{ "row 5", REG_SZ, "CORVANA 5c Mini\0"s, 1 },
        DriverCase{ "row 6", REG_SZ, "TX 212\0"s, 1 },
        DriverCase{ "row 7", REG_SZ, "TX 414\0"s, 1 },
        DriverCase{ "lower case", REG_SZ, "tx 414\0"s, 1 },
        DriverCase{ "mixed case", REG_SZ, "corvana 5D MAX\0"s, 1 },
        DriverCase{ "trailing space", REG_SZ, "TX 414 \0"s, 0 },
        DriverCase{ "further words", REG_SZ, "TX 414 PCL\0"s, 0 },
        DriverCase{ "prefix of a row", REG_SZ, "CORVANA 5\0"s, 0 },
        DriverCase{ "empty leaves the sentinel", REG_SZ, "", 0 },
        DriverCase{ "REG_DWORD read as text", REG_DWORD, "TX 212\0"s, 1 },
        DriverCase{ "REG_DWORD 1", REG_DWORD, "\x01\0\0\0"s, 0 },
        DriverCase{ "short without NUL, sentinel tail", REG_SZ, "TX 414", 0 },
        DriverCase{ "14 bytes without NUL", REG_SZ, "CORVANA 5d Max", 0 },
        DriverCase{ "255 bytes without NUL", REG_SZ, PADDING, 0 },
        DriverCase{ "254 characters and NUL", REG_SZ, PADDING.substr(1) + '\0', 0 },
        DriverCase{ "255 bytes, name first", REG_SZ, ("TX 414\0"s + PADDING).substr(0, 255), 1 },
        DriverCase{ "256 bytes", REG_SZ, "TX 414\0"s + PADDING.substr(6), 0, ERROR_MORE_DATA }));
// clang-format on

struct SkipCase {
    const char *label;
    void (*setup)();  // spoils printer "A", whose driver is supported
};

void PrintTo(const SkipCase &c, std::ostream *os) { *os << c.label; }

class DiscoverySkip : public DiscoveryTest, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(DiscoverySkip, GoesOnToTheNextPrinter)
{
    AddPrinter("A", "TX 414\0"s);
    AddPrinter("B", "TX 212\0"s);
    GetParam().setup();
    Found found = Find();
    EXPECT_EQ(1, found.result);
    EXPECT_EQ("B", found.Name());
    EXPECT_EQ(1, Opens("B"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Values, DiscoverySkip,
    ::testing::Values(
        SkipCase{ "key does not open", [] { host::SetReadOnly(PRINTERS + "\\A"); } },
        SkipCase{ "driver too long", [] { AddPrinter("A", "TX 414\0"s + std::string(249, ' ')); } },
        SkipCase{ "no driver value", [] { host::DeleteTree(PRINTERS + "\\A"); host::CreateKey(PRINTERS + "\\A"); } },
        SkipCase{ "query fails", [] { host::FailCalls("RegQueryValueExA", "Printer Driver", ERROR_OUTOFMEMORY, 1); } },
        SkipCase{ "enumeration fails at its index",
                  [] { host::FailCalls("RegEnumKeyExA", "0", ERROR_OUTOFMEMORY); } }));
// clang-format on

TEST_F(DiscoveryTest, ReturnsLongNamesWholeInTheirOwnCase)
{
    for (const std::string &name : { "Office TX (Копия)"s, "Net " + std::string(204, 'q'), std::string(254, '\xC9') }) {
        SCOPED_TRACE(name.size());
        host::Reset();
        AddPrinter(name, "TX 414\0"s);
        Found found = Find();
        EXPECT_EQ(1, found.result);
        EXPECT_EQ(name, found.Name());
        EXPECT_EQ(0, host::OpenHandles());
    }
}

TEST_F(DiscoveryTest, ExaminesNoPrinterAtAnIndexThatGaveNoName)
{
    // Names of 255 characters do not fit the enumeration's buffer: at index 0
    // nothing was ever written there, at index 2 "B" would be stale.
    AddPrinter(std::string(255, 'A'), "TX 414\0"s);
    AddPrinter("B", "Plotter\0"s);
    AddPrinter(std::string(255, 'C'), "TX 414\0"s);
    AddPrinter("D", "Plotter\0"s);
    AddPrinter("E", "TX 414\0"s);
    host::FailCalls("RegEnumKeyExA", "4", ERROR_OUTOFMEMORY);
    ExpectNoneFound();
    EXPECT_EQ(1, Opens("B"));
    EXPECT_EQ(1, Opens("D"));
    EXPECT_EQ(3, host::CountCalls("RegOpenKeyExA"));
}

TEST_F(DiscoveryTest, StopsWhenTheEnumerationNeverEnds)
{
    AddPrinter("Office", "TX 414\0"s);
    host::FailCalls("RegEnumKeyExA", "", ERROR_MORE_DATA);
    ExpectNoneFound();
    EXPECT_EQ(65536, host::CountCalls("RegEnumKeyExA"));
}

}  // namespace
