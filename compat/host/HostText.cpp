#include "host/HostText.h"

#include "CodePages.h"

namespace compat {
namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;
constexpr wchar_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

bool IsEscape(wchar_t c) {
  return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// How many bytes the character that starts with this byte takes.
size_t SequenceLength(UINT codePage, unsigned char lead) {
  if (codePage != 65001 || lead < 0xC2) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF5 ? 4 : 1;
}

}  // namespace

std::wstring WideFromHost(UINT codePage, std::string_view bytes) {
  std::wstring text = DecodeText(codePage, bytes);
  // Every byte decoded, unless a replacement character stands for one that did not.
  if (text.find(kReplacementCharacter) == std::wstring::npos) return text;
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = SequenceLength(codePage, lead);
    if (i + length <= bytes.size()) {
      std::string_view piece = bytes.substr(i, length);
      std::wstring decoded = DecodeText(codePage, piece);
      if (decoded.size() == 1 && EncodeText(codePage, decoded) == piece) {
        out += decoded;
        i += length;
        continue;
      }
    }
    out += lead < 0x80 ? static_cast<wchar_t>(lead) : static_cast<wchar_t>(kEscapeBase + lead);
    ++i;
  }
  return out;
}

void AssignWideFromHost(UINT codePage, std::string_view bytes, std::wstring& text) {
  // Every character set the stand-in knows holds ASCII as itself.
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) {
    text = WideFromHost(codePage, bytes);
    return;
  }
  text.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(bytes[i]);
}

std::optional<std::string> HostNameOf(UINT codePage, std::wstring_view name) {
  std::string bytes;
  bytes.reserve(name.size());
  for (wchar_t c : name) {
    if (c == L'\0') return std::nullopt;
    if (IsEscape(c)) {
      bytes += static_cast<char>(c - kEscapeBase);
    } else if (!EncodeCodePoint(codePage, static_cast<char32_t>(c), bytes)) {
      return std::nullopt;
    }
  }
  return bytes;
}

}  // namespace compat
