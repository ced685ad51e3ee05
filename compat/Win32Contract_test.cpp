// A release of what is not held is refused and counted, so that a double free in the program,
// which Windows may answer with a corrupted heap, fails every check for nothing outstanding.
#include "Win32Contract.h"

#include <gtest/gtest.h>

#include <functional>

#include "win32/console.h"
#include "win32/library.h"
#include "win32/netapi.h"
#include "win32/process.h"
#include "win32/security.h"

namespace {

void* Block(compat::BlockKind kind) {
  return compat::NewBlock(kind, 16);
}

TEST(RefusedRelease, IsCountedAsOutstanding) {
  using compat::BlockKind;
  const struct {
    const char* name;
    std::function<void()> releases;
  } rows[] = {
      {"NetApiBufferFree twice",
       [] {
         void* buffer = Block(BlockKind::NetApiBuffer);
         EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
         EXPECT_EQ(NetApiBufferFree(buffer), ERROR_INVALID_PARAMETER);
       }},
      {"LocalFree twice",
       [] {
         void* memory = Block(BlockKind::LocalMemory);
         EXPECT_EQ(LocalFree(memory), nullptr);
         EXPECT_EQ(LocalFree(memory), memory);
       }},
      {"LocalFree on an account block, then its own release",
       [] {
         void* buffer = Block(BlockKind::NetApiBuffer);
         EXPECT_EQ(LocalFree(buffer), buffer);
         EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
       }},
      {"FreeEnvironmentStringsW on local memory, then its own release",
       [] {
         void* memory = Block(BlockKind::LocalMemory);
         EXPECT_FALSE(FreeEnvironmentStringsW(static_cast<LPWCH>(memory)));
         EXPECT_EQ(LocalFree(memory), nullptr);
       }},
      {"CloseHandle twice",
       [] {
         HANDLE handle = compat::NewConsoleHandle(true);
         EXPECT_TRUE(CloseHandle(handle));
         EXPECT_FALSE(CloseHandle(handle));
       }},
      {"FreeLibrary of a module never loaded",
       [] {
         static int notAModule;
         EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&notAModule)));
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(compat::CurrentOutstanding().Total(), 0u);
    row.releases();
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 1u);
    EXPECT_EQ(compat::TakeRefusedReleases(), 1u);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

}  // namespace
