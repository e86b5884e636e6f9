// The installer flow from WinMain: the notice, the choice of direction, each
// road to its outcome message and the restart offer.
#include <vector>

#include "app/dialogs.h"
#include "fixture.h"
#include "res/resource.h"
#include "res/strings.h"

using namespace fixture;

namespace {

const char SWITCHED_OFF[] =
    "Инсталлятор успешно обновил информацию о продукте. Для активизации внесенных "
    "изменений необходимо перезагрузить компьютер.";
const char SWITCHED_ON[] = "Сообщения 'Мало Тонера' смогут появляться после перезагрузки системы";
const char SWITCH_ON_FAILED[] = "Инсталлятор не смог включить сообщения 'Мало Тонера";
const char NO_PRINTER[] = "В системе не установлены поддерживамые продукты";
const char UPDATE_FAILED[] = "Инсталлятор не смог обновить информацию о продукте в реестре";

int RunInstaller() { return WinMain(host::Instance(), nullptr, (LPSTR) "", 1); }

}  // namespace

using FlowTest = HostTest;

TEST_F(FlowTest, CancelOnNoticeEndsBeforeAnyRegistryAccess)
{
    SeedSwitchedOff("Office");
    host::QueueDialog(Escape);

    EXPECT_EQ(0, RunInstaller());
    EXPECT_TRUE(host::RegCalls().empty());
    ASSERT_EQ(1u, host::Dialogs().size());
    const host::DialogRecord &notice = host::Dialogs()[0];
    EXPECT_EQ(IDD_NOTICE, notice.templateId);
    EXPECT_EQ(nullptr, notice.owner);
    EXPECT_EQ((LPARAM)host::Instance(), notice.initParam);
    EXPECT_EQ(1, notice.initResult);
    EXPECT_EQ(0, notice.result);
    bool shown = false;
    for (const host::Control &c : notice.controlsAfterInit)
        if (c.id == IDC_NOTICE_TEXT)
            shown = c.text == NOTICE_TEXT;
    EXPECT_TRUE(shown) << "control 1006 does not hold the whole notice";
    EXPECT_TRUE(host::MessageBoxes().empty());
    EXPECT_TRUE(host::RestartRequests().empty());
}

TEST_F(FlowTest, CancelOnActionChangesNothing)
{
    for (bool recorded : { false, true }) {
        host::Reset();
        AddPrinter("Office", "TX 212");
        if (recorded)
            SeedSwitchedOff("Office");
        const std::string before = host::Dump();
        host::QueueDialog(Enter);
        host::QueueDialog(Escape);

        EXPECT_EQ(0, RunInstaller());
        EXPECT_EQ(before, host::Dump());
        ASSERT_EQ(2u, host::Dialogs().size());
        EXPECT_EQ(ACTION_CANCEL, host::Dialogs()[1].result);
        EXPECT_TRUE(host::MessageBoxes().empty());
        EXPECT_TRUE(host::RestartRequests().empty());
        EXPECT_EQ(0, host::OpenHandles());
    }
}

// The patch record decides which one direction the user may confirm.
struct Preset {
    const char *name;
    bool record;
    bool readOnly;
    bool switchOn;  // the switch-on button is the one preset and enabled
};
void PrintTo(const Preset &p, std::ostream *os) { *os << p.name; }

class ActionPreset : public HostTest, public ::testing::WithParamInterface<Preset> {};

