#include "CodePages.h"

#include <algorithm>
#include <cctype>

namespace compat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// ISO-8859-15 differs from ISO-8859-1 in eight positions.
struct ByteMapping {
  unsigned char byte;
  char16_t codePoint;
};
constexpr ByteMapping kLatin9Changes[8] = {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161},
                                           {0xB4, 0x017D}, {0xB8, 0x017E}, {0xBC, 0x0152},
                                           {0xBD, 0x0153}, {0xBE, 0x0178}};

char32_t DecodeSingleByte(UINT codePage, unsigned char byte) {
  if (byte < 0x80) return byte;
  switch (codePage) {
    case 20127:
      return kReplacement;
    case 1252:
      if (byte < 0xA0) {
        char16_t mapped = kWindows1252High[byte - 0x80];
        return mapped == 0 ? kReplacement : mapped;
      }
      return byte;
    case 28605:
      for (const ByteMapping& change : kLatin9Changes) {
        if (change.byte == byte) return change.codePoint;
      }
      return byte;
    default:  // 28591
      return byte;
  }
}

bool EncodeSingleByte(UINT codePage, char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
    return true;
  }
  if (codePage == 20127) return false;
  if (codePage == 1252 || codePage == 28605) {
    if (codePage == 1252) {
      for (int i = 0; i < 32; ++i) {
        if (kWindows1252High[i] != 0 && kWindows1252High[i] == codePoint) {
          out += static_cast<char>(0x80 + i);
          return true;
        }
      }
      if (codePoint >= 0x80 && codePoint < 0xA0) return false;
    } else {
      for (const ByteMapping& change : kLatin9Changes) {
        if (change.codePoint == codePoint) {
          out += static_cast<char>(change.byte);
          return true;
        }
        if (change.byte == codePoint) return false;  // the Latin-1 character this position lost
      }
    }
  }
  if (codePoint <= 0xFF) {
    out += static_cast<char>(codePoint);
    return true;
  }
  return false;
}

bool EncodeUtf8(char32_t cp, std::string& out) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return true;
}

std::wstring DecodeUtf8(std::string_view bytes, bool& invalid) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      out += static_cast<wchar_t>(b0);
      ++i;
      continue;
    }
    // Lead bytes: C2..DF, E0..EF, F0..F4; C0, C1 and F5..FF never start a character.
    int length = b0 >= 0xC2 && b0 <= 0xDF   ? 2
                 : b0 >= 0xE0 && b0 <= 0xEF ? 3
                 : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                            : 0;
    char32_t cp = length == 4 ? b0 & 0x07 : length == 3 ? b0 & 0x0F : b0 & 0x1F;
    bool valid = length != 0 && i + length <= bytes.size();
    for (int k = 1; valid && k < length; ++k) {
      auto b = static_cast<unsigned char>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (valid) {
      // Reject overlong forms, surrogates and values above the Unicode range.
      bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
      valid = !overlong && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!valid) {
      invalid = true;
      out += static_cast<wchar_t>(kReplacement);
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += length;
  }
  return out;
}

}  // namespace

bool IsKnownCodePage(UINT codePage) {
  return codePage == 65001 || codePage == 20127 || codePage == 28591 || codePage == 1252 ||
         codePage == 28605;
}

bool EncodeCodePoint(UINT codePage, char32_t codePoint, std::string& out) {
  if (codePage == 65001) return EncodeUtf8(codePoint, out);
  return EncodeSingleByte(codePage, codePoint, out);
}

std::wstring DecodeText(UINT codePage, std::string_view bytes, bool* invalid) {
  bool anyInvalid = false;
  std::wstring out;
  if (codePage == 65001) {
    out = DecodeUtf8(bytes, anyInvalid);
  } else {
    out.reserve(bytes.size());
    for (char c : bytes) {
      char32_t decoded = DecodeSingleByte(codePage, static_cast<unsigned char>(c));
      anyInvalid = anyInvalid || decoded == kReplacement;
      out += static_cast<wchar_t>(decoded);
    }
  }
  if (invalid != nullptr) *invalid = anyInvalid;
  return out;
}

std::string EncodeText(UINT codePage, std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!EncodeCodePoint(codePage, static_cast<char32_t>(c), out)) {
      if (codePage == 65001) {
        EncodeUtf8(kReplacement, out);
      } else {
        out += '?';
      }
    }
  }
  return out;
}

UINT CodePageOfCharset(std::string_view charset) {
  std::string name;
  for (char c : charset) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (name == "utf8") return 65001;
  if (name == "iso88591" || name == "latin1") return 28591;
  if (name == "iso885915" || name == "latin9") return 28605;
  if (name == "cp1252" || name == "windows1252") return 1252;
  return 20127;  // ANSI_X3.4-1968 (the C locale) and every character set the stand-in lacks
}

}  // namespace compat
