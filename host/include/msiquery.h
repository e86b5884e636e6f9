// Stand-in for <msiquery.h> (and <msi.h>) in the host build: what the
// installer package's custom actions use. host/msi.cpp implements it.
#ifndef BRISVANE_HOST_MSIQUERY_H
#define BRISVANE_HOST_MSIQUERY_H

#include <windows.h>

typedef DWORD MSIHANDLE;
typedef const WCHAR *LPCWSTR;
enum MSIRUNMODE { MSIRUNMODE_REBOOTATEND = 6 };
enum INSTALLMESSAGE { INSTALLMESSAGE_INFO = 0x04000000 };
#define ERROR_INSTALL_FAILURE 1603L

UINT WINAPI MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR value, LPDWORD size);
UINT WINAPI MsiSetMode(MSIHANDLE install, MSIRUNMODE mode, BOOL state);
MSIHANDLE WINAPI MsiCreateRecord(UINT fields);
UINT WINAPI MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value);
int WINAPI MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE type, MSIHANDLE record);
UINT WINAPI MsiCloseHandle(MSIHANDLE handle);

#endif
