// SIDs as plain data, converted to and from Windows' binary layout and text form, and the one
// table of the well-known SIDs: their names, domains, kinds and SDDL aliases.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/base.h"
#include "win32/security.h"

namespace compat {

struct SidValue {
  uint64_t authority = 0;  // 48 bits
  std::vector<DWORD> subAuthorities;

  bool operator==(const SidValue& other) const {
    return authority == other.authority && subAuthorities == other.subAuthorities;
  }

  // "S-1-5-32-544"; an authority of 2^32 or more in hexadecimal, as Windows writes it.
  std::wstring ToText() const;
  // The text form as ConvertStringSidToSidW reads it: "S" or "s", revision 1, decimal or
  // "0x" hexadecimal numbers, one to fifteen sub-authorities. An SDDL alias ("BA", "LA") is
  // read by SidOfAlias.
  static std::optional<SidValue> FromText(std::wstring_view text);

  DWORD BinarySize() const { return 8 + 4 * static_cast<DWORD>(subAuthorities.size()); }
  void WriteBinary(void* buffer) const;  // at least BinarySize() bytes
  static std::optional<SidValue> FromBinary(const void* sid);
};

// A SID of a text known to be valid (tables, tests).
SidValue SidFromText(std::wstring_view text);

struct WellKnownSid {
  const wchar_t* sid;
  const wchar_t* alias;  // the SDDL alias, or null
  const wchar_t* domain;
  const wchar_t* name;
  SID_NAME_USE use;
};

// The well-known SID with this name (and domain, when given), or with this SID; null for none.
const WellKnownSid* FindWellKnownName(std::wstring_view name, const std::wstring_view* domain);
const WellKnownSid* FindWellKnownSid(const SidValue& sid);

// The SID an SDDL alias stands for ("WD", "ba"); the aliases of the computer's own accounts and
// groups ("LA" 500, "DU" 513, ...) are relative to its account domain, and have none without one.
std::optional<SidValue> SidOfAlias(std::wstring_view alias,
                                   const std::optional<SidValue>& accountDomain);

}  // namespace compat
