#include "main/CommandLine.h"

#include <gtest/gtest.h>

#include "Format/Error.h"

namespace {

TEST(ReadFirstArgument, SplitsAsTheProgramDocuments) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"userlens", L""},
      {L"userlens    \t  ", L""},
      {L"userlens Alice", L"Alice"},
      {L"userlens -alice", L"-alice"},
      {L"userlens /ListUsers", L"/ListUsers"},
      {L"userlens alice /listusers", L"alice"},
      {L"userlens \"John Smith\"", L"John Smith"},
      {L"userlens \"\" alice", L"alice"},
      {L"userlens \"\"\"\" alice", L"alice"},
      {L"userlens \"\"", L""},
      {L"userlens jo\"hn sm\"ith next", L"john smith"},
      {L"userlens \"unterminated quote", L"unterminated quote"},
      {L"\"C:\\Program Files\\USERLENS.EXE\" bob", L"bob"},
      {L"userlens\tbob", L"bob"},
      {L"userlens \x01\x1f"
       L"bob",
       L"bob"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadFirstArgument(c.commandLine), c.expected) << c.commandLine;
  }
}

TEST(ReadFirstArgument, HoldsAtMost4096CodeUnits) {
  std::wstring exact(4096, L'a');
  EXPECT_EQ(ReadFirstArgument(L"userlens " + exact), exact);
  EXPECT_THROW(ReadFirstArgument(L"userlens " + exact + L"a"), ERangeError);
  // The limit applies to the first argument only, not to the program's path.
  EXPECT_EQ(ReadFirstArgument(exact + L"a bob"), L"bob");
  try {
    ReadFirstArgument(L"userlens \"" + exact + L"b\"");
    FAIL() << "no range error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), "Range check error");
  }
}

TEST(ReadFirstArgument, CountsCharactersBeyondTheBasicPlaneAsTwoUnits) {
  if (sizeof(wchar_t) < 4) GTEST_SKIP() << "wide characters are UTF-16 code units here";
  std::wstring half(2048, static_cast<wchar_t>(0x1F600));
  EXPECT_EQ(ReadFirstArgument(L"userlens " + half), half);
  EXPECT_THROW(ReadFirstArgument(L"userlens " + half + L"a"), ERangeError);
}

}  // namespace
