// Where the system may look for the DLLs loaded while the installer runs.
#ifndef BRISVANE_DLL_SEARCH_H
#define BRISVANE_DLL_SEARCH_H

// Limits every later DLL load to System32, without the current directory.
void RestrictDllSearch();

#endif
