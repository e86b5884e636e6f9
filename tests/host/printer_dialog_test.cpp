// The printer choice dialog on its own: what it lists, what OK writes and in
// which order, and every way it ends without writing.
#include <functional>
#include <vector>

#include "app/dialogs.h"
#include "fixture.h"
#include "res/resource.h"

using namespace fixture;

namespace {

const char NO_PRINTER[] = "В системе не установлены поддерживамые продукты";
const char NO_PRODUCT_INFO[] = "Инсталлятор не обнаружил информации о продуктах в реестре";
const char UPDATE_FAILED[] = "Инсталлятор не смог обновить информацию о продукте в реестре";

INT_PTR RunPrinterDialog()
{
    return DialogBoxParamA(host::Instance(), MAKEINTRESOURCEA(IDD_PRINTER), nullptr, PrinterDlgProc, 0);
}

std::vector<std::string> Sets()
{
    std::vector<std::string> names;
    for (const host::RegCall &call : host::RegCalls())
        if (call.function == "RegSetValueExA")
            names.push_back(call.name);
    return names;
}

// The record is written without its NUL; the registry, as NT does, stores
// the NUL that follows the data all the same.
void ExpectRecord(const std::string &name)
{
    auto record = host::GetValue(RECORD, "Printer Name");
    ASSERT_TRUE(record);
    EXPECT_EQ((DWORD)REG_SZ, record->type);
    EXPECT_EQ(name + std::string(1, '\0'), record->data);
    for (const host::RegCall &call : host::RegCalls())
        if (call.function == "RegSetValueExA" && call.name == "Printer Name") {
            EXPECT_EQ(name.size(), call.size);
        }
}

}  // namespace

using PrinterDialog = HostTest;

TEST_F(PrinterDialog, ListsOnlyTheFirstSupportedPrinterAndEnterConfirmsIt)
{
    // Enumerated without regard to case: "annex", "basement", "Corvana Hall", "Zeta".
    AddPrinter("annex", "Generic Text Only");
    AddPrinter("Corvana Hall", "TX 414");
    AddPrinter("basement", "corvana 5C TURBO-X");
    AddPrinter("Zeta", "TX 212");
    host::QueueDialog([](host::Dialog &d) {
        EXPECT_EQ(1, d.initResult);
        EXPECT_EQ(IDOK, d.focusId);
        EXPECT_EQ(std::vector<std::string>{ "basement" }, d.control(IDC_PRINTER_LIST).items);
        EXPECT_EQ(0, d.control(IDC_PRINTER_LIST).selection);
        d.PressEnter();
    });

    EXPECT_EQ(1, RunPrinterDialog());
    EXPECT_TRUE(TonerLowStands("basement"));
    ExpectRecord("basement");
    // The setting first: a failed write must never leave a record behind.
    EXPECT_EQ((std::vector<std::string>{ "TonerLow", "Printer Name" }), Sets());
    EXPECT_TRUE(host::MessageBoxes().empty());
}

// Discovery finds nothing: the user sees only the message, never the dialog.
struct NoPrinter {
    const char *name;
    std::function<void()> seed;
};
void PrintTo(const NoPrinter &p, std::ostream *os) { *os << p.name; }

class NoSupportedPrinter : public HostTest, public ::testing::WithParamInterface<NoPrinter> {};

TEST_P(NoSupportedPrinter, ShowsOnlyTheMessageAndEndsDuringInit)
{
    GetParam().seed();
    const std::string before = host::Dump();

    EXPECT_EQ(0, RunPrinterDialog());
    ASSERT_EQ(1u, host::Dialogs().size());
    EXPECT_EQ(0, host::Dialogs()[0].initResult);
    ASSERT_EQ(1u, host::MessageBoxes().size());
    ExpectBox(0, NO_PRINTER, 0x10);
    ExpectNoWrites();
    EXPECT_EQ(before, host::Dump());
}

INSTANTIATE_TEST_SUITE_P(, NoSupportedPrinter,
                         ::testing::Values(NoPrinter{ "NoPrinterList", [] {} },
                                           NoPrinter{ "OnlyUnsupportedDrivers",
                                                      [] {
                                                          AddPrinter("Office", "TX 2120");
                                                          AddPrinter("Hall", "CORVANA 5");
                                                      } },
                                           NoPrinter{ "PrinterListNotWritable",
                                                      [] {
                                                          AddPrinter("Office", "TX 212");
                                                          host::SetReadOnly(PRINTERS);
                                                      } }),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrinterDialog, CancelAndEscapeWriteNothing)
{
    // The Cancel button, and Escape as the dialog manager turns it into IDCANCEL.
    for (auto end : { +[](host::Dialog &d) { d.Command(IDCANCEL, BN_CLICKED); },
                      +[](host::Dialog &d) { d.Send(WM_COMMAND, IDCANCEL, 0); } }) {
        host::Reset();
        AddPrinter("Office", "TX 212");
        const std::string before = host::Dump();
        host::QueueDialog(end);
        EXPECT_EQ(0, RunPrinterDialog());
        EXPECT_EQ(before, host::Dump());
        ExpectNoWrites();
        EXPECT_TRUE(host::MessageBoxes().empty());
        EXPECT_EQ(0, host::UnscriptedDialogs());
    }
}

