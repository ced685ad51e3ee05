// Command line, letter case and code-page conversion (processenv.h, winuser.h, stringapiset.h).
#pragma once

#include "win32/base.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

LPWSTR WINAPI GetCommandLineW();
DWORD WINAPI CharLowerBuffW(LPWSTR text, DWORD cchLength);
DWORD WINAPI CharUpperBuffW(LPWSTR text, DWORD cchLength);
UINT WINAPI GetACP();
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int cchWide,
                               LPSTR multiByteText, int cbMultiByte, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar);
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteText, int cbMultiByte,
                               LPWSTR wideText, int cchWide);
