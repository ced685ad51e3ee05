// Run-time linking and critical sections (libloaderapi.h, synchapi.h).
#pragma once

#include <mutex>

#include "win32/base.h"

HMODULE WINAPI LoadLibraryA(LPCSTR libFileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE libModule);

// A critical section is recursive on Windows; the stand-in wraps a recursive mutex.
struct CRITICAL_SECTION {
  std::recursive_mutex* lock;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION criticalSection);
