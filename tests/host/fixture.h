// A clean host layer for every test, and the checks every test ends with:
// no registry handle left open, no dialog left without a script.
#ifndef BRISVANE_TESTS_FIXTURE_H
#define BRISVANE_TESTS_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "host.h"

namespace fixture {

inline const std::string PRINTERS = "System\\CurrentControlSet\\control\\Print\\Printers";
inline const std::string RECORD = "SOFTWARE\\Brisvane";
inline const std::string TONER_LOW_ON("\x01\x00\x00\x00", 4);
inline const char CAPTION[] = "Обновление программы Zandor";
inline const std::string EVENT_SOURCE = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brisvane";
inline const std::string EVENT_MESSAGE_FILE("%SystemRoot%\\Microsoft.NET\\Framework\\v4.0.30319\\EventLogMessages.dll",
                                            69);

inline std::string SettingsKey(const std::string &printer)
{
    return "SOFTWARE\\Merravin\\" + printer + "\\QUARVEN\\0.0";
}

// An installed printer as the spooler lists it; its driver name ends in a NUL.
inline void AddPrinter(const std::string &name, const std::string &driver)
{
    host::SetValue(PRINTERS + "\\" + name, "Printer Driver", REG_SZ, driver + std::string(1, '\0'));
}

// The state a successful switch-off leaves for the printer.
inline void SeedSwitchedOff(const std::string &printer)
{
    host::SetValue(SettingsKey(printer), "TonerLow", REG_DWORD, TONER_LOW_ON);
    host::SetValue(RECORD, "Printer Name", REG_SZ, printer);
}

inline bool TonerLowStands(const std::string &printer)
{
    auto value = host::GetValue(SettingsKey(printer), "TonerLow");
    return value && value->type == REG_DWORD && value->data == TONER_LOW_ON;
}

inline void ExpectNoWrites()
{
    EXPECT_EQ(0, host::CountCalls("RegCreateKeyExA"));
    EXPECT_EQ(0, host::CountCalls("RegSetValueExA"));
    EXPECT_EQ(0, host::CountCalls("RegDeleteKeyA"));
}

inline void ExpectBox(size_t index, const std::string &text, UINT style)
{
    ASSERT_LT(index, host::MessageBoxes().size());
    const host::MessageBoxRecord &box = host::MessageBoxes()[index];
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(style, box.style);
    EXPECT_EQ(CAPTION, box.caption);
    EXPECT_FALSE(box.hasOwner);
}

inline void Enter(host::Dialog &d) { d.PressEnter(); }
inline void Escape(host::Dialog &d) { d.PressEscape(); }

}  // namespace fixture

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }
    void TearDown() override
    {
        EXPECT_EQ(0, host::OpenHandles());
        EXPECT_EQ(0, host::UnscriptedDialogs());
        for (const host::MessageBoxRecord &box : host::MessageBoxes())
            EXPECT_EQ(GetACP() != 1251, box.wide) << box.text;  // MessageBoxW exactly off code page 1251
    }
};

#endif
