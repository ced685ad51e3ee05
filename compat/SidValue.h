// A SID as plain data: the identifier authority and the sub-authorities. Converts to and from
// Windows' binary layout and the standard text form "S-1-5-32-544".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/base.h"

namespace compat {

struct SidValue {
  uint64_t authority = 0;  // 48 bits
  std::vector<DWORD> subAuthorities;

  bool operator==(const SidValue& other) const {
    return authority == other.authority && subAuthorities == other.subAuthorities;
  }

  // The standard text form; the authority is decimal below 2^32 and hexadecimal above, as
  // Windows writes it.
  std::wstring ToText() const;
  // Parses "S-1-..." (the "S" in either case); none for anything that is not a valid SID text.
  static std::optional<SidValue> FromText(std::wstring_view text);

  DWORD BinarySize() const { return 8 + 4 * static_cast<DWORD>(subAuthorities.size()); }
  // Writes the binary SID into a buffer of at least BinarySize() bytes.
  void WriteBinary(void* buffer) const;
  // Reads a binary SID; none when it is not a valid one.
  static std::optional<SidValue> FromBinary(const void* sid);
};

// Convenience for tables: the SID of a text known to be valid.
SidValue SidFromText(std::wstring_view text);

}  // namespace compat
