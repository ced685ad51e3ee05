// A release of what is not held is refused and counted, so that a double free in the program,
// which Windows may answer with a corrupted heap, fails every check for nothing outstanding.
#include "Win32Contract.h"

#include <gtest/gtest.h>

#include "win32/console.h"
#include "win32/library.h"
#include "win32/netapi.h"
#include "win32/process.h"
#include "win32/security.h"

namespace {

using compat::BlockKind;

// Each family's release of a block; true when it is taken. A refused one answers as Windows does.
bool NetApiRelease(void* block) {
  NET_API_STATUS status = NetApiBufferFree(block);
  EXPECT_TRUE(status == NERR_Success || status == ERROR_INVALID_PARAMETER) << status;
  return status == NERR_Success;
}
bool LocalRelease(void* block) {
  HLOCAL answer = LocalFree(block);
  EXPECT_TRUE(answer == nullptr || answer == block);  // a refused block is handed back
  return answer == nullptr;
}
bool EnvironmentRelease(void* block) {
  return FreeEnvironmentStringsW(static_cast<LPWCH>(block)) != FALSE;
}

// Every release once is counted once: the first one is refused where it is another family's.
TEST(RefusedRelease, IsCountedAsOutstanding) {
  const struct {
    const char* name;
    BlockKind kind;
    bool (*first)(void*);
    bool (*second)(void*);
    bool firstTaken;
  } rows[] = {
      {"NetApiBufferFree twice", BlockKind::NetApiBuffer, NetApiRelease, NetApiRelease, true},
      {"LocalFree twice", BlockKind::LocalMemory, LocalRelease, LocalRelease, true},
      {"FreeEnvironmentStringsW twice", BlockKind::EnvironmentBlock, EnvironmentRelease,
       EnvironmentRelease, true},
      {"LocalFree on an account block", BlockKind::NetApiBuffer, LocalRelease, NetApiRelease,
       false},
      {"FreeEnvironmentStringsW on local memory", BlockKind::LocalMemory, EnvironmentRelease,
       LocalRelease, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(compat::CurrentOutstanding().Total(), 0u);
    void* block = compat::NewBlock(row.kind, 16);
    EXPECT_EQ(row.first(block), row.firstTaken);
    EXPECT_EQ(row.second(block), !row.firstTaken);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 1u);
    EXPECT_EQ(compat::TakeRefusedReleases(), 1u);
  }
  // A handle closed twice, a library freed that was never loaded.
  HANDLE handle = compat::NewConsoleHandle(true);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(compat::TakeRefusedReleases(), 1u);
  static int notAModule;
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&notAModule)));
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 1u);
  EXPECT_EQ(compat::TakeRefusedReleases(), 1u);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

}  // namespace
