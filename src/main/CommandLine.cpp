#include "main/CommandLine.h"

#include <cstdint>

#include "Format/Error.h"

namespace {

// A wide character counts as two UTF-16 code units when it lies above the basic plane, which
// only happens where wchar_t holds code points.
size_t Utf16Units(wchar_t c) {
  return (static_cast<uint32_t>(c) >> 16) != 0 ? 2 : 1;
}

bool IsSeparator(wchar_t c) {
  return c != L'\0' && static_cast<unsigned long>(c) <= 32;
}

// Collects the token that starts at pos; returns it and leaves pos behind it. Only a token
// that is kept is held to the length limit.
std::wstring NextToken(std::wstring_view line, size_t& pos, bool keep) {
  while (pos < line.size()) {
    if (IsSeparator(line[pos])) {
      ++pos;
    } else if (line[pos] == L'"' && pos + 1 < line.size() && line[pos + 1] == L'"') {
      pos += 2;
    } else {
      break;
    }
  }
  std::wstring token;
  size_t units = 0;
  auto append = [&](wchar_t c) {
    if (!keep) return;
    units += Utf16Units(c);
    if (units > kMaxArgumentLength) throw ERangeError();
    token += c;
  };
  while (pos < line.size() && line[pos] != L'\0' && !IsSeparator(line[pos])) {
    if (line[pos] == L'"') {
      ++pos;
      while (pos < line.size() && line[pos] != L'\0' && line[pos] != L'"') append(line[pos++]);
      if (pos < line.size() && line[pos] == L'"') ++pos;
    } else {
      append(line[pos++]);
    }
  }
  return token;
}

}  // namespace

std::wstring ReadFirstArgument(std::wstring_view commandLine) {
  size_t pos = 0;
  NextToken(commandLine, pos, false);  // the program's own path
  return NextToken(commandLine, pos, true);
}
