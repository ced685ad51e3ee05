#include "CodePages.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePages, EncodeWhatEachCodePageHoldsAndReplaceTheRest) {
  struct Case {
    UINT codePage;
    std::wstring text;
    std::string expected;
  };
  const Case cases[] = {
      {65001, L"abc", "abc"},
      {65001, L"\u00e9\u20ac\U0001F600", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
      {65001, std::wstring(1, static_cast<wchar_t>(0xD800)), "\xef\xbf\xbd"},
      {20127, L"a\u00e9", "a?"},
      {28591, L"\u00e9\u00ff\u0100", "\xe9\xff?"},
      {28605, L"\u20ac\u00a4", "\xa4?"},
      {1252, L"\u20ac\u2122\u00e9\u0081", "\x80\x99\xe9?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compat::EncodeText(c.codePage, c.text), c.expected) << c.codePage;
  }
}

TEST(CodePages, DecodeAndMarkInvalidBytes) {
  struct Case {
    UINT codePage;
    std::string bytes;
    std::wstring expected;
  };
  const Case cases[] = {
      {65001, "J\xc3\xb6rg", L"J\u00f6rg"},
      {65001, "\xff", L"\ufffd"},
      {65001, "\xc3", L"\ufffd"},
      {65001, "\xc0\xaf", L"\ufffd\ufffd"},            // overlong
      {65001, "\xed\xa0\x80", L"\ufffd\ufffd\ufffd"},  // surrogate
      {20127, "a\xe9", L"a\ufffd"},
      {28591, "\xe9", L"\u00e9"},
      {28605, "\xa4", L"\u20ac"},
      {1252, "\x80\x81", L"\u20ac\ufffd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compat::DecodeText(c.codePage, c.bytes), c.expected) << c.codePage;
  }
}

TEST(CodePages, KnowsTheLocaleCharacterSets) {
  EXPECT_EQ(compat::CodePageOfCharset("UTF-8"), 65001u);
  EXPECT_EQ(compat::CodePageOfCharset("utf8"), 65001u);
  EXPECT_EQ(compat::CodePageOfCharset("ANSI_X3.4-1968"), 20127u);
  EXPECT_EQ(compat::CodePageOfCharset("ISO-8859-1"), 28591u);
  EXPECT_EQ(compat::CodePageOfCharset("ISO-8859-15"), 28605u);
  EXPECT_EQ(compat::CodePageOfCharset("KOI8-R"), 20127u);
}

}  // namespace
