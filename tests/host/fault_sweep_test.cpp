// Every road of the installer with each registry call failing in turn, and
// with each pair of calls failing: whatever the registry refuses, the run ends
// with 0, leaves no key open, shows at most one failure and only the program's
// own texts, and never leaves the registry in a state that misleads the next run.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "fixture.h"
#include "res/resource.h"

using namespace fixture;

namespace {

const std::string MAKER = "SOFTWARE\\Merravin";
const std::string PRINTER = "Office";

const std::set<std::string> &OwnTexts()
{
    static const std::set<std::string> texts = {
        "Инсталлятор успешно обновил информацию о продукте. Для активизации внесенных изменений необходимо "
        "перезагрузить компьютер.",
        "Сообщения 'Мало Тонера' смогут появляться после перезагрузки системы",
        "Инсталлятор не смог включить сообщения 'Мало Тонера",
        "В системе не установлены поддерживамые продукты",
        "Инсталлятор не обнаружил информации о продуктах в реестре",
        "Инсталлятор не смог обновить информацию о продукте в реестре",
        "Не удалось перезагрузить компьютер. Перезагрузите его вручную для активизации внесенных изменений.",
    };
    return texts;
}

struct Road {
    const char *name;
    bool recorded;              // the switch-off stands before the run
    const char *driver;         // of the one installed printer
    int cancelAt;               // template whose dialog the user cancels (0: none)
    int confirmAnswer;          // answer to the success message
    const char *switches = "";  // an unattended run's, with no one to answer
};

const Road ROADS[] = {
    { "switch-off", false, "CORVANA 5d", 0, IDOK },
    { "switch-on", true, "CORVANA 5d", 0, IDOK },
    { "no supported printer", false, "LaserJet", 0, IDOK },
    { "cancel on notice", false, "CORVANA 5d", IDD_NOTICE, IDOK },
    { "cancel on action", false, "CORVANA 5d", IDD_ACTION, IDOK },
    { "cancel on printer", false, "CORVANA 5d", IDD_PRINTER, IDOK },
    { "switch-off, restart declined", false, "TX 414", 0, IDCANCEL },
    { "switch-on, restart declined", true, "TX 414", 0, IDCANCEL },
    { "unattended switch-off", false, "CORVANA 5d", 0, IDOK, "/off" },
    { "unattended switch-off with restart", false, "TX 414", 0, IDOK, "/off /restart" },
    { "unattended switch-on", true, "CORVANA 5d", 0, IDOK, "/on" },
    { "unattended switch-on with restart", true, "TX 414", 0, IDOK, "/on /restart" },
};

const char SWEEP_LOG[] = "C:\\sweep.log";

struct Fault {
    int index;
    LONG error;
};

// Every key of the registry, by its full path.
std::vector<std::string> Keys()
{
    std::vector<std::string> keys;
    const std::string dump = host::Dump();
    for (size_t at = dump.find('['); at != std::string::npos; at = dump.find("\n[", at + 1)) {
        size_t start = dump[at] == '[' ? at + 1 : at + 2;
        keys.push_back(dump.substr(start, dump.find("]\n", start) - start));
    }
    return keys;
}

// An unattended run shows nothing, whatever fails: its log ends with the
// exit code, and a code that promises the change, or no change, is never a
// lie, unless the platform said a key was not there.
void CheckUnattended(const Road &road, int exitCode, const std::string &before, bool toldAbsent)
{
    EXPECT_TRUE(host::Dialogs().empty());
    EXPECT_TRUE(host::MessageBoxes().empty());
    const std::string log = host::FileText(SWEEP_LOG);
    const std::string last = u8"Код завершения: " + std::to_string(exitCode) + "\r\n";
    EXPECT_TRUE(log.size() >= last.size() && log.compare(log.size() - last.size(), last.size(), last) == 0) << log;
    EXPECT_EQ(exitCode == 1641, host::RestartRequests().size() == 1 && host::RestartRequests()[0].result);
    auto record = host::GetValue(RECORD, "Printer Name");
    switch (exitCode) {
    case 0:
    case 3010:
    case 1641:
        if (road.recorded) {
            EXPECT_TRUE(toldAbsent || (!host::KeyExists(SettingsKey(PRINTER)) && !host::KeyExists(RECORD)));
        } else {
            EXPECT_TRUE(TonerLowStands(PRINTER));
            EXPECT_TRUE(record && record->data.compare(0, PRINTER.size(), PRINTER) == 0);
        }
        break;
    case 1168:  // the printer list did not open: nothing was written
        EXPECT_EQ(before, host::Dump());
        break;
    default:
        EXPECT_EQ(1603, exitCode);
    }
}

// One run of the road with the given calls failing. Returns the number of
// registry calls the run made; *hit tells whether any failure was reached.
int RunRoad(const Road &road, const std::vector<Fault> &faults, bool *hit = nullptr)
{
    host::Reset();
    AddPrinter(PRINTER, road.driver);
    host::SetValue(MAKER + "\\Other\\QUARVEN\\0.0", "TonerLow", REG_DWORD, TONER_LOW_ON);
    host::SetValue(EVENT_SOURCE, "EventMessageFile", REG_EXPAND_SZ, EVENT_MESSAGE_FILE);
    if (road.recorded)
        SeedSwitchedOff(PRINTER);
    const std::vector<std::string> before = Keys();
    for (const Fault &f : faults)
        host::FailCallAt(f.index, f.error);
    // Faults can turn the road: every dialog gets a script, whichever comes.
    for (int i = 0; i < 3; i++)
        host::QueueDialog([&road](host::Dialog &d) {
            if (d.templateId == road.cancelAt)
                d.PressEscape();
            else
                d.PressEnter();
        });
    host::QueueMessageBoxAnswer(road.confirmAnswer);

    const std::string dumpBefore = host::Dump();
    const bool unattended = *road.switches != '\0';
    std::string arguments = unattended ? std::string(road.switches) + " /log " + SWEEP_LOG : "";
    const int exitCode = WinMain(host::Instance(), nullptr, &arguments[0], 1);

    const std::vector<host::RegCall> &calls = host::RegCalls();
    std::string where = std::string(road.name) + ", failing";
    int failedCloses = 0;
    bool reached = false;
    for (const Fault &f : faults) {
        where += " #" + std::to_string(f.index) + "=" + std::to_string(f.error);
        if (f.index < (int)calls.size()) {
            reached = true;
            where += " (" + calls[f.index].function + " " + calls[f.index].path + ")";
            failedCloses += calls[f.index].function == "RegCloseKey";
        }
    }
    SCOPED_TRACE(where);
    if (hit != nullptr)
        *hit = reached;

    bool toldAbsent = false;
    bool toldNoRecord = false;
    for (const Fault &f : faults) {
        toldNoRecord |= f.error == ERROR_FILE_NOT_FOUND && f.index < (int)calls.size() && calls[f.index].path == RECORD;
        toldAbsent |= f.error == ERROR_FILE_NOT_FOUND && f.index < (int)calls.size()
                      && (calls[f.index].path == SettingsKey(PRINTER)
                          || calls[f.index].path + "\\0.0" == SettingsKey(PRINTER));
    }
    if (unattended)
        CheckUnattended(road, exitCode, dumpBefore, toldAbsent || toldNoRecord);
    else
        EXPECT_EQ(0, exitCode);
    // A close that fails leaves its key open; nothing else may.
    EXPECT_EQ(failedCloses, host::OpenHandles());
    EXPECT_EQ(0, host::UnscriptedDialogs());

    // Only the printer's own keys and the record may go.
    for (const std::string &key : before) {
        const bool own = key == RECORD || key == MAKER + "\\" + PRINTER
                         || key.rfind(MAKER + "\\" + PRINTER + "\\", 0) == 0;
        EXPECT_TRUE(own || host::KeyExists(key)) << "deleted: " << key;
    }
    bool tonerLowWritten = false;
    for (const host::RegCall &call : calls)
        tonerLowWritten |= call.function == "RegSetValueExA" && call.name == "TonerLow" && call.result == 0;
    // A record without the setting would offer a switch-on that cannot work.
    EXPECT_TRUE(road.recorded || !host::KeyExists(RECORD) || (tonerLowWritten && TonerLowStands(PRINTER)));
    // A failed switch-on keeps the record while the setting stands, so the
    // next run can retry it. The removal takes the platform's word that a key
    // is not there, so a faked "not found" on the settings key or the key
    // above it is a lie it cannot see through; so is one on the record's
    // value, which an unattended run then takes for a record naming no printer.
    EXPECT_TRUE(!road.recorded || toldAbsent || (unattended && toldNoRecord) || !host::KeyExists(SettingsKey(PRINTER))
                || host::KeyExists(RECORD));

    int errors = 0;
    for (const host::MessageBoxRecord &box : host::MessageBoxes()) {
        EXPECT_EQ(1u, OwnTexts().count(box.text)) << "foreign text: " << box.text;
        EXPECT_EQ(CAPTION, box.caption);
        EXPECT_FALSE(box.hasOwner);
        EXPECT_TRUE(box.style == MB_ICONERROR || box.style == (MB_ICONERROR | MB_OKCANCEL));
        errors += box.style == MB_ICONERROR;
    }
    EXPECT_LE(errors, 1);
    return (int)calls.size();
}

class FaultSweep : public ::testing::TestWithParam<Road> {};

TEST_P(FaultSweep, EachCallAndEachPairOfCallsFailing)
{
    const Road &road = GetParam();
    const int count = RunRoad(road, {});
    const LONG errors[] = { ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND };
    int checked = 0;
    bool hit;

    // Each call failing alone, then with each later call of the road that
    // failure leads to (which may be longer or shorter than the clean one).
    for (int i = 0; i < count; i++)
        for (LONG first : errors) {
            const int made = RunRoad(road, { { i, first } }, &hit);
            checked += hit;
            for (int j = i + 1; j < made && !HasFailure(); j++)
                for (LONG second : errors) {
                    checked += RunRoad(road, { { i, first }, { j, second } }, &hit) > j && hit;
                }
            if (HasFailure())
                return;  // the first broken run tells enough
        }
    std::printf("fault sweep: %s: %d registry calls clean, %d faulted runs checked\n", road.name, count, checked);
}

INSTANTIATE_TEST_SUITE_P(Roads, FaultSweep, ::testing::ValuesIn(ROADS), [](const ::testing::TestParamInfo<Road> &info) {
    std::string name;
    for (const char *c = info.param.name; *c != '\0'; c++)
        if (isalnum((unsigned char)*c))
            name += *c;
    return name;
});

// The restart request after a success that the user confirmed.
struct RestartCase {
    const char *name;
    const char *tokenCall;  // fails (nullptr: none)
    DWORD restartError;     // ExitWindowsEx fails with it (0: none)
};

class RestartSweep : public HostTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartSweep, FailureShowsOneMessageAndTheRunStillEndsWithZero)
{
    const RestartCase &c = GetParam();
    for (bool recorded : { false, true }) {
        SCOPED_TRACE(recorded ? "switch-on" : "switch-off");
        host::Reset();
        AddPrinter(PRINTER, "TX 212");
        if (recorded)
            SeedSwitchedOff(PRINTER);
        if (c.tokenCall != nullptr)
            host::FailTokenCall(c.tokenCall);
        if (c.restartError != 0)
            host::FailRestart(c.restartError);
        for (int i = 0; i < 3; i++)
            host::QueueDialog(Enter);

        EXPECT_EQ(0, WinMain(host::Instance(), nullptr, (LPSTR) "", 1));
        EXPECT_EQ(0, host::OpenHandles());
        ASSERT_EQ(1u, host::RestartRequests().size());
        const host::RestartRecord &restart = host::RestartRequests()[0];
        EXPECT_EQ((UINT)EWX_REBOOT, restart.flags);
        EXPECT_EQ(0u, restart.reason);
        const bool fails = c.tokenCall != nullptr || c.restartError != 0;
        EXPECT_EQ(!fails, restart.result != FALSE);
        EXPECT_EQ(c.tokenCall == nullptr, restart.privilegeEnabled);

        ASSERT_EQ(fails ? 2u : 1u, host::MessageBoxes().size());
        EXPECT_EQ((UINT)(MB_ICONERROR | MB_OKCANCEL), host::MessageBoxes()[0].style);
        if (fails)
            ExpectBox(1,
                      "Не удалось перезагрузить компьютер. Перезагрузите его вручную для активизации "
                      "внесенных изменений.",
                      MB_ICONERROR);
    }
}

INSTANTIATE_TEST_SUITE_P(Restart, RestartSweep,
                         ::testing::Values(RestartCase{ "Granted", nullptr, 0 },
                                           RestartCase{ "NoToken", "OpenProcessToken", 0 },
                                           RestartCase{ "NoPrivilegeName", "LookupPrivilegeValueA", 0 },
                                           RestartCase{ "PrivilegeRefused", "AdjustTokenPrivileges", 0 },
                                           RestartCase{ "RestartRefused", nullptr, ERROR_ACCESS_DENIED }),
                         [](const ::testing::TestParamInfo<RestartCase> &info) { return info.param.name; });

}  // namespace
