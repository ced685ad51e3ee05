#include "host/TerminalText.h"

#include "CodePages.h"

namespace compat {
namespace {

// The length of the multi-byte character that starts at i, or 1: in a double-byte code page a lead
// byte takes the byte after it unless that is a control (no trail byte is below 0x40 or 0x7F),
// and GB18030 has four-byte characters too (lead, 0x30-0x39, lead, 0x30-0x39). This is stricter
// than the decoder, which reads a lead byte with any byte after it as Windows does: a lead byte
// 0x9B before "0" is no character to a terminal but CSI 0.
size_t MultiByteLength(UINT codePage, std::string_view text, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(k < text.size() ? text[k] : '\0'); };
  auto digit = [](unsigned char c) { return c >= 0x30 && c <= 0x39; };
  bool gb18030 = codePage == 54936;
  auto lead = [&](unsigned char c) {
    return gb18030 ? c >= 0x81 && c <= 0xFE : IsLeadByte(codePage, c);
  };
  if (!lead(at(i))) return 1;
  if (at(i + 1) >= 0x40 && at(i + 1) != 0x7F) return 2;
  if (gb18030 && digit(at(i + 1)) && lead(at(i + 2)) && digit(at(i + 3))) return 4;
  return 1;
}

// C0 but TAB, DEL and C1.
bool IsControl(wchar_t c) {
  return (c < 0x20 && c != L'\t') || (c >= 0x7F && c < 0xA0);
}

}  // namespace

std::string PrintableOnTerminal(std::string_view line, UINT codePage) {
  std::string out;
  size_t end =
      line.size() >= 2 && line.substr(line.size() - 2) == "\r\n" ? line.size() - 2 : line.size();
  bool utf8 = codePage == 65001;
  const CodePage* page = FindCodePage(codePage);
  for (size_t i = 0; i < end; ++i) {
    auto byte = static_cast<unsigned char>(line[i]);
    bool control = byte < 0x80 && IsControl(byte);
    // A multi-byte character is read as the code page reads it: bytes it does not read as one
    // character are its lead byte alone, and the bytes after it are read afresh, as a terminal
    // decoding the text reads them. GB18030 writes the C1 controls as four-byte characters
    // (81 30 81 30 is U+0080).
    if (size_t length = MultiByteLength(codePage, line.substr(0, end), i);
        length > 1 && page != nullptr) {
      bool invalid = false;
      std::wstring c = Decode(*page, line.substr(i, length), invalid);
      if (c.size() == 1) {
        out += IsControl(c[0]) ? std::string_view("?") : line.substr(i, length);
        i += length - 1;
        continue;
      }
    }
    if (utf8 && byte == 0xC2 && i + 1 < end && static_cast<unsigned char>(line[i + 1]) < 0xA0 &&
        static_cast<unsigned char>(line[i + 1]) >= 0x80) {
      control = true;
      ++i;  // the two bytes of a C1 control
    } else if (!utf8 && byte == 0x9B) {
      control = true;
    } else if (!utf8 && byte >= 0x80 && page != nullptr) {
      bool invalid = false;
      std::wstring c = Decode(*page, line.substr(i, 1), invalid);
      // A C1 control, or in 20127, which drops the eighth bit, a C0 one.
      control = c.size() == 1 && IsControl(c[0]);
    }
    out += control ? '?' : static_cast<char>(byte);
  }
  out += line.substr(end);
  return out;
}

}  // namespace compat
