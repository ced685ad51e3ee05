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
    {"FF among letters", "a\xff" "b", L"a\ufffd" L"b"},
    {"FE before a 2-byte sequence", "\xfe\xc3\xa9", L"\ufffd\u00e9"},
    {"a continuation byte alone", "\x80", L"\ufffd"},
    {"a code point above U+10FFFF", "\xf4\x90\x80\x80", L"\ufffd\ufffd\ufffd\ufffd"},
    {"a real U+FFFD, then a stray byte", "\xef\xbf\xbd\xff", L"\ufffd\ufffd"},
};

TEST(HostileText, InvalidUtf8IsNeverReadAsAnotherCharacter) {
  for (const Bytes& c : kInvalidUtf8) {
    EXPECT_EQ(compat::DecodeText(CP_UTF8, c.bytes), c.decoded) << c.why;
  }
}

}  // namespace
