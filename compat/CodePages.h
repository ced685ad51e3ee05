// The code pages of the stand-in: the one table that ties each Windows code page to the
// character set of a Linux locale, and the conversions between wide text and a code page as
// Windows makes them. glibc's iconv converts; Windows' own rules stand where it differs (how
// UTF-8 breaks invalid bytes, the C1 controls and private-use characters that Windows'
// single-byte code pages give to their undefined bytes, the few bytes whose character Windows'
// table gives otherwise, 20127 dropping the eighth bit).
#pragma once

#include <string>
#include <string_view>

#include "win32/base.h"

namespace compat {

struct CodePage {
  UINT number;
  bool singleByte;
  bool flagsMustBeZero;  // refuses WC_NO_BEST_FIT_CHARS and every other flag to WideCharToMultiByte
  const char* charset;   // glibc's name: nl_langinfo(CODESET) and iconv
};

// Null for a code page the stand-in does not convert.
const CodePage* FindCodePage(UINT number);
// The code page of a locale's character set; 20127 for one Windows has no code page for.
UINT CodePageOfCharset(std::string_view charset);

// Decodes 8-bit text; a byte or sequence the code page does not define becomes U+FFFD (in
// Windows' double-byte tables 932, 936, 949 and 950, the page's default character, as Windows
// reads them), and invalid tells whether any did (a U+FFFD the text itself holds does not count).
std::wstring Decode(const CodePage& codePage, std::string_view bytes, bool& invalid);
// Whether the byte starts a two-byte character of a double-byte code page (932, 936, 949, 950).
bool IsLeadByte(UINT codePage, unsigned char byte);
// Appends one character; false, and nothing appended, when the code page cannot hold it.
bool EncodeChar(const CodePage& codePage, wchar_t c, std::string& out);

// A character the code page cannot hold becomes '?' (U+FFFD in UTF-8). Decoding is the tests' own;
// the host encodes its names with EncodeText.
std::wstring DecodeText(UINT codePage, std::string_view bytes);
std::string EncodeText(UINT codePage, std::wstring_view text);

}  // namespace compat
