#include "SidValue.h"

#include <cstring>
#include <stdexcept>

#include "win32/security.h"

namespace compat {

std::wstring SidValue::ToText() const {
  std::wstring text = L"S-1-";
  if (authority < 0x100000000ULL) {
    text += std::to_wstring(authority);
  } else {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    text += L"0x";
    for (int shift = 44; shift >= 0; shift -= 4) text += kHex[(authority >> shift) & 0xF];
  }
  for (DWORD sub : subAuthorities) {
    text += L'-';
    text += std::to_wstring(sub);
  }
  return text;
}

namespace {

// Parses an unsigned number of at most maxValue, decimal or "0x" hexadecimal; advances pos.
bool ParseNumber(std::wstring_view text, size_t& pos, uint64_t maxValue, uint64_t& value) {
  int base = 10;
  if (pos + 1 < text.size() && text[pos] == L'0' &&
      (text[pos + 1] == L'x' || text[pos + 1] == L'X')) {
    base = 16;
    pos += 2;
  }
  size_t start = pos;
  value = 0;
  while (pos < text.size()) {
    wchar_t c = text[pos];
    int digit;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (base == 16 && c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else if (base == 16 && c >= L'A' && c <= L'F') {
      digit = c - L'A' + 10;
    } else {
      break;
    }
    value = value * base + digit;
    if (value > maxValue) return false;
    ++pos;
  }
  return pos > start;
}

}  // namespace

std::optional<SidValue> SidValue::FromText(std::wstring_view text) {
  if (text.size() < 4 || (text[0] != L'S' && text[0] != L's') || text.substr(1, 3) != L"-1-") {
    return std::nullopt;
  }
  size_t pos = 4;
  SidValue sid;
  if (!ParseNumber(text, pos, 0xFFFFFFFFFFFFULL, sid.authority)) return std::nullopt;
  while (pos < text.size()) {
    if (text[pos] != L'-') return std::nullopt;
    ++pos;
    uint64_t sub = 0;
    if (!ParseNumber(text, pos, 0xFFFFFFFFULL, sub)) return std::nullopt;
    if (sid.subAuthorities.size() == SID_MAX_SUB_AUTHORITIES) return std::nullopt;
    sid.subAuthorities.push_back(static_cast<DWORD>(sub));
  }
  return sid;
}

void SidValue::WriteBinary(void* buffer) const {
  auto* bytes = static_cast<BYTE*>(buffer);
  bytes[0] = SID_REVISION;
  bytes[1] = static_cast<BYTE>(subAuthorities.size());
  for (int i = 0; i < 6; ++i) bytes[2 + i] = static_cast<BYTE>(authority >> (8 * (5 - i)));
  for (size_t i = 0; i < subAuthorities.size(); ++i) {
    std::memcpy(bytes + 8 + 4 * i, &subAuthorities[i], 4);  // little-endian, as on Windows
  }
}

std::optional<SidValue> SidValue::FromBinary(const void* sid) {
  if (sid == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const BYTE*>(sid);
  if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES) return std::nullopt;
  SidValue value;
  for (int i = 0; i < 6; ++i) value.authority = (value.authority << 8) | bytes[2 + i];
  value.subAuthorities.resize(bytes[1]);
  for (size_t i = 0; i < value.subAuthorities.size(); ++i) {
    std::memcpy(&value.subAuthorities[i], bytes + 8 + 4 * i, 4);
  }
  return value;
}

SidValue SidFromText(std::wstring_view text) {
  auto sid = SidValue::FromText(text);
  if (!sid) throw std::invalid_argument("not a SID text");
  return *sid;
}

}  // namespace compat