TEST_P(ActionPreset, FollowsThePatchRecordKey)
{
    const Preset &p = GetParam();
    if (p.record)
        SeedSwitchedOff("Office");
    if (p.readOnly)
        host::SetReadOnly(RECORD);
    host::QueueDialog(Enter);
    host::QueueDialog(Escape);

    EXPECT_EQ(0, RunInstaller());
    ASSERT_EQ(2u, host::Dialogs().size());
    const host::DialogRecord &action = host::Dialogs()[1];
    EXPECT_EQ(IDD_ACTION, action.templateId);
    EXPECT_EQ(nullptr, action.owner);
    EXPECT_EQ(0, action.initParam);
    EXPECT_EQ(1, action.initResult);
    for (const host::Control &c : action.controlsAfterInit) {
        if (c.id == IDC_DISABLE_MESSAGES || c.id == IDC_ENABLE_MESSAGES) {
            bool preset = (c.id == IDC_ENABLE_MESSAGES) == p.switchOn;
            EXPECT_EQ(preset ? BST_CHECKED : BST_UNCHECKED, c.check) << c.id;
            EXPECT_EQ(preset, c.enabled) << c.id;
        }
    }
    // The record is only tested: one full-access open, closed at once, no value read.
    const std::vector<host::RegCall> &calls = host::RegCalls();
    ASSERT_EQ(p.switchOn ? 2u : 1u, calls.size());
    EXPECT_EQ("RegOpenKeyExA", calls[0].function);
    EXPECT_EQ(RECORD, calls[0].path);
    EXPECT_EQ((DWORD)KEY_ALL_ACCESS, calls[0].access);
    if (p.switchOn) {
        EXPECT_EQ("RegCloseKey", calls[1].function);
    }
}

INSTANTIATE_TEST_SUITE_P(, ActionPreset,
                         ::testing::Values(Preset{ "NoRecord", false, false, false },
                                           Preset{ "Record", true, false, true },
                                           Preset{ "RecordWithoutWriteAccess", true, true, false }),
                         [](const auto &info) { return std::string(info.param.name); });

// Every road from the action choice to the end of the run.
enum Seed { PRINTER, NO_PRINTER_INSTALLED, SWITCHED_OFF_STATE, RECORD_WITHOUT_MONITOR_KEY, STATION_UNREADABLE };
enum PrinterStep { NOT_SHOWN, CONFIRM, CANCEL };

struct Road {
    const char *name;
    Seed seed;
    PrinterStep printer;
    std::vector<int> answers;
    const char *failFunction;  // a registry call made to fail, or null
    const char *failMatch;
    std::vector<std::pair<const char *, UINT>> boxes;
    bool restart;
    bool tonerLowAfter;
    bool recordAfter;
    UINT codePage = 1251;  // for programs without Unicode
};
void PrintTo(const Road &p, std::ostream *os) { *os << p.name; }

class Roads : public HostTest, public ::testing::WithParamInterface<Road> {};

