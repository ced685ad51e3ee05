#include "NetBuffer.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
