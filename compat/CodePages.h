// The code pages the stand-in knows, for the conversions between wide text and 8-bit text.
#pragma once

#include <string>
#include <string_view>

#include "win32/base.h"

namespace compat {

bool IsKnownCodePage(UINT codePage);
// Encodes one code point; false when the code page cannot hold it.
bool EncodeCodePoint(UINT codePage, char32_t codePoint, std::string& out);
// Decodes 8-bit text; invalid bytes become U+FFFD. When invalid is given, it tells whether any
// byte was invalid (a U+FFFD that the text itself holds is not).
std::wstring DecodeText(UINT codePage, std::string_view bytes, bool* invalid = nullptr);
// Encodes wide text, replacing what the code page cannot hold by '?' (U+FFFD in UTF-8).
std::string EncodeText(UINT codePage, std::wstring_view text);
// The code page of a character-set name as nl_langinfo(CODESET) gives it; 20127 when unknown.
UINT CodePageOfCharset(std::string_view charset);

}  // namespace compat