TEST_P(Roads, EndWithTheirOutcomeAndExitCodeZero)
{
    const Road &r = GetParam();
    if (r.seed != NO_PRINTER_INSTALLED)
        AddPrinter("Office", "CORVANA 5d");
    if (r.seed == SWITCHED_OFF_STATE)
        SeedSwitchedOff("Office");
    if (r.seed == RECORD_WITHOUT_MONITOR_KEY)
        host::SetValue(RECORD, "Printer Name", REG_SZ, "Office");
    if (r.failFunction != nullptr)
        host::FailCalls(r.failFunction, r.failMatch, ERROR_ACCESS_DENIED);
    host::SetAnsiCodePage(r.codePage);
    host::SetWindowStationVisible(true, r.seed != STATION_UNREADABLE);
    for (int answer : r.answers)
        host::QueueMessageBoxAnswer(answer);
    host::QueueDialog(Enter);
    host::QueueDialog(Enter);
    if (r.printer != NOT_SHOWN)
        host::QueueDialog(r.printer == CONFIRM ? Enter : Escape);

    EXPECT_EQ(0, RunInstaller());

    for (const host::DialogRecord &d : host::Dialogs())
        EXPECT_TRUE(d.owner == nullptr && d.wide == (r.codePage != 1251)) << d.templateId;
    ASSERT_EQ(r.boxes.size(), host::MessageBoxes().size());
    for (size_t i = 0; i < r.boxes.size(); i++)
        ExpectBox(i, r.boxes[i].first, r.boxes[i].second);
    ASSERT_EQ(r.restart ? 1u : 0u, host::RestartRequests().size());
    if (r.restart) {
        EXPECT_EQ((UINT)EWX_REBOOT, host::RestartRequests()[0].flags);
        EXPECT_EQ(0u, host::RestartRequests()[0].reason);
    }
    EXPECT_EQ(r.tonerLowAfter, TonerLowStands("Office"));
    auto record = host::GetValue(RECORD, "Printer Name");
    EXPECT_EQ(r.recordAfter, record.has_value());
    if (record) {
        EXPECT_STREQ("Office", record->data.c_str());
    }
    if (r.seed == SWITCHED_OFF_STATE && !r.recordAfter) {
        EXPECT_FALSE(host::KeyExists(RECORD));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    , Roads,
    ::testing::Values(
        Road{ "SwitchOffRestart", PRINTER, CONFIRM, { IDOK }, nullptr, nullptr,
              { { SWITCHED_OFF, 0x11 } }, true, true, true },
        Road{ "SwitchOffRestartDeclined", PRINTER, CONFIRM, { IDCANCEL }, nullptr, nullptr,
              { { SWITCHED_OFF, 0x11 } }, false, true, true },
        // Flags that cannot be read leave the dialogs as they always were.
        Road{ "SwitchOffWhereTheStationCannotBeRead", STATION_UNREADABLE, CONFIRM, { IDOK }, nullptr, nullptr,
              { { SWITCHED_OFF, 0x11 } }, true, true, true },
        Road{ "SwitchOffRecordNotStored", PRINTER, CONFIRM, { IDOK }, "RegSetValueExA", "Printer Name",
              { { SWITCHED_OFF, 0x11 } }, true, true, false },
        Road{ "SwitchOffNoSupportedPrinter", NO_PRINTER_INSTALLED, NOT_SHOWN, {}, nullptr, nullptr,
              { { NO_PRINTER, 0x10 } }, false, false, false },
        Road{ "SwitchOffRestartCodePage1252", PRINTER, CONFIRM, { IDOK }, nullptr, nullptr,
              { { SWITCHED_OFF, 0x11 } }, true, true, true, 1252 },
        Road{ "SwitchOffPrinterCancelled", PRINTER, CANCEL, {}, nullptr, nullptr, {}, false, false,
              false },
        Road{ "SwitchOffWriteFailed", PRINTER, CONFIRM, {}, "RegSetValueExA", "TonerLow",
              { { UPDATE_FAILED, 0x10 } }, false, false, false },
        Road{ "SwitchOnRestart", SWITCHED_OFF_STATE, NOT_SHOWN, { IDOK }, nullptr, nullptr,
              { { SWITCHED_ON, 0x11 } }, true, false, false },
        Road{ "SwitchOnRestartDeclined", SWITCHED_OFF_STATE, NOT_SHOWN, { IDCANCEL }, nullptr, nullptr,
              { { SWITCHED_ON, 0x11 } }, false, false, false },
        // The monitor's keys went away after the switch-off: nothing is left
        // to delete but the record, and the warnings are on again.
        Road{ "SwitchOnMonitorKeysGone", RECORD_WITHOUT_MONITOR_KEY, NOT_SHOWN, { IDOK }, nullptr, nullptr,
              { { SWITCHED_ON, 0x11 } }, true, false, false },
        // The dialogs do not report a record that stays.
        Road{ "SwitchOnRecordKept", SWITCHED_OFF_STATE, NOT_SHOWN, { IDOK }, "RegDeleteKeyA", "Brisvane",
              { { SWITCHED_ON, 0x11 } }, true, false, true },
        Road{ "SwitchOnDeleteRefused", SWITCHED_OFF_STATE, NOT_SHOWN, {}, "RegDeleteKeyA", "0.0",
              { { SWITCH_ON_FAILED, 0x10 } }, false, true, true }),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on
