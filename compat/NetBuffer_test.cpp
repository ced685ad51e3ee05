#include "NetBuffer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "Region.h"
#include "Win32Contract.h"
#include "win32/netapi.h"

namespace {

TEST(NetBuffer, KeepsEveryTextThroughGrowthAndSharesRepeatedOnes) {
  compat::NetBuffer buffer(sizeof(USER_INFO_2), {offsetof(USER_INFO_2, usri2_name),
                                                 offsetof(USER_INFO_2, usri2_script_path),
                                                 offsetof(USER_INFO_2, usri2_logon_hours)});
  const BYTE hours[21] = {1, 2, 3};
  const int kCount = 50000;
  for (int i = 0; i < kCount; ++i) {
    auto* record = reinterpret_cast<USER_INFO_2*>(buffer.AddRecord());
    ASSERT_NE(record, nullptr);
    record->usri2_priv = static_cast<DWORD>(i);
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_name), L"user" + std::to_wstring(i)));
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_script_path),
                               i % 1000 < 500 ? L"/bin/bash" : L"/bin/sh"));
    ASSERT_TRUE(buffer.SetBytes(offsetof(USER_INFO_2, usri2_logon_hours), hours, sizeof(hours)));
  }
  ASSERT_EQ(buffer.Count(), static_cast<size_t>(kCount));
  auto* records = reinterpret_cast<USER_INFO_2*>(buffer.Finish());
  ASSERT_NE(records, nullptr);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(records[i].usri2_priv, static_cast<DWORD>(i));
    ASSERT_EQ(std::wstring(records[i].usri2_name), L"user" + std::to_wstring(i));
    ASSERT_EQ(std::wstring(records[i].usri2_script_path),
              i % 1000 < 500 ? L"/bin/bash" : L"/bin/sh");
    ASSERT_EQ(records[i].usri2_logon_hours[2], 3);
    ASSERT_EQ(records[i].usri2_password, nullptr);  // never set: stays null
  }
  // Equal values in a row are one copy; a changed value is a copy of its own.
  EXPECT_EQ(records[0].usri2_script_path, records[499].usri2_script_path);
  EXPECT_NE(records[499].usri2_script_path, records[500].usri2_script_path);
  EXPECT_EQ(records[0].usri2_logon_hours, records[kCount - 1].usri2_logon_hours);
  EXPECT_NE(records[0].usri2_name, records[1].usri2_name);
  EXPECT_EQ(compat::CurrentOutstanding().netApiBuffers, 1u);
  EXPECT_EQ(NetApiBufferFree(records), NERR_Success);
  EXPECT_EQ(compat::CurrentOutstanding().netApiBuffers, 0u);
  EXPECT_EQ(NetApiBufferFree(records), ERROR_INVALID_PARAMETER);  // not twice
  EXPECT_EQ(compat::TakeRefusedReleases(), 1u);
}

// A value equal to one stored before shares its copy, wherever it was stored; a text that ends the
// text stored just before it shares that one's tail; nothing else is shared.
TEST(NetBuffer, SharesEqualValuesAndTailsOnly) {
  compat::NetBuffer buffer(sizeof(USER_INFO_2), {offsetof(USER_INFO_2, usri2_name),
                                                 offsetof(USER_INFO_2, usri2_home_dir),
                                                 offsetof(USER_INFO_2, usri2_usr_comment)});
  struct Row {
    const wchar_t* home;
    const wchar_t* name;
    const wchar_t* comment;
  };
  const Row rows[] = {
      {L"/home/alice", L"alice", L"Room 1"}, {L"/home/bob", L"bob", L"Room 2"},
      {L"/srv/www", L"www-data", L"Room 1"}, {L"/home/alice2", L"e2", L""},
      {L"/home/carol", L"carol", L""},       {L"/", L"", L"Room 2"},
  };
  // Equal values apart are found in long lists only: a list of a few records makes no table.
  const size_t kBefore = 100;
  for (size_t i = 0; i < kBefore; ++i) {
    ASSERT_NE(buffer.AddRecord(), nullptr);
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_name), L"x" + std::to_wstring(i)));
  }
  for (const Row& row : rows) {
    ASSERT_NE(buffer.AddRecord(), nullptr);
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_home_dir), row.home));
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_name), row.name));
    ASSERT_TRUE(buffer.SetText(offsetof(USER_INFO_2, usri2_usr_comment), row.comment));
  }
  auto* block = reinterpret_cast<USER_INFO_2*>(buffer.Finish());
  ASSERT_NE(block, nullptr);
  const USER_INFO_2* records = block + kBefore;
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(std::wstring(records[i].usri2_home_dir), rows[i].home) << i;
    EXPECT_EQ(std::wstring(records[i].usri2_name), rows[i].name) << i;
    EXPECT_EQ(std::wstring(records[i].usri2_usr_comment), rows[i].comment) << i;
  }
  // Tails: "alice" ends "/home/alice", "e2" ends "/home/alice2"; "www-data" ends nothing.
  EXPECT_EQ(records[0].usri2_name, records[0].usri2_home_dir + 6);
  EXPECT_EQ(records[3].usri2_name, records[3].usri2_home_dir + 10);
  EXPECT_FALSE(records[2].usri2_name >= records[2].usri2_home_dir &&
               records[2].usri2_name <= records[2].usri2_home_dir + 8);
  // Equal values, in a row or apart: one copy; "alice" in "/home/alice2" is no tail.
  EXPECT_EQ(records[0].usri2_usr_comment, records[2].usri2_usr_comment);
  EXPECT_EQ(records[1].usri2_usr_comment, records[5].usri2_usr_comment);
  EXPECT_NE(records[0].usri2_home_dir, records[3].usri2_home_dir);
  EXPECT_EQ(NetApiBufferFree(block), NERR_Success);
}

