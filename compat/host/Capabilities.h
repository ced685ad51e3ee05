// Windows privileges on Linux: a privilege is held and enabled when the process's effective
// capabilities give it the power the privilege gives on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace compat {

constexpr uint64_t CapabilityBit(int capability) {
  return uint64_t{1} << capability;
}

struct PrivilegeCapabilities {
  const wchar_t* privilege;
  uint64_t capabilities;  // every one of them is needed; 0: Linux has no counterpart
  const char* power;      // what the capabilities allow, the power the privilege stands for
};

// The row of a privilege name (without regard to case); null for a name not in the table.
const PrivilegeCapabilities* FindPrivilegeCapabilities(std::wstring_view privilege);

// Whether the effective capabilities give the privilege; false for a name without a row.
bool PrivilegeHeld(std::wstring_view privilege, uint64_t effectiveCapabilities);

// The effective capability set of the calling thread; none when the kernel does not say.
std::optional<uint64_t> EffectiveCapabilities();

}  // namespace compat
