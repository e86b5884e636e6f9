// The unattended run: the command line as deployment tools write it, and each
// outcome with its exit code, its registry state and its log, never a window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <msiquery.h>

#include "app/command_line.h"
#include "fixture.h"
#include "host.h"

using namespace fixture;

extern "C" UINT WINAPI SwitchOff(MSIHANDLE install);
extern "C" UINT WINAPI SwitchOffRollback(MSIHANDLE install);
extern "C" UINT WINAPI SwitchOn(MSIHANDLE install);
extern "C" UINT WINAPI SwitchOnRollback(MSIHANDLE install);
extern "C" UINT WINAPI RestartIfSwitched(MSIHANDLE install);

namespace {

struct Parse {
    std::string line;
    int run;
    bool restart;
    std::string printer;
    std::string log;
};
void PrintTo(const Parse &p, std::ostream *os) { *os << "\"" << p.line.substr(0, 60) << "\""; }

class CommandLine : public ::testing::TestWithParam<Parse> {};

TEST_P(CommandLine, ReadsSwitchesAndWordsAsWindowsToolsWriteThem)
{
    const Parse &p = GetParam();
    RunOptions options;
    std::memset(&options, 0x5A, sizeof options);
    ReadCommandLine(p.line.c_str(), &options);
    EXPECT_EQ(p.run, options.run);
    EXPECT_EQ(p.restart, options.restart != 0);
    EXPECT_EQ(p.printer, std::string(options.printer, strnlen(options.printer, sizeof options.printer)));
    EXPECT_EQ(p.log, std::string(options.log, strnlen(options.log, sizeof options.log)));
}

const std::string LONG_NAME(255, 'x');

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    , CommandLine,
    ::testing::Values(
        Parse{ "", RUN_DIALOGS, false, "", "" }, Parse{ " \t ", RUN_DIALOGS, false, "", "" },
        Parse{ "/off", RUN_SWITCH_OFF, false, "", "" }, Parse{ "-OFF", RUN_SWITCH_OFF, false, "", "" },
        Parse{ "/On", RUN_SWITCH_ON, false, "", "" },
        Parse{ "/on /restart /log C:\\logs\\run.log", RUN_SWITCH_ON, true, "", "C:\\logs\\run.log" },
        Parse{ "/printer \"Office Printer\" -off", RUN_SWITCH_OFF, false, "Office Printer", "" },
        Parse{ "/off /printer \"\xCE\xF4\xE8\xF1\"", RUN_SWITCH_OFF, false, "\xCE\xF4\xE8\xF1", "" },
        Parse{ "/off /printer " + LONG_NAME, RUN_SWITCH_OFF, false, LONG_NAME, "" },
        // Quotes and backslashes as the C runtime reads them.
        Parse{ "/off /printer \"a \\\"b\\\"\"", RUN_SWITCH_OFF, false, "a \"b\"", "" },
        Parse{ "/off /printer \"say \"\"hi\"\"\"", RUN_SWITCH_OFF, false, "say \"hi\"", "" },
        Parse{ "/off /log \"C:\\new logs\\\\\"", RUN_SWITCH_OFF, false, "", "C:\\new logs\\" },
        Parse{ "/off /log \\\\server\\share\\a.log", RUN_SWITCH_OFF, false, "", "\\\\server\\share\\a.log" },
        Parse{ "/?", RUN_USAGE, false, "", "" }, Parse{ "-HELP /off", RUN_USAGE, false, "", "" },
        // Not understood; a log named before the fault is kept to report it.
        Parse{ "/off /on", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/on /printer Lab", RUN_BAD_COMMAND_LINE, false, "Lab", "" },
        Parse{ "/log run.log /restart", RUN_BAD_COMMAND_LINE, true, "", "run.log" },
        Parse{ "/off /frobnicate", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "off", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/off /off", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/off /printer", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/off /printer \"\"", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/log x.log /off /printer \"Lab", RUN_BAD_COMMAND_LINE, false, "", "x.log" },
        Parse{ "/off /printer " + LONG_NAME + "y", RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/off /log C:\\" + std::string(300, 'l'), RUN_BAD_COMMAND_LINE, false, "", "" },
        Parse{ "/off " + std::string(40000, '\\') + "\"", RUN_BAD_COMMAND_LINE, false, "", "" }));
// clang-format on

// ---- Outcomes ----

const char LOG[] = "C:\\deploy\\brisvane.log";
const char MUTEX[] = "Global\\BrisvaneRun";
const char SYSTEM_FILE[] = "C:\\Windows\\System32\\drivers\\etc\\hosts";
const std::string LONGEST(255, 'x');  // a printer's name as long as a key name may be

enum Seed {
    NONE,
    WESTERN_WINDOWS,  // the ANSI code page is 1252; one printer, Büro, with a supported driver
    OFFICE,
    OFFICE_SWITCHED_OFF,
    STUDIO_SWITCHED_OFF,
    OFFICE_RECORDED_ONLY,
    OFFICE_SETTINGS_READ_ONLY,  // switched off; the settings key may be read, not written
    OFFICE_TONER_LOW_BINARY,    // recorded; TonerLow holds 1 as REG_BINARY
    OFFICE_TONER_LOW_TWO,       // recorded; TonerLow is the REG_DWORD 2
    OFFICE_SETTINGS_HELD,       // switched off; a key below the settings key keeps it from deletion
    ANOTHER_RUN,                // an administrator's run holds the lock
    SYSTEMS_RUN,                // a run as SYSTEM holds it
    USERS_LOCK,                 // a standard user made a mutex of the lock's name first
    USERS_LOCK_REFUSED,         // the same, with a DACL that denies administrators and SYSTEM
    OWNERLESS_LOCK,             // a mutex of the lock's name without an owner
    RESTART_REFUSED,            // Office; the restart call fails with ERROR_ACCESS_DENIED
    RECORD_UNREADABLE,          // Office switched off; the record key refuses full access
    LOG_AT_LINK,                // Office; a link to another file stands where the log goes
    LOG_HARD_LINKED,            // Office; the log is a second name of another file
    UTF8_WINDOWS,               // Office; the ANSI code page is UTF-8
    LONGEST_NAME,               // one printer whose name is as long as a key name may be
    RECORD_NOT_A_NAME,          // TonerLow = 1 for Office; the record's value is the REG_DWORD 1
    RECORD_PATH,                // the same, the record's value the text a\b
    RECORD_WITHOUT_VALUE,       // the same, the record's key without its value
    HIDDEN_STATION,             // Office; the window station is not shown, as a service's
    EVENT_LOG_STOPPED,          // Office; no event can be reported
    EVENT_SOURCE_ELSEWHERE,     // Office; the event source names a copy of the program as its message file
    EVENT_SOURCE_FILLS_BUFFER,  // Office; the 64-bit Framework's message file without a NUL: 70 bytes, the buffer
    EVENT_SOURCE_WITHOUT_NUL,   // Office; the right message file, stored without its NUL
    STALE_RESTART,              // Office switched off; an installation that failed marked a restart
};

struct Outcome {
    const char *name;
    Seed seed;
    std::string arguments;
    int exitCode;
    bool tonerLow;         // TonerLow = 1 stands for Office afterwards
    const char *recorded;  // the record's name afterwards, nullptr: no record
    int restarts;
    std::vector<std::string> log;  // the lines between the start and the exit code, without the time
};
void PrintTo(const Outcome &o, std::ostream *os) { *os << o.name; }

// The command line in UTF-8: ASCII and the code page 1251 letters А..я are all it holds here.
std::string Utf8Arguments(const std::string &ansi)
{
    std::string out;
    for (unsigned char c : ansi) {
        unsigned letter = 0x410u + c - 0xC0u;
        out += c < 0x80 ? std::string(1, (char)c)
                        : std::string{ (char)(0xC0 | letter >> 6), (char)(0x80 | (letter & 0x3F)) };
    }
    return out;
}

class Unattended : public HostTest, public ::testing::WithParamInterface<Outcome> {};

// The registry and the kernel objects as the row's seed has them.
void Plant(Seed seed)
{
    if (seed == WESTERN_WINDOWS) {
        host::SetAnsiCodePage(1252);
        AddPrinter("B\xFCro", "TX 212");
    } else if (seed != NONE) {
        AddPrinter("Lab", "LaserJet");
        AddPrinter("Office", "TX 212");
        AddPrinter("Studio", "CORVANA 5d");
    }
    if (seed == OFFICE_SWITCHED_OFF || seed == OFFICE_SETTINGS_READ_ONLY || seed == OFFICE_SETTINGS_HELD
        || seed == RECORD_UNREADABLE)
        SeedSwitchedOff("Office");
    if (seed == RECORD_UNREADABLE)
        host::SetReadOnly(RECORD);
    if (seed == RESTART_REFUSED)
        host::FailRestart(ERROR_ACCESS_DENIED);
    if (seed == LOG_AT_LINK)
        host::LinkFile(LOG, SYSTEM_FILE);
    if (seed == LOG_HARD_LINKED)
        host::HardLinkFile(LOG);
    if (seed == UTF8_WINDOWS)
        host::SetAnsiCodePage(65001);
    if (seed == LONGEST_NAME)
        AddPrinter(LONGEST, "CORVANA 5d");
    if (seed >= RECORD_NOT_A_NAME && seed <= RECORD_WITHOUT_VALUE) {
        host::SetValue(SettingsKey("Office"), "TonerLow", REG_DWORD, TONER_LOW_ON);
        host::CreateKey(RECORD);
    }
    if (seed == RECORD_NOT_A_NAME || seed == RECORD_PATH)
        host::SetValue(RECORD, "Printer Name", seed == RECORD_PATH ? REG_SZ : REG_DWORD,
                       seed == RECORD_PATH ? "a\\b" : TONER_LOW_ON);
    host::SetWindowStationVisible(seed != HIDDEN_STATION);
    host::RefuseEvents(seed == EVENT_LOG_STOPPED ? 1722 : 0);  // RPC_S_SERVER_UNAVAILABLE
    host::SetValue(EVENT_SOURCE, "EventMessageFile", REG_EXPAND_SZ,
                   seed == EVENT_SOURCE_ELSEWHERE ? "%USERPROFILE%\\Downloads\\Brisvane.exe" : EVENT_MESSAGE_FILE);
    if (seed == EVENT_SOURCE_FILLS_BUFFER || seed == EVENT_SOURCE_WITHOUT_NUL)
        host::SetValue(EVENT_SOURCE, "EventMessageFile", REG_EXPAND_SZ,
                       seed == EVENT_SOURCE_WITHOUT_NUL
                           ? EVENT_MESSAGE_FILE.substr(0, 68)
                           : "%SystemRoot%\\Microsoft.NET\\Framework64\\v4.0.30319\\EventLogMessages.dll");
    if (seed == STALE_RESTART) {
        SeedSwitchedOff("Office");
        host::SetValue("SOFTWARE\\BrisvaneInstallation", "Restart", REG_SZ, "");
    }
    if (seed == OFFICE_SETTINGS_READ_ONLY)
        host::SetReadOnly(SettingsKey("Office"));
    if (seed == OFFICE_SETTINGS_HELD)
        host::CreateKey(SettingsKey("Office") + "\\Tray 2");
    if (seed == OFFICE_TONER_LOW_BINARY || seed == OFFICE_TONER_LOW_TWO) {
        host::SetValue(SettingsKey("Office"), "TonerLow", seed == OFFICE_TONER_LOW_TWO ? REG_DWORD : REG_BINARY,
                       seed == OFFICE_TONER_LOW_TWO ? std::string("\x02\0\0\0", 4) : TONER_LOW_ON);
        host::SetValue(RECORD, "Printer Name", REG_SZ, "Office");
    }
    if (seed == STUDIO_SWITCHED_OFF)
        SeedSwitchedOff("Studio");
    if (seed == OFFICE_RECORDED_ONLY)
        host::SetValue(RECORD, "Printer Name", REG_SZ, "Office");
    if (seed >= ANOTHER_RUN && seed <= OWNERLESS_LOCK)
        host::HoldMutex(MUTEX,
                        seed == ANOTHER_RUN      ? "BA"
                        : seed == SYSTEMS_RUN    ? "SY"
                        : seed == OWNERLESS_LOCK ? ""
                                                 : "BU",
                        seed == USERS_LOCK_REFUSED);
}

// No window, and TonerLow = 1 for Office and the record as the row says.
void ExpectState(bool tonerLow, const char *recorded)
{
    EXPECT_TRUE(host::Dialogs().empty());
    EXPECT_TRUE(host::MessageBoxes().empty());
    EXPECT_EQ(tonerLow, fixture::TonerLowStands("Office"));
    auto record = host::GetValue(RECORD, "Printer Name");
    EXPECT_EQ(recorded != nullptr, record.has_value());
    if (record && recorded) {
        EXPECT_EQ(recorded, record->data.substr(0, record->data.find('\0')));
    }
}

TEST_P(Unattended, EndsWithItsExitCodeStateAndLogAndNoWindow)
{
    const Outcome &o = GetParam();
    Plant(o.seed);

    // Without switches there is no log: the event is the one trace.
    std::string arguments = o.arguments.empty() ? "" : o.arguments + " /log " + LOG;
    EXPECT_EQ(o.exitCode, WinMain(host::Instance(), nullptr, &arguments[0], 1));

    ExpectState(o.tonerLow, o.recorded);
    // "" takes the working folder out of the search; NULL would put it back.
    EXPECT_EQ("", host::DllDirectory());
    for (const std::string &lock : host::CreatedMutexes())
        EXPECT_EQ(std::string(MUTEX) + " O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", lock);
    // The local computer, at once, without a message and without closing
    // anyone's programs by force, as a planned restart for an installation.
    ASSERT_EQ((size_t)o.restarts, host::RestartRequests().size());
    if (o.restarts) {
        const host::RestartRecord &restart = host::RestartRequests()[0];
        EXPECT_EQ("InitiateSystemShutdownExA", restart.function);
        EXPECT_FALSE(restart.machineOrMessage);
        EXPECT_EQ(0u, restart.timeout);
        EXPECT_FALSE(restart.forceAppsClosed);
        EXPECT_TRUE(restart.rebootAfterShutdown);
        EXPECT_EQ(0x80040002u, restart.reason);
        EXPECT_TRUE(restart.privilegeEnabled);
    }
    if (o.seed == LOG_AT_LINK || o.seed == LOG_HARD_LINKED) {
        EXPECT_EQ("", host::FileText(SYSTEM_FILE));
        EXPECT_EQ("", host::FileText(LOG));
        return;
    }

    // UTF-8 with its byte order mark, each line cut where the line buffer
    // ends, never inside a character, its line end kept. The event holds the
    // same lines, but for the last, joined, its ID the exit code.
    std::string expected = "\xEF\xBB\xBF", event;
    std::vector<std::string> lines = o.log;
    lines.insert(lines.begin(),
                 u8"Запуск на BUHGALTERIYA-07: " + (o.seed == UTF8_WINDOWS ? arguments : Utf8Arguments(arguments)));
    lines.push_back(u8"Код завершения: " + std::to_string(o.exitCode));
    for (const std::string &line : lines) {
        size_t cut = std::min<size_t>(line.size() + 20, 1022);
        while (cut < line.size() + 20 && (line[cut - 20] & 0xC0) == 0x80)
            cut--;
        expected += ("2026-12-08 09:05:03 " + line).substr(0, cut) + "\r\n";
        if (&line != &lines.back())
            event += (event.empty() ? "" : "\r\n") + line.substr(0, cut - 20);
    }
    EXPECT_EQ(arguments.empty() ? "" : expected, host::FileText(LOG));
    EXPECT_EQ(o.seed == EVENT_SOURCE_WITHOUT_NUL ? EVENT_MESSAGE_FILE.substr(0, 68) : EVENT_MESSAGE_FILE,
              host::GetValue(EVENT_SOURCE, "EventMessageFile")->data);
    const int type = o.exitCode == 1603 || o.exitCode == 1639   ? EVENTLOG_ERROR_TYPE
                     : o.exitCode == 1168 || o.exitCode == 1618 ? EVENTLOG_WARNING_TYPE
                                                                : EVENTLOG_INFORMATION_TYPE;
    const std::string reported = "Brisvane " + std::to_string(type) + " " + std::to_string(o.exitCode) + "\n" + event;
    EXPECT_EQ(o.seed == EVENT_LOG_STOPPED ? std::vector<std::string>() : std::vector<std::string>{ reported },
              host::ReportedEvents());
}

const std::string SETTINGS = "HKLM\\SOFTWARE\\Merravin\\Office\\QUARVEN";
// What a switch-off of Office writes into the log between its first and last lines.
const std::vector<std::string> SWITCHED_OFF = {
    u8"Принтер: Office", u8"Записано: " + SETTINGS + "\\0.0\\TonerLow",
    u8"Записано: HKLM\\SOFTWARE\\Brisvane\\Printer Name",
    u8"Инсталлятор успешно обновил информацию о продукте. Для активизации внесенных изменений необходимо "
    u8"перезагрузить компьютер."
};

// And what a switch-on of Office writes.
// clang-format off
const std::vector<std::string> SWITCHED_ON = { u8"Принтер: Office", u8"Удалено: " + SETTINGS + "\\0.0",
                                               u8"Удалено: " + SETTINGS, u8"Удалено: HKLM\\SOFTWARE\\Merravin\\Office",
                                               u8"Удалено: HKLM\\SOFTWARE\\Brisvane",
                                               u8"Сообщения 'Мало Тонера' смогут появляться после перезагрузки системы" };
// clang-format on

std::vector<std::string> Then(std::vector<std::string> lines, const std::string &more)
{
    lines.push_back(more);
    return lines;
}
std::vector<std::string> Then(std::vector<std::string> lines, const std::vector<std::string> &more)
{
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}
const std::vector<std::string> RECORD_NAMES_NO_PRINTER = {
    u8"Запись не называет принтер: HKLM\\SOFTWARE\\Brisvane\\Printer Name", u8"Удалено: HKLM\\SOFTWARE\\Brisvane"
};
const std::string LOCK_NOT_ADMINISTRATORS =
    u8"Блокировка создана не администратором и не учитывается: Global\\BrisvaneRun";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    , Unattended,
    ::testing::Values(
        Outcome{ "switch-off", OFFICE, "/off", 3010, true, "Office", 0, SWITCHED_OFF },
        Outcome{ "switch-off with restart", OFFICE, "/off /restart", 1641, true, "Office", 1,
                 Then(SWITCHED_OFF, u8"Запрошена перезагрузка компьютера") },
        // The change stands and still waits for a restart.
        Outcome{ "switch-off with a restart refused", RESTART_REFUSED, "/off /restart", 3010, true, "Office", 1,
                 Then(SWITCHED_OFF, u8"Не удалось запросить перезагрузку, ошибка 5") },
        // Fixed texts are code page 1251, names the system's own code page.
        Outcome{ "switch-off on a Western Windows", WESTERN_WINDOWS, "/off", 3010, false, "B\xFC" "ro", 0,
                 { u8"Принтер: Büro", u8"Записано: HKLM\\SOFTWARE\\Merravin\\Büro\\QUARVEN\\0.0\\TonerLow",
                   SWITCHED_OFF[2], SWITCHED_OFF[3] } },
        Outcome{ "switch-off with a link where the log goes", LOG_AT_LINK, "/off", 3010, true, "Office", 0, {} },
        Outcome{ "switch-off with a hard link where the log goes", LOG_HARD_LINKED, "/off", 3010, true, "Office", 0, {} },
        // The second printer character ends three bytes before the line's end: it is left out whole.
        Outcome{ "UTF-8 Windows, a character of four bytes where the line ends", UTF8_WINDOWS,
                 "/off" + std::string(946, ' ') + " /printer " + u8"🖨🖨", 1168, false, nullptr, 0,
                 { u8"Нет поддерживаемого принтера: 🖨🖨" } },
        Outcome{ "switch-off already done", OFFICE_SWITCHED_OFF, "/off", 0, true, "Office", 0,
                 { u8"Принтер: Office", u8"Сообщения уже отключены" } },
        // Printer names compare as Windows compares key names.
        Outcome{ "switch-off already done, named in another case", OFFICE_SWITCHED_OFF, "/off /printer office", 0,
                 true, "Office", 0, { u8"Принтер: office", u8"Сообщения уже отключены" } },
        // Whether it is off needs reading only.
        Outcome{ "switch-off already done, settings read-only", OFFICE_SETTINGS_READ_ONLY, "/off", 0, true, "Office",
                 0, { u8"Принтер: Office", u8"Сообщения уже отключены" } },
        // Only the REG_DWORD 1 switches the warnings off: anything else is written again.
        Outcome{ "switch-off over a TonerLow of another type", OFFICE_TONER_LOW_BINARY, "/off", 3010, true, "Office",
                 0, SWITCHED_OFF },
        Outcome{ "switch-off over a TonerLow of another value", OFFICE_TONER_LOW_TWO, "/off", 3010, true, "Office",
                 0, SWITCHED_OFF },
        // The whole command line goes into the first line, cut to the line buffer.
        Outcome{ "switch-off from a long command line", OFFICE, "/off" + std::string(1100, ' '), 3010, true,
                 "Office", 0, SWITCHED_OFF },
        // A log named before a word not understood is kept to report it.
        Outcome{ "command line of Cyrillic words cut between letters", OFFICE,
                 std::string("/log ") + LOG + " /off \xC6" + std::string(600, '\xE6'),
                 1639, false, nullptr, 0, { u8"Неверная командная строка (справка: /?)" } },
        // The monitor lost the setting since: it is written again.
        Outcome{ "switch-off over a record without the setting", OFFICE_RECORDED_ONLY, "/off", 3010, true, "Office",
                 0, SWITCHED_OFF },
        Outcome{ "switch-off of a second printer", STUDIO_SWITCHED_OFF, "/off /printer office", 1603, false, "Studio",
                 0,
                 { u8"Принтер: office", u8"Сообщения отключены для другого принтера: Studio", u8"Сейчас нет TonerLow: office",
                   u8"Сейчас в записи: Studio" } },
        Outcome{ "named printer without a supported driver", OFFICE, "/off /printer Lab", 1168, false, nullptr, 0,
                 { u8"Нет поддерживаемого принтера: Lab" } },
        Outcome{ "no supported printer", NONE, "/off", 1168, false, nullptr, 0,
                 { u8"В системе не установлены поддерживамые продукты" } },
        Outcome{ "switch-on", OFFICE_SWITCHED_OFF, "/on", 3010, false, nullptr, 0,
                 SWITCHED_ON },
        // What stands afterwards is logged after a failure.
        Outcome{ "switch-on refused", OFFICE_SETTINGS_HELD, "/on", 1603, true, "Office", 0,
                 { u8"Принтер: Office", u8"Инсталлятор не смог включить сообщения 'Мало Тонера",
                   u8"Сейчас TonerLow = 1: Office", u8"Сейчас в записи: Office" } },
        Outcome{ "switch-on with the record unreadable", RECORD_UNREADABLE, "/on", 1603, true, "Office", 0,
                 { u8"Инсталлятор не смог включить сообщения 'Мало Тонера", u8"Сейчас запись есть, но не читается: "
                   u8"HKLM\\SOFTWARE\\Brisvane" } },
        // It names nothing to switch on, and kept it would fail every later run.
        Outcome{ "switch-on of a record that names no printer", RECORD_NOT_A_NAME, "/on /restart", 0, true, nullptr, 0,
                 RECORD_NAMES_NO_PRINTER },
        // Neither a path nor a missing value is a printer's name.
        Outcome{ "switch-on of a record that names a path", RECORD_PATH, "/on", 0, true, nullptr, 0,
                 RECORD_NAMES_NO_PRINTER },
        Outcome{ "switch-on of a record without its value", RECORD_WITHOUT_VALUE, "/on", 0, true, nullptr, 0,
                 RECORD_NAMES_NO_PRINTER },
        Outcome{ "switch-on without a record", OFFICE, "/on /restart", 0, false, nullptr, 0,
                 { u8"Нет записи HKLM\\SOFTWARE\\Brisvane" } },
        Outcome{ "another run holds the mutex", ANOTHER_RUN, "/off", 1618, false, nullptr, 0,
                 { u8"Уже идет другой запуск" } },
        Outcome{ "a run as SYSTEM holds the mutex", SYSTEMS_RUN, "/off", 1618, false, nullptr, 0,
                 { u8"Уже идет другой запуск" } },
        // Anyone may make a mutex of that name first; only an administrator's stops a run.
        Outcome{ "a user's mutex of that name", USERS_LOCK, "/off", 3010, true, "Office", 0,
                 Then({ LOCK_NOT_ADMINISTRATORS }, SWITCHED_OFF) },
        Outcome{ "a user's mutex of that name refused to administrators", USERS_LOCK_REFUSED, "/off", 3010, true,
                 "Office", 0, Then({ LOCK_NOT_ADMINISTRATORS }, SWITCHED_OFF) },
        Outcome{ "a mutex of that name without an owner", OWNERLESS_LOCK, "/off", 3010, true, "Office", 0,
                 Then({ LOCK_NOT_ADMINISTRATORS }, SWITCHED_OFF) },
        Outcome{ "command line not understood", OFFICE, "/off /on", 1639, false, nullptr, 0,
                 { u8"Неверная командная строка (справка: /?)" } },
        // A service's window station: a dialog there would wait for ever.
        Outcome{ "no switches where nobody can see a window", HIDDEN_STATION, "", 1639, false, nullptr, 0,
                 { u8"Без параметров инсталлятор показывает окна, а здесь их некому увидеть: укажите /off или /on" } },
        Outcome{ "usage where nobody can see it", HIDDEN_STATION, "/?", 0, false, nullptr, 0,
                 { u8"Справка не показана: здесь ее некому увидеть" } },
        Outcome{ "event log stopped", EVENT_LOG_STOPPED, "/off", 3010, true, "Office", 0,
                 Then(SWITCHED_OFF, u8"Не удалось записать событие в журнал приложений, ошибка 1722") },
        Outcome{ "event source of another message file", EVENT_SOURCE_ELSEWHERE, "/off", 3010, true, "Office", 0,
                 Then(SWITCHED_OFF, u8"Записано: HKLM\\" + EVENT_SOURCE + "\\EventMessageFile") },
        // Read into a buffer with a byte to spare for the NUL, never past it.
        Outcome{ "event source of a message file that fills the buffer", EVENT_SOURCE_FILLS_BUFFER, "/off", 3010, true,
                 "Office", 0, Then(SWITCHED_OFF, u8"Записано: HKLM\\" + EVENT_SOURCE + "\\EventMessageFile") },
        // Compared as far as the bytes the query returned, and found right.
        Outcome{ "event source of the right message file without its NUL", EVENT_SOURCE_WITHOUT_NUL, "/off", 3010, true,
                 "Office", 0, SWITCHED_OFF }),
    [](const auto &info) {
        std::string name;
        for (const char *c = info.param.name; *c != '\0'; c++)
            name += isalnum((unsigned char)*c) ? *c : '_';
        return name;
    });
// clang-format on

// ---- The installer package's custom actions ----

struct Action {
    const char *name;
    Seed seed;
    UINT(WINAPI *action)(MSIHANDLE);
    std::string data;  // CustomActionData
    UINT result;
    bool rebootAtEnd;  // once the installation stands, or rolled back
    bool tonerLow;
    const char *recorded;
    std::vector<std::string> log;  // the lines between the start and the exit code, without the time
    int exitCode;                  // the road's, on the last line
    // Where a later step fails: the rollback action that then runs, and its lines and code.
    UINT(WINAPI *rollback)(MSIHANDLE) = nullptr;
    std::vector<std::string> rollbackLog = {};
    int rollbackExitCode = 0;
};
void PrintTo(const Action &a, std::ostream *os) { *os << a.name; }

class PackageAction : public HostTest, public ::testing::WithParamInterface<Action> {};

// The action's lines in the installer's log, as the host layer has them.
std::vector<std::string> Logged(UINT(WINAPI *action)(MSIHANDLE), std::vector<std::string> lines, int exitCode)
{
    const char *name = action == SwitchOff          ? "SwitchOff"
                       : action == SwitchOn         ? "SwitchOn"
                       : action == SwitchOnRollback ? "SwitchOnRollback"
                                                    : "SwitchOffRollback";
    lines.insert(lines.begin(), u8"Запуск на BUHGALTERIYA-07: " + std::string(name));
    lines.push_back(u8"Код завершения: " + std::to_string(exitCode));
    for (std::string &line : lines)
        line = "2026-12-08 09:05:03 " + line;
    return lines;
}

// The deferred action runs with the handle that Windows gives it, which
// refuses MsiSetMode; the restart is asked for after InstallFinalize.
TEST_P(PackageAction, TakesTheUnattendedRoadAndLogsIntoTheInstallersLog)
{
    const Action &a = GetParam();
    Plant(a.seed);
    host::SetInstallerProperty("CustomActionData", a.data);

    EXPECT_EQ(a.result, a.action(1));
    std::vector<std::string> expected = Logged(a.action, a.log, a.exitCode);
    if (a.rollback != nullptr) {
        EXPECT_EQ((UINT)ERROR_SUCCESS, a.rollback(1));
        expected = Then(expected, Logged(a.rollback, a.rollbackLog, a.rollbackExitCode));
    } else if (a.result == ERROR_SUCCESS) {
        host::SetDeferred(false);
        EXPECT_EQ((UINT)ERROR_SUCCESS, RestartIfSwitched(1));
    }

    ExpectState(a.tonerLow, a.recorded);
    // The marks die with the restart, and a rollback takes its own away.
    for (const host::RegCall &call : host::RegCalls())
        EXPECT_TRUE(call.function != "RegCreateKeyExA" || call.path != "SOFTWARE\\BrisvaneInstallation"
                    || call.options == REG_OPTION_VOLATILE);
    EXPECT_TRUE(a.rollback == nullptr || host::ValueNames("SOFTWARE\\BrisvaneInstallation").empty());
    EXPECT_EQ(a.rebootAtEnd, host::RebootAtEnd());
    EXPECT_TRUE(host::RestartRequests().empty());
    EXPECT_EQ(expected, host::InstallerLog());
}

const std::vector<std::string> OTHER_PRINTER_RECORDED = { u8"Принтер: Office",
                                                          u8"Сообщения отключены для другого принтера: Studio",
                                                          u8"Сейчас нет TonerLow: Office",
                                                          u8"Сейчас в записи: Studio" };

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    , PackageAction,
    ::testing::Values(
        Action{ "install", OFFICE, SwitchOff, "", ERROR_SUCCESS, true, true, "Office", SWITCHED_OFF, 3010 },
        Action{ "install for the printer named", OFFICE, SwitchOff, "Studio", ERROR_SUCCESS, true, false, "Studio",
                { u8"Принтер: Studio", u8"Записано: HKLM\\SOFTWARE\\Merravin\\Studio\\QUARVEN\\0.0\\TonerLow",
                  SWITCHED_OFF[2], SWITCHED_OFF[3] }, 3010 },
        // An installation, a repair or an upgrade keeps to the recorded
        // printer; one that names another is refused.
        Action{ "install over another printer's record", STUDIO_SWITCHED_OFF, SwitchOff, "Office",
                ERROR_INSTALL_FAILURE, false, false, "Studio", OTHER_PRINTER_RECORDED, 1603 },
        Action{ "install adopts the recorded printer", STUDIO_SWITCHED_OFF, SwitchOff, "", ERROR_SUCCESS, false, false,
                "Studio", { u8"Принтер: Studio", u8"Сообщения уже отключены" }, 0 },
        Action{ "repair", OFFICE_RECORDED_ONLY, SwitchOff, "", ERROR_SUCCESS, true, true, "Office", SWITCHED_OFF,
                3010 },
        // A restart marked by an installation that failed is not this one's.
        Action{ "install after a failed one, nothing to change", STALE_RESTART, SwitchOff, "", ERROR_SUCCESS, false,
                true, "Office", { u8"Принтер: Office", u8"Сообщения уже отключены" }, 0 },
        Action{ "install for a printer whose name is as long as a key name", LONGEST_NAME, SwitchOff, LONGEST,
                ERROR_SUCCESS, true, false, LONGEST.c_str(),
                { u8"Принтер: " + LONGEST, u8"Записано: HKLM\\SOFTWARE\\Merravin\\" + LONGEST + "\\QUARVEN\\0.0\\TonerLow",
                  SWITCHED_OFF[2], SWITCHED_OFF[3] }, 3010 },
        Action{ "install with a name longer than any printer's", OFFICE, SwitchOff, std::string(300, 'x'),
                ERROR_INSTALL_FAILURE, false, false, nullptr, { u8"Нет поддерживаемого принтера: " }, 1168 },
        // A failed installation undoes what its own switch-off wrote, and nothing else.
        Action{ "rollback", OFFICE, SwitchOff, "", ERROR_SUCCESS, false, false, nullptr, SWITCHED_OFF, 3010,
                SwitchOffRollback, SWITCHED_ON, 3010 },
        Action{ "rollback where a record stood before", OFFICE_RECORDED_ONLY, SwitchOff, "", ERROR_SUCCESS, false,
                true, "Office", SWITCHED_OFF, 3010, SwitchOffRollback, { u8"Откатывать нечего" }, 0 },
        Action{ "removal", OFFICE_SWITCHED_OFF, SwitchOn, "", ERROR_SUCCESS, true, false, nullptr, SWITCHED_ON, 3010 },
        Action{ "removal refused", OFFICE_SETTINGS_HELD, SwitchOn, "", ERROR_INSTALL_FAILURE, false, true, "Office",
                { u8"Принтер: Office", u8"Инсталлятор не смог включить сообщения 'Мало Тонера",
                  u8"Сейчас TonerLow = 1: Office", u8"Сейчас в записи: Office" }, 1603 },
        Action{ "removal rolled back", OFFICE_SWITCHED_OFF, SwitchOn, "", ERROR_SUCCESS, false, true, "Office",
                SWITCHED_ON, 3010, SwitchOnRollback, SWITCHED_OFF, 3010 },
        Action{ "removal of a record that names no printer", RECORD_NOT_A_NAME, SwitchOn, "", ERROR_SUCCESS, false,
                true, nullptr, RECORD_NAMES_NO_PRINTER, 0 }),
    [](const auto &info) {
        std::string name;
        for (const char *c = info.param.name; *c != '\0'; c++)
            name += isalnum((unsigned char)*c) ? *c : '_';
        return name;
    });