TEST(NetBuffer, KeepsTextsOfEveryLength) {
  compat::NetBuffer buffer(sizeof(LPWSTR), {0});
  const std::wstring texts[] = {L"", std::wstring(63, L'a'), std::wstring(64, L'b'),
                                std::wstring(65536, L'c'), L""};
  for (const std::wstring& text : texts) {
    ASSERT_NE(buffer.AddRecord(), nullptr);
    ASSERT_TRUE(buffer.SetText(0, text));
  }
  auto* names = reinterpret_cast<LPWSTR*>(buffer.Finish());
  ASSERT_NE(names, nullptr);
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(std::wstring(names[i]), texts[i]) << i;
  EXPECT_EQ(NetApiBufferFree(names), NERR_Success);
}

TEST(NetBuffer, AnEmptyListIsStillOneBlock) {
  compat::NetBuffer buffer(sizeof(LPWSTR), {0});
  LPBYTE block = buffer.Finish();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(NetApiBufferFree(block), NERR_Success);
}

// A finished builder is empty and makes a second block of its own: nothing it shared in the
// first (a field's last text, a recent text of a long list, the empty text) is taken for the
// second.
TEST(NetBuffer, StartsAfreshAfterFinish) {
  compat::NetBuffer buffer(sizeof(LPWSTR), {0});
  std::vector<std::wstring> first = {L""};
  for (int i = 0; i < 70; ++i) first.push_back(L"name" + std::to_wstring(i));
  first.insert(first.end(), {L"shared", L""});
  const std::vector<std::wstring> rounds[] = {first, {L"shared", L""}, {L"name69", L""}};
  for (const std::vector<std::wstring>& texts : rounds) {
    for (const std::wstring& text : texts) {
      ASSERT_NE(buffer.AddRecord(), nullptr);
      ASSERT_TRUE(buffer.SetText(0, text));
    }
    auto* names = reinterpret_cast<LPWSTR*>(buffer.Finish());
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(buffer.Count(), 0u);
    for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(std::wstring(names[i]), texts[i]) << i;
    EXPECT_EQ(NetApiBufferFree(names), NERR_Success);
  }
}

// What a region holds stays when it outgrows its reservation and moves: every byte written
// before, also those written after it last grew in place.
TEST(Region, KeepsItsBytesWhenItMoves) {
  compat::Region region;
  auto byteAt = [](size_t i) { return static_cast<unsigned char>(i * 7 + 1); };
  size_t written = 0;
  for (size_t cb : {size_t{16}, size_t{4096}}) {
    ASSERT_TRUE(region.Reserve(cb));
    for (; written < cb; ++written) region.data()[written] = byteAt(written);
  }
  const unsigned char* before = region.data();
  ASSERT_TRUE(region.Reserve(region.capacity() + 1));
  ASSERT_NE(region.data(), before);
  size_t kept = 0;
  while (kept < written && region.data()[kept] == byteAt(kept)) ++kept;
  EXPECT_EQ(kept, written);
}

// Limits the address space to 64 MiB beyond what the process uses (ulimit -v).
bool LimitAddressSpace() {
  unsigned long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max =
      static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64u << 20);
  return pages != 0 && setrlimit(RLIMIT_AS, &limit) == 0;
}

// With the address space so limited, a list of 100,000 records is still made.
TEST(NetBufferDeathTest, WorksWithLittleAddressSpace) {
  EXPECT_EXIT(
      {
        if (!LimitAddressSpace()) _exit(2);
        compat::NetBuffer buffer(sizeof(USER_INFO_0), {offsetof(USER_INFO_0, usri0_name)});
        for (int i = 0; i < 100000; ++i) {
          if (buffer.AddRecord() == nullptr ||
              !buffer.SetText(offsetof(USER_INFO_0, usri0_name), L"user" + std::to_wstring(i))) {
            _exit(3);
          }
        }
        LPBYTE block = buffer.Finish();
        _exit(block != nullptr && NetApiBufferFree(block) == NERR_Success ? 0 : 4);
      },
      testing::ExitedWithCode(0), "");
}

// With the address space so limited, the region still grows by large steps: it moves (and
// copies all it holds) a few times, not once for every small piece added after the first step it
// could not have.
TEST(NetBufferDeathTest, GrowsByStepsWithLittleAddressSpace) {
  EXPECT_EXIT(
      {
        if (!LimitAddressSpace()) _exit(100);
        compat::Region region;
        int moves = 0;
        const unsigned char* data = nullptr;
        for (size_t cb = 4096; cb <= (24u << 20); cb += 4096) {
          if (!region.Reserve(cb)) _exit(101);
          if (region.data() != data) ++moves;
          data = region.data();
          region.data()[cb - 1] = 1;
        }
        _exit(std::min(moves, 99));
      },
      [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) <= 8; }, "");
}

}  // namespace
