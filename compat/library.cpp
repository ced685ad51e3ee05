// Run-time linking against the stand-in's own libraries, and critical sections.
#include <strings.h>

#include <cstring>
#include <mutex>

#include "Machine.h"
#include "Resources.h"

namespace {

struct Export {
  const char* name;
  FARPROC address;
};

template <typename Function>
FARPROC AsFarProc(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The stand-in's "ADVAPI32.DLL": the functions of advapi32 that the stand-in provides.
const Export kAdvapi32Exports[] = {
    {"ConvertSidToStringSidA", AsFarProc(&ConvertSidToStringSidA)},
    {"ConvertSidToStringSidW", AsFarProc(&ConvertSidToStringSidW)},
    {"ConvertStringSidToSidA", AsFarProc(&ConvertStringSidToSidA)},
    {"ConvertStringSidToSidW", AsFarProc(&ConvertStringSidToSidW)},
    {"ConvertStringSecurityDescriptorToSecurityDescriptorA",
     AsFarProc(&ConvertStringSecurityDescriptorToSecurityDescriptorA)},
    {"ConvertStringSecurityDescriptorToSecurityDescriptorW",
     AsFarProc(&ConvertStringSecurityDescriptorToSecurityDescriptorW)},
    {"ConvertSecurityDescriptorToStringSecurityDescriptorA",
     AsFarProc(&ConvertSecurityDescriptorToStringSecurityDescriptorA)},
    {"ConvertSecurityDescriptorToStringSecurityDescriptorW",
     AsFarProc(&ConvertSecurityDescriptorToStringSecurityDescriptorW)},
    {"GetNamedSecurityInfoA", AsFarProc(&GetNamedSecurityInfoA)},
    {"GetNamedSecurityInfoW", AsFarProc(&GetNamedSecurityInfoW)},
    {"SetNamedSecurityInfoA", AsFarProc(&SetNamedSecurityInfoA)},
    {"SetNamedSecurityInfoW", AsFarProc(&SetNamedSecurityInfoW)},
    {"SetEntriesInAclA", AsFarProc(&SetEntriesInAclA)},
    {"SetEntriesInAclW", AsFarProc(&SetEntriesInAclW)},
    {"LookupAccountNameW", AsFarProc(&LookupAccountNameW)},
    {"LookupAccountSidW", AsFarProc(&LookupAccountSidW)},
    {"LookupPrivilegeValueW", AsFarProc(&LookupPrivilegeValueW)},
    {"LookupPrivilegeDisplayNameW", AsFarProc(&LookupPrivilegeDisplayNameW)},
    {"OpenProcessToken", AsFarProc(&OpenProcessToken)},
    {"OpenThreadToken", AsFarProc(&OpenThreadToken)},
    {"GetTokenInformation", AsFarProc(&GetTokenInformation)},
    {"PrivilegeCheck", AsFarProc(&PrivilegeCheck)},
    {"GetUserNameW", AsFarProc(&GetUserNameW)},
};

struct Library {
  const char* name;
  const Export* exports;
  size_t exportCount;
  std::mutex lock;
  size_t references = 0;
};

Library& Advapi32() {
  static Library library{"ADVAPI32.DLL", kAdvapi32Exports, std::size(kAdvapi32Exports), {}, 0};
  return library;
}

// Windows matches library names without regard to case, with or without ".DLL".
Library* FindLibrary(const char* name) {
  Library& advapi32 = Advapi32();
  if (strcasecmp(name, "ADVAPI32.DLL") == 0 || strcasecmp(name, "ADVAPI32") == 0) return &advapi32;
  return nullptr;
}

Library* FromHandle(HMODULE module) {
  Library& advapi32 = Advapi32();
  return reinterpret_cast<HMODULE>(&advapi32) == module ? &advapi32 : nullptr;
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR libFileName) {
  Library* library = libFileName == nullptr ? nullptr : FindLibrary(libFileName);
  if (library == nullptr || !compat::CurrentMachine().LibraryLoads(library->name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(library->lock);
  ++library->references;
  compat::AddLibraryReference();
  return reinterpret_cast<HMODULE>(library);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  Library* library = FromHandle(module);
  if (library == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> guard(library->lock);
    if (library->references == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  if (procName != nullptr) {
    for (size_t i = 0; i < library->exportCount; ++i) {
      const Export& entry = library->exports[i];
      if (std::strcmp(entry.name, procName) == 0 &&
          compat::CurrentMachine().LibraryExports(library->name, entry.name)) {
        return entry.address;
      }
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE libModule) {
  Library* library = FromHandle(libModule);
  if (library == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(library->lock);
  if (library->references == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --library->references;
  compat::RemoveLibraryReference();
  return TRUE;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION criticalSection) {
  criticalSection->lock = new std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION criticalSection) {
  criticalSection->lock->lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION criticalSection) {
  criticalSection->lock->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION criticalSection) {
  delete criticalSection->lock;
  criticalSection->lock = nullptr;
}
