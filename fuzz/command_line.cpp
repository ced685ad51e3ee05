// The splitting of the command line against a second, independent reading of its rules: token 0
// is the program's path, token 1 the argument; separators are the codes 1 to 32, pairs of double
// quotes before a token are skipped, a double quote toggles a stretch kept as it is, and an
// argument of more than 4,096 UTF-16 code units is a range error (the path is not held to it).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "Format/Error.h"
#include "FuzzInput.h"
#include "main/CommandLine.h"

namespace {

constexpr size_t kLimit = 4096;

// None when a token held to the limit overflows.
std::optional<std::wstring> ReferenceToken(const std::wstring& line, size_t& i, size_t limit) {
  auto code = [&](size_t at) { return static_cast<uint32_t>(line[at]); };
  for (;;) {
    if (i < line.size() && code(i) >= 1 && code(i) <= 32) {
      ++i;
    } else if (i + 1 < line.size() && line[i] == L'"' && line[i + 1] == L'"') {
      i += 2;
    } else {
      break;
    }
  }
  std::wstring token;
  size_t units = 0;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    if (line[i] == L'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && code(i) <= 32) break;
    units += code(i) > 0xFFFF ? 2 : 1;
    if (units > limit) return std::nullopt;
    token += line[i];
  }
  return token;
}

std::optional<std::wstring> ReferenceFirstArgument(std::wstring line) {
  // The platform's command line is a zero-ended text.
  line = line.substr(0, line.find(L'\0'));
  size_t i = 0;
  ReferenceToken(line, i, SIZE_MAX);
  return ReferenceToken(line, i, kLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  // A first byte of 128 or more pads the text with its last character to 4,000 to 4,127
  // characters, so that an argument that ends the line meets the limit (and one past it) by
  // inputs of ordinary size.
  uint8_t pad = input.Byte();
  std::wstring line = input.RestAsWide();
  if (pad >= 128 && !line.empty()) {
    line.resize(std::max(line.size(), 4000 + static_cast<size_t>(pad & 0x7F)), line.back());
  }
  std::optional<std::wstring> expected = ReferenceFirstArgument(line);
  std::optional<std::wstring> actual;
  try {
    actual = ReadFirstArgument(line);
  } catch (const ERangeError& error) {
    FUZZ_CHECK(error.Message() == "Range check error");
  }
  FUZZ_CHECK(actual == expected);
  if (actual) {
    FUZZ_CHECK(actual->find(L'"') == std::wstring::npos);
    FUZZ_CHECK(actual->find(L'\0') == std::wstring::npos);
  }
  return 0;
}
