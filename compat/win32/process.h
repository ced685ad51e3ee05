// Process, user and computer names, environment, locale (processthreadsapi.h, winbase.h,
// sysinfoapi.h, processenv.h, winnls.h).
#pragma once

#include "win32/base.h"

// The formats the stand-in names, with Windows' values; the others lie between them.
enum COMPUTER_NAME_FORMAT {
  ComputerNameNetBIOS,
  ComputerNameDnsFullyQualified = 3,
  ComputerNameMax = 8,
};
constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

BOOL WINAPI GetUserNameW(LPWSTR buffer, LPDWORD cchBuffer);
BOOL WINAPI GetComputerNameExW(COMPUTER_NAME_FORMAT nameType, LPWSTR buffer, LPDWORD cchSize);
BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD cchSize);
LPWCH WINAPI GetEnvironmentStringsW();
BOOL WINAPI FreeEnvironmentStringsW(LPWCH environmentBlock);

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x00001003;
constexpr LCTYPE LOCALE_S1159 = 0x00000028;
constexpr LCTYPE LOCALE_S2359 = 0x00000029;
constexpr LCTYPE LOCALE_SMONTHNAME1 = 0x00000038;  // up to LOCALE_SMONTHNAME12, 0x43

int WINAPI GetLocaleInfoW(LCID locale, LCTYPE lcType, LPWSTR data, int cchData);
