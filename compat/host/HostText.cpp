#include "host/HostText.h"

#include <cstdint>
#include <cstring>

#include "CodePages.h"

namespace compat {
namespace {

// The character of the well-formed UTF-8 sequence at the start of bytes and its length; 0 when
// none starts there.
size_t DecodeSequence(std::string_view bytes, wchar_t& c) {
  auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (length == 0 || length > bytes.size()) return 0;
  uint32_t value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(bytes[k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  c = static_cast<wchar_t>(value);
  return length;
}

// Whether every byte is ASCII, eight bytes at a time.
bool IsAscii(std::string_view bytes) {
  uint64_t high = 0;
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, sizeof(word));
    high |= word;
  }
  for (; i < bytes.size(); ++i) high |= static_cast<unsigned char>(bytes[i]);
  return (high & 0x8080808080808080ull) == 0;
}

}  // namespace

void AssignWideFromHost(std::string_view bytes, std::wstring& text) {
  text.resize(bytes.size());
  wchar_t* out = text.data();
  // ASCII, nearly every account's text, is its own characters.
  if (IsAscii(bytes)) {
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<wchar_t>(bytes[i]);
    return;
  }
  size_t n = 0;
  for (size_t i = 0; i < bytes.size();) {
    auto byte = static_cast<unsigned char>(bytes[i]);
    wchar_t c = static_cast<wchar_t>(byte);  // ASCII, or a byte that starts no character
    size_t length = byte < 0x80 ? 1 : DecodeSequence(bytes.substr(i), c);
    out[n++] = c;
    i += length == 0 ? 1 : length;
  }
  text.resize(n);
}

std::wstring WideFromHost(std::string_view bytes) {
  std::wstring text;
  AssignWideFromHost(bytes, text);
  return text;
}

std::optional<std::string> HostNameOf(std::wstring_view name) {
  std::string bytes;
  bytes.reserve(name.size());
  const CodePage& utf8 = *FindCodePage(65001);
  for (wchar_t c : name) {
    if (c == L'\0' || !EncodeChar(utf8, c, bytes)) return std::nullopt;
  }
  return bytes;
}

}  // namespace compat