TEST_F(PrinterDialog, ListNotificationsAndOtherCommandsChangeNothing)
{
    AddPrinter("Office", "TX 212");
    host::QueueDialog([](host::Dialog &d) {
        const int callsBefore = (int)host::RegCalls().size();
        EXPECT_EQ(0, d.Command(IDC_PRINTER_LIST, CBN_DROPDOWN));
        EXPECT_EQ(0, d.Command(IDC_PRINTER_LIST, CBN_SELCHANGE));
        EXPECT_EQ(0, d.Command(IDC_PRINTER_LIST, 8 /* CBN_CLOSEUP */));
        EXPECT_EQ(0, d.Command(1234, BN_CLICKED));
        EXPECT_EQ(0, d.Send(WM_COMMAND, MAKEWPARAM(IDC_PRINTER_LIST, IDOK), 0));
        EXPECT_FALSE(d.ended);
        EXPECT_EQ((int)host::RegCalls().size(), callsBefore);
        EXPECT_EQ(std::vector<std::string>{ "Office" }, d.control(IDC_PRINTER_LIST).items);
        EXPECT_EQ(0, d.control(IDC_PRINTER_LIST).selection);
        d.PressEnter();
    });

    EXPECT_EQ(1, RunPrinterDialog());
    EXPECT_TRUE(TonerLowStands("Office"));
    EXPECT_TRUE(host::MessageBoxes().empty());
}

// A refused write on OK. Without the setting: its own message alone, no
// record, result 0. Without the record: unreported, the setting stands, 1.
struct OkFault {
    const char *name;
    const char *function;
    const char *match;
    INT_PTR result;
    const char *message;
};
void PrintTo(const OkFault &p, std::ostream *os) { *os << p.name; }

class FaultOnOk : public HostTest, public ::testing::WithParamInterface<OkFault> {};

TEST_P(FaultOnOk, EndsAsTheSettingDecides)
{
    const OkFault &f = GetParam();
    AddPrinter("Office", "TX 212");
    host::FailCalls(f.function, f.match, ERROR_ACCESS_DENIED);
    host::QueueDialog(Enter);

    EXPECT_EQ(f.result, RunPrinterDialog());
    ASSERT_EQ(f.message ? 1u : 0u, host::MessageBoxes().size());
    if (f.message)
        ExpectBox(0, f.message, 0x10);
    EXPECT_EQ(f.result == 1, TonerLowStands("Office"));
    EXPECT_FALSE(host::GetValue(RECORD, "Printer Name"));
    if (f.result == 0) {
        EXPECT_FALSE(host::KeyExists(RECORD));
        EXPECT_LE(Sets().size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , FaultOnOk,
    ::testing::Values(OkFault{ "SettingValueRefused", "RegSetValueExA", "TonerLow", 0, UPDATE_FAILED },
                      OkFault{ "SettingKeyRefused", "RegCreateKeyExA", "Merravin", 0, NO_PRODUCT_INFO },
                      OkFault{ "RecordValueRefused", "RegSetValueExA", "Printer Name", 1, nullptr },
                      OkFault{ "RecordKeyRefused", "RegCreateKeyExA", "Brisvane", 1, nullptr }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrinterDialog, LongestNamePassesThroughWhole)
{
    std::string name;
    for (int i = 0; name.size() < 254; i++)
        name += (char)('a' + i % 26);
    AddPrinter(name, "CORVANA 5d Max");
    host::QueueDialog([&](host::Dialog &d) {
        EXPECT_EQ(std::vector<std::string>{ name }, d.control(IDC_PRINTER_LIST).items);
        d.PressEnter();
    });

    EXPECT_EQ(1, RunPrinterDialog());
    EXPECT_TRUE(TonerLowStands(name));
    ExpectRecord(name);
    EXPECT_TRUE(host::KeyExists("SOFTWARE\\Merravin\\" + name + "\\QUARVEN"));
    EXPECT_TRUE(host::MessageBoxes().empty());
}

// OK with nothing that can be read back from the list must not hand an
// unfilled buffer on: the dialog ends with 0 and writes nothing.
struct Unreadable {
    const char *name;
    void (*spoil)(host::Control &list);
};
void PrintTo(const Unreadable &p, std::ostream *os) { *os << p.name; }

class UnreadableSelection : public HostTest, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(UnreadableSelection, EndsWithZeroAndWritesNothing)
{
    AddPrinter("Office", "TX 212");
    const Unreadable &u = GetParam();
    host::QueueDialog([&u](host::Dialog &d) {
        u.spoil(d.control(IDC_PRINTER_LIST));
        d.PressEnter();
    });

    EXPECT_EQ(0, RunPrinterDialog());
    ExpectNoWrites();
    EXPECT_FALSE(host::KeyExists("SOFTWARE\\Merravin"));
    EXPECT_FALSE(host::KeyExists(RECORD));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    , UnreadableSelection,
    ::testing::Values(Unreadable{ "NoSelection", [](host::Control &l) { l.selection = CB_ERR; } },
                      Unreadable{ "SelectionPastTheEnd", [](host::Control &l) { l.selection = 1; } },
                      Unreadable{ "ItemGone", [](host::Control &l) { l.items.clear(); } },
                      Unreadable{ "EmptyText", [](host::Control &l) { l.items[0].clear(); } },
                      Unreadable{ "TextLongerThanTheBuffer",
                                  [](host::Control &l) { l.items[0] = std::string(300, 'x'); } }),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on
