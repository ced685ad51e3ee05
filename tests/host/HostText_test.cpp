// The host's bytes as wide text, whatever the locale: UTF-8 where it is UTF-8, Latin-1 byte by
// byte where it is not.
#include "host/HostText.h"

#include <gtest/gtest.h>

namespace compat {
namespace {

TEST(HostText, ReadsUtf8AndTakesEveryOtherByteAsLatin1) {
  struct Case {
    const char* bytes;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"alice", L"alice"},
      {"j\xC3\xBCrgen", L"j\u00FCrgen"},
      {"Erin \xC3\x96tzi", L"Erin \u00D6tzi"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
      {"\xF0\x9F\x98\x80", L"\U0001F600"},
      {"jos\xE9", L"jos\u00E9"},                          // Latin-1 bytes, not UTF-8
      {"bad\xFF\xC3", L"bad\u00FF\u00C3"},                // a lead byte at the end
      {"\xC3\x28", L"\u00C3("},                           // a lead byte without its continuation
      {"\xC0\xAF", L"\u00C0\u00AF"},                      // an overlong form
      {"\xE0\x80\xAF", L"\u00E0\u0080\u00AF"},            // overlong: "/" in three bytes
      {"\xE0\x81\x9C", L"\u00E0\u0081\u009C"},            // overlong: "\\" in three bytes
      {"\xF0\x80\x80\xAF", L"\u00F0\u0080\u0080\u00AF"},  // overlong: "/" in four bytes
      {"\xE0\x82\x80", L"\u00E0\u0082\u0080"},            // overlong: U+0080 in three bytes
      {"\xF0\x80\xA0\x80", L"\u00F0\u0080\u00A0\u0080"},  // overlong: U+0800 in four bytes
      {"\xED\xA0\x80", L"\u00ED\u00A0\u0080"},            // a surrogate
      {"\xF4\x90\x80\x80", L"\u00F4\u0090\u0080\u0080"},  // above U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(WideFromHost(c.bytes), c.text);
  }
}

TEST(HostText, NamesAreLookedUpInUtf8) {
  EXPECT_EQ(HostNameOf(L"j\u00FCrgen"), std::optional<std::string>("j\xC3\xBCrgen"));
  EXPECT_EQ(HostNameOf(L"\u65E5\u672C"), std::optional<std::string>("\xE6\x97\xA5\xE6\x9C\xAC"));
  EXPECT_EQ(HostNameOf(std::wstring(L"root\0x", 6)), std::nullopt);
  EXPECT_EQ(HostNameOf(std::wstring(1, static_cast<wchar_t>(0xD800))), std::nullopt);
}

}  // namespace
}  // namespace compat
