// Run-time linking against the stand-in's own ADVAPI32.DLL, and critical sections.
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

#include "Win32Contract.h"

namespace {

struct Export {
  const char* name;
  FARPROC address;
};

template <typename Function>
FARPROC AsFarProc(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

#define EXPORT(name) \
  { #name, AsFarProc(&(name)) }

// The stand-in's ADVAPI32.DLL offers the functions the program binds at run time.
const Export kAdvapi32Exports[] = {
    EXPORT(ConvertSidToStringSidA),
    EXPORT(ConvertSidToStringSidW),
    EXPORT(ConvertStringSidToSidA),
    EXPORT(ConvertStringSidToSidW),
    EXPORT(ConvertStringSecurityDescriptorToSecurityDescriptorA),
    EXPORT(ConvertStringSecurityDescriptorToSecurityDescriptorW),
    EXPORT(ConvertSecurityDescriptorToStringSecurityDescriptorA),
    EXPORT(ConvertSecurityDescriptorToStringSecurityDescriptorW),
    EXPORT(GetNamedSecurityInfoA),
    EXPORT(GetNamedSecurityInfoW),
    EXPORT(SetNamedSecurityInfoA),
    EXPORT(SetNamedSecurityInfoW),
    EXPORT(SetEntriesInAclA),
    EXPORT(SetEntriesInAclW),
};
#undef EXPORT

constexpr const char* kAdvapi32 = "ADVAPI32.DLL";

// The stand-in's ADVAPI32.DLL as a module handle; its references are counted with the
// process's other outstanding resources.
HMODULE Advapi32() {
  static int module;
  return reinterpret_cast<HMODULE>(&module);
}

// Windows matches a library's name without regard to case, with or without ".DLL".
bool IsAdvapi32(const char* name) {
  return strcasecmp(name, kAdvapi32) == 0 || strcasecmp(name, "ADVAPI32") == 0;
}

bool Loaded(HMODULE module) {
  return module == Advapi32() && compat::CurrentOutstanding().libraryReferences > 0;
}

std::recursive_mutex& LockOf(LPCRITICAL_SECTION section) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR libFileName) {
  if (libFileName == nullptr || !IsAdvapi32(libFileName) ||
      !compat::TheProcess().LibraryLoads(kAdvapi32)) {
    return compat::FailWith<HMODULE>(ERROR_MOD_NOT_FOUND, nullptr);
  }
  compat::AddLibraryReference();
  return Advapi32();
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!Loaded(module)) return compat::FailWith<FARPROC>(ERROR_INVALID_HANDLE, nullptr);
  // A value below 0x10000 is an ordinal, not a name; no entry here is known by its ordinal.
  bool byName = reinterpret_cast<uintptr_t>(procName) > 0xFFFF;
  for (const Export& entry : kAdvapi32Exports) {
    if (byName && std::strcmp(entry.name, procName) == 0 &&
        compat::TheProcess().LibraryExports(kAdvapi32, entry.name)) {
      return entry.address;
    }
  }
  return compat::FailWith<FARPROC>(ERROR_PROC_NOT_FOUND, nullptr);
}

// A handle that is no loaded module, advapi32 freed more often than loaded among them, is not
// found; a null one is refused as invalid, as Wine does.
BOOL WINAPI FreeLibrary(HMODULE libModule) {
  if (libModule != Advapi32() || !compat::RemoveLibraryReference()) {
    compat::CountRefusedRelease();
    return compat::Fail(libModule == nullptr ? ERROR_INVALID_HANDLE : ERROR_MOD_NOT_FOUND);
  }
  return TRUE;
}

// A critical section holds its recursive lock in place, as Windows' structure does.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION criticalSection) {
  new (criticalSection->storage) std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION criticalSection) {
  LockOf(criticalSection).lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION criticalSection) {
  LockOf(criticalSection).unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION criticalSection) {
  LockOf(criticalSection).~recursive_mutex();
}
