// Bytes that are not well-formed text, as account records and environments may hold them: they
// are never read as other characters, and a strict conversion refuses them.
#include <gtest/gtest.h>

#include <string>

#include "CodePages.h"
#include "Win32.h"

namespace {

struct Bytes {
  const char* why;
  std::string bytes;
  std::wstring decoded;  // in UTF-8
};

const Bytes kInvalidUtf8[] = {
    {"a lead byte above F4 before two continuation bytes", "\xf8\x82\x82", L"\ufffd\ufffd\ufffd"},
    {"F5, the first byte no UTF-8 uses", "\xf5\x80\x80\x80", L"\ufffd\ufffd\ufffd\ufffd"},
    {"FF among letters",
     "a\xff"
     "b",
     L"a\ufffd"
     L"b"},
    {"FE before a 2-byte sequence", "\xfe\xc3\xa9", L"\ufffd\u00e9"},
    {"a continuation byte alone", "\x80", L"\ufffd"},
    // F4 90 is one piece, as Windows reads it: F4 cannot begin a code point above U+10FFFF.
    {"a code point above U+10FFFF", "\xf4\x90\x80\x80", L"\ufffd\ufffd\ufffd"},
    {"a real U+FFFD, then a stray byte", "\xef\xbf\xbd\xff", L"\ufffd\ufffd"},
};

TEST(HostileText, InvalidUtf8IsNeverReadAsAnotherCharacter) {
  for (const Bytes& c : kInvalidUtf8) {
    EXPECT_EQ(compat::DecodeText(CP_UTF8, c.bytes), c.decoded) << c.why;
  }
}

TEST(HostileText, StrictConversionRefusesInvalidUtf8) {
  for (const Bytes& c : kInvalidUtf8) {
    SetLastError(ERROR_SUCCESS);
    wchar_t buffer[16] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                  static_cast<int>(c.bytes.size()), buffer, 16),
              0)
        << c.why;
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION) << c.why;
  }
}

TEST(HostileText, StrictConversionKeepsWellFormedText) {
  const std::string text = "\xef\xbf\xbd J\xc3\xb6rg \xf0\x9f\x98\x80";
  wchar_t buffer[16] = {};
  int cch = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                static_cast<int>(text.size()), buffer, 16);
  EXPECT_EQ(std::wstring(buffer, cch > 0 ? static_cast<size_t>(cch) : 0),
            L"\ufffd J\u00f6rg \U0001F600");
}

}  // namespace
