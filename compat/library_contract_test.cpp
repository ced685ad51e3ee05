// The contract of run-time binding: the library the program binds, by its names, its entry
// points, a library and an entry point that do not exist; and critical sections.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "contract/Contract.h"

namespace {

using contract::Everywhere;
using contract::Where;

struct LibraryRow {
  const char* name;
  const char* library;
  const char* entry;  // null: only the library
  bool found;
  DWORD lastError;  // when not found; 0: an error, whichever
  Where where = Everywhere();
};

const LibraryRow kLibraries[] = {
    {"advapi32", "ADVAPI32.DLL", "ConvertSidToStringSidW", true, 0},
    {"advapi32_any_case_without_extension", "advapi32", "ConvertStringSidToSidW", true, 0},
    {"advapi32_8_bit_entry", "ADVAPI32.DLL", "ConvertStringSidToSidA", true, 0},
    {"named_security_entry", "ADVAPI32.DLL", "GetNamedSecurityInfoW", true, 0},
    {"missing_library", "NoSuchLibrary-4711.dll", nullptr, false, ERROR_MOD_NOT_FOUND},
    {"missing_entry", "ADVAPI32.DLL", "NoSuchEntryPoint4711", false, ERROR_PROC_NOT_FOUND},
    // An ordinal (a value below 0x10000 in place of a name) that the library does not export:
    // not found, never read as a name. (Wine answers ERROR_PROC_NOT_FOUND; Windows' loader may
    // answer ERROR_INVALID_ORDINAL, so the row asks only for an error.)
    {"ordinal_beyond_the_exports", "ADVAPI32.DLL",
     reinterpret_cast<const char*>(static_cast<uintptr_t>(0xFFFF)), false, 0},
};

class LibraryContract : public ::testing::TestWithParam<LibraryRow> {};

TEST_P(LibraryContract, Holds) {
  const LibraryRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  SetLastError(0);
  HMODULE library = LoadLibraryA(row.library);
  if (row.entry == nullptr) {
    EXPECT_EQ(library != nullptr, row.found);
    if (!row.found) {
      EXPECT_EQ(GetLastError(), row.lastError);
    }
    if (library != nullptr) {
      EXPECT_TRUE(FreeLibrary(library));
    }
    return;
  }
  ASSERT_NE(library, nullptr) << GetLastError();
  SetLastError(0);
  FARPROC entry = GetProcAddress(library, row.entry);
  EXPECT_EQ(entry != nullptr, row.found);
  if (!row.found && row.lastError != 0) {
    EXPECT_EQ(GetLastError(), row.lastError);
  } else if (!row.found) {
    EXPECT_NE(GetLastError(), 0u);
  }
  // The same library loaded twice is one module, freed once per load.
  HMODULE again = LoadLibraryA(row.library);
  EXPECT_EQ(again, library);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(library));
}

CONTRACT_TABLE(LibraryContract, kLibraries)

// A critical section lets the thread that holds it in again, keeps another thread out until it
// has been left as often as entered, and can be made again once deleted (the binding group's
// lock lives from the first start of its modules to the last end, and again after).
TEST(CriticalSectionContract, RecursiveExclusiveAndMadeAgain) {
  CRITICAL_SECTION section;
  for (int round = 0; round < 2; ++round) {
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::atomic<bool> entered{false};
    std::thread other([&] {
      EnterCriticalSection(&section);
      entered = true;
      LeaveCriticalSection(&section);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered) << round;
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered) << round << ": entered twice, left once";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered) << round;
    DeleteCriticalSection(&section);
  }
}

// FreeLibrary on a handle that is no loaded module fails: one that points elsewhere is not found.
// (A null one: Wine answers ERROR_INVALID_HANDLE, Windows' loader may answer that it is not
// found, so the row asks only for an error.)
TEST(FreeLibraryContract, RefusesWhatIsNoModule) {
  int notAModule = 0;
  struct Case {
    HMODULE module;
    DWORD lastError;
  };
  const Case cases[] = {
      {nullptr, 0},
      {reinterpret_cast<HMODULE>(&notAModule), ERROR_MOD_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(c.module));
    if (c.lastError != 0) {
      EXPECT_EQ(GetLastError(), c.lastError) << c.module;
    } else {
      EXPECT_NE(GetLastError(), 0u);
    }
  }
}

}  // namespace