// clang-format on

TEST_F(HostTest, UsageIsTheOneWindowAndALogThatDoesNotOpenStopsNothing)
{
    AddPrinter("Office", "TX 212");
    char help[] = "/?";
    EXPECT_EQ(0, WinMain(host::Instance(), nullptr, help, 1));
    ASSERT_EQ(1u, host::MessageBoxes().size());
    EXPECT_EQ((UINT)MB_ICONINFORMATION, host::MessageBoxes()[0].style);
    EXPECT_EQ(CAPTION, host::MessageBoxes()[0].caption);
    EXPECT_NE(std::string::npos, host::MessageBoxes()[0].text.find("/off [/printer \"ИМЯ\"]"));
    ExpectNoWrites();

    host::FailFile("Z:\\locked.log");
    char off[] = "/off /log Z:\\locked.log";
    EXPECT_EQ(3010, WinMain(host::Instance(), nullptr, off, 1));
    EXPECT_TRUE(fixture::TonerLowStands("Office"));
    EXPECT_EQ(1u, host::MessageBoxes().size());

    // Without a log, a failure shows no window either.
    host::Reset();
    char bare[] = "/off";
    EXPECT_EQ(1168, WinMain(host::Instance(), nullptr, bare, 1));
    EXPECT_TRUE(host::MessageBoxes().empty());
    host::SetAnsiCodePage(1252);
    EXPECT_EQ(0, WinMain(host::Instance(), nullptr, help, 1));
    host::Reset();  // window station flags that cannot be read leave the box where it always was
    host::SetWindowStationVisible(true, false);
    EXPECT_EQ(0, WinMain(host::Instance(), nullptr, help, 1));
    EXPECT_EQ(1u, host::MessageBoxes().size());
}

}  // namespace
