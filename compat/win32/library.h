// Run-time linking and critical sections (libloaderapi.h, synchapi.h).
#pragma once

#include <mutex>

#include "win32/base.h"

HMODULE WINAPI LoadLibraryA(LPCSTR libFileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE libModule);

// A critical section is recursive on Windows; the stand-in keeps a recursive mutex in place.
struct CRITICAL_SECTION {
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION criticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION criticalSection);
