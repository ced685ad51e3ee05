// Host bytes to wide text and back, for names the locale's character set cannot decode.
#include "host/HostText.h"

#include <gtest/gtest.h>

namespace compat {
namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kAscii = 20127;

TEST(HostText, NamesComeBackAsTheSameBytes) {
  struct Case {
    UINT codePage;
    const char* bytes;
  };
  const Case cases[] = {
      {kUtf8, "alice"},
      {kUtf8, "j\xC3\xBCrgen"},
      {kUtf8, "bad\xFF\xC3"},  // not UTF-8
      {kUtf8, "\xE6\x97\xA5\xE6\x9C\xAC"},
      {kAscii, "j\xC3\xBCrgen"},  // the C locale
      {kAscii, "plain"},
      {28591, "j\xFCrgen"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::wstring wide = WideFromHost(c.codePage, c.bytes);
    EXPECT_EQ(HostNameOf(c.codePage, wide), std::optional<std::string>(c.bytes));
  }
}

TEST(HostText, NamesThatCannotBeLookedUp) {
  EXPECT_EQ(HostNameOf(kAscii, L"\u65E5\u672C"), std::nullopt);
  EXPECT_EQ(HostNameOf(kAscii, L"j\u00FCrgen"), std::nullopt);
  EXPECT_EQ(HostNameOf(kUtf8, std::wstring(L"root\0x", 6)), std::nullopt);
  EXPECT_EQ(HostNameOf(kUtf8, L"j\u00FCrgen"), std::optional<std::string>("j\xC3\xBCrgen"));
}

}  // namespace
}  // namespace compat
