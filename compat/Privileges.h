// The one table of privileges: Windows' programmatic name, LUID and display name, and the Linux
// capabilities that give the same power on the host.
#pragma once

#include <cstdint>
#include <string_view>

#include "win32/base.h"

namespace compat {

constexpr uint64_t CapabilityBit(int capability) {
  return uint64_t{1} << capability;
}

struct Privilege {
  const wchar_t* name;
  DWORD luid;  // 0: current Windows does not know the name
  const wchar_t* displayName;
  uint64_t capabilities;  // every one of them is needed; 0: Linux has no counterpart
  uint64_t instead = 0;   // another set that gives the same power, every one of it needed
};

// By name without regard to case, or by LUID; null for one the table lacks.
const Privilege* FindPrivilege(std::wstring_view name);
const Privilege* FindPrivilegeByLuid(DWORD luid);

// Whether effective capabilities give the privilege; false for a name without a row.
bool PrivilegeHeld(std::wstring_view name, uint64_t effectiveCapabilities);

}  // namespace compat
