// Every registry path, value name and driver name the installer knows.
// All paths lie under HKEY_LOCAL_MACHINE.
#ifndef BRISVANE_KEYS_H
#define BRISVANE_KEYS_H

// The spooler's list of installed printers: one subkey per printer.
inline constexpr char PRINTER_LIST_KEY[] = "System\\CurrentControlSet\\control\\Print\\Printers";
inline constexpr char PRINTER_DRIVER_VALUE[] = "Printer Driver";

// Our own record of the printer whose warnings were switched off.
inline constexpr char PATCH_RECORD_KEY[] = "SOFTWARE\\Brisvane";
inline constexpr char PATCH_RECORD_VALUE[] = "Printer Name";

// What the switches of one installation of the installer package did, for
// its rollback and its restart request: a volatile key, gone at the next
// restart, that only administrators and SYSTEM may write.
inline constexpr char INSTALLATION_KEY[] = "SOFTWARE\\BrisvaneInstallation";
inline constexpr char MARK_RESTART[] = "Restart";            // a switch changed something
inline constexpr char MARK_SWITCHED_OFF[] = "Switched Off";  // the switch-off found no record and wrote one
inline constexpr char MARK_SWITCHED_ON[] = "Switched On";    // the switch-on began for this printer

// The source of the Application events that unattended runs report. Event
// Viewer finds an event's text through the source's message file: the .NET
// Framework's, whose message for every ID is the event's first string alone,
// stays where it is when a deployment tool deletes the copy of the program it ran.
inline constexpr char EVENT_SOURCE_KEY[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brisvane";
inline constexpr char EVENT_MESSAGE_FILE_VALUE[] = "EventMessageFile";
inline constexpr char EVENT_MESSAGE_FILE[] = "%SystemRoot%\\Microsoft.NET\\Framework\\v4.0.30319\\EventLogMessages.dll";

// The status monitor's keys: maker key \ printer \ monitor key \ settings key.
inline constexpr char MAKER_KEY[] = "SOFTWARE\\Merravin";
inline constexpr char MAKER_PREFIX[] = "SOFTWARE\\Merravin\\";
inline constexpr char MONITOR_SUFFIX[] = "\\QUARVEN";
inline constexpr char MONITOR_SETTINGS_SUFFIX[] = "\\QUARVEN\\0.0";
inline constexpr char MONITOR_KEY_NAME[] = "QUARVEN";
inline constexpr char MONITOR_SETTINGS_KEY_NAME[] = "0.0";
inline constexpr char TONER_LOW_VALUE[] = "TonerLow";

// Stands in the driver buffer until a query writes over it; equals no driver.
inline constexpr char DRIVER_SENTINEL[] = "NOT SUPPORTED";

// The drivers whose printers the status monitor serves, in the order compared.
// clang-format off
inline constexpr const char *SupportedDriverNames[] = {
    "CORVANA 3c Turbo-X",
    "CORVANA 5c Turbo-X",
    "CORVANA 5d",
    "CORVANA 5d Max",
    "CORVANA 5c Mini",
    "TX 212",
    "TX 414",
};
// clang-format on

#endif
