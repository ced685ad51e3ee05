// The code pages of locales: which Windows code page a locale's character set is, and text in
// the code pages that the contract tables (text_contract_test.cpp) do not run, since Wine has not
// installed them all. glibc's iconv converts; Windows' own rules hold where they differ.
#include "CodePages.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePages, OfTheLocaleCharacterSets) {
  struct Case {
    const char* charset;
    UINT codePage;
  };
  const Case cases[] = {
      {"UTF-8", 65001},
      {"utf8", 65001},
      {"ANSI_X3.4-1968", 20127},
      {"ISO-8859-1", 28591},
      {"ISO-8859-2", 28592},
      {"ISO-8859-9", 28599},
      {"ISO-8859-13", 28603},
      {"ISO-8859-15", 28605},
      {"KOI8-R", 20866},
      {"KOI8-U", 21866},
      {"CP1251", 1251},
      {"CP1255", 1255},
      {"TIS-620", 874},
      {"EUC-JP", 20932},
      {"SHIFT_JIS", 932},
      {"GB2312", 20936},
      {"GBK", 936},
      {"GB18030", 54936},
      {"BIG5", 950},
      {"BIG5-HKSCS", 950},  // Windows in Hong Kong has 950
      {"EUC-KR", 51949},
      {"ISO-8859-10", 20127},
      {"ISO-8859-14", 20127},
      {"ISO-8859-16", 20127},
      {"ARMSCII-8", 20127},
      {"GEORGIAN-PS", 20127},
      {"", 20127},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compat::CodePageOfCharset(c.charset), c.codePage) << c.charset;
  }
}

TEST(CodePages, ConvertBothWaysAsWindowsDoes) {
  struct Case {
    UINT codePage;
    std::wstring text;
    std::string bytes;
  };
  const Case cases[] = {
      {20866, L"\u0416\u0436", "\xF6\xD6"},                        // KOI8-R
      {21866, L"\u0404", "\xB4"},                                  // KOI8-U
      {1251, L"\u0416\u20AC", "\xC6\x88"},                         // CP1251
      {1250, L"\u0081\u0083", "\x81\x83"},                         // undefined bytes as C1 controls
      {28592, L"\u0141\u0080", "\xA3\x80"},                        // ISO-8859-2
      {20932, L"\u65E5\u672C", "\xC6\xFC\xCB\xDC"},                // EUC-JP
      {932, L"\u65E5\u672C", "\x93\xFA\x96\x7B"},                  // Shift JIS
      {54936, L"a\u00E9\U0001F600", "a\xA8\xA6\x94\x39\xFC\x36"},  // GB18030, beyond the BMP too
      {950, L"\u4E2D", "\xA4\xA4"},                                // Big5
      {51949, L"\uD55C", "\xC7\xD1"},                              // EUC-KR
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(compat::EncodeText(c.codePage, c.text), c.bytes);
    EXPECT_EQ(compat::DecodeText(c.codePage, c.bytes), c.text);
  }
}

TEST(CodePages, WhatACodePageCannotHoldOrRead) {
  // 20127 drops the eighth bit of a byte, as Windows does, and holds nothing beyond ASCII.
  EXPECT_EQ(compat::DecodeText(20127, "a\xE9"), L"ai");
  EXPECT_EQ(compat::EncodeText(20127, L"a\u00E9"), "a?");
  EXPECT_EQ(compat::EncodeText(20866, L"\u00E9"), "?");
  EXPECT_EQ(compat::EncodeText(20932, L"\u0416\U0001F600"), "\xA7\xA8?");
  // A byte that starts no character of a multi-byte code page is U+FFFD.
  EXPECT_EQ(compat::DecodeText(20932,
                               "a\xFF"
                               "b"),
            L"a\uFFFD"
            L"b");
  EXPECT_EQ(compat::EncodeText(65001, std::wstring(1, static_cast<wchar_t>(0xD800))),
            "\xEF\xBF\xBD");
}

}  // namespace
