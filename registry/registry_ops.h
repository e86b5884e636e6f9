// The registry operations: each returns 1 for success and 0 for failure.
#ifndef BRISVANE_REGISTRY_OPS_H
#define BRISVANE_REGISTRY_OPS_H

#include <windows.h>

// A printer name as the printer list gives it, or as a patch record holds it:
// a registry key name of at most 255 characters and its terminating NUL.
enum { PRINTER_NAME_SIZE = 256 };

// Selectors of PatchRecord.
enum { PATCH_STORE = 3, PATCH_LOAD = 4, PATCH_DELETE = 5 };

// Stores, loads (into a PRINTER_NAME_SIZE buffer) or deletes the patch record.
// Shows no message.
int PatchRecord(int selector, char *name);

// Opens and closes the patch record key: ERROR_SUCCESS when it stands and
// opens with full access, ERROR_FILE_NOT_FOUND when there is none.
LONG TestPatchRecord();

// What the patch record holds, for a run that must not take anything else
// for a printer's name.
enum { RECORD_NONE, RECORD_PRINTER, RECORD_NOT_A_NAME, RECORD_UNREADABLE };

// RECORD_PRINTER, with the name in name (PRINTER_NAME_SIZE bytes), when the
// record's value is text that is one key name; RECORD_NOT_A_NAME when the
// key stands but its value is missing, of another type or no key name;
// RECORD_NONE without the key, and RECORD_UNREADABLE when it does not open
// with full access or cannot be read. Shows no message.
int ReadPatchRecord(char *name);

// Copies the name of the first installed printer with a supported driver into
// name (PRINTER_NAME_SIZE bytes). Writes name only on success. Shows no message.
int FindSupportedPrinter(char *name);

// Whether the printer of that name is installed with a supported driver.
int IsSupportedPrinter(const char *name);

// Writes TonerLow = 1 for the printer; shows its own message on failure.
int ApplyTonerLowSetting(const char *name);

// Whether TonerLow = 1 stands for the printer.
int TonerLowStands(const char *name);

// Removes the monitor settings of the recorded printer, then the patch record.
// Shows no message.
int RemoveTonerLowSetting();

#endif
