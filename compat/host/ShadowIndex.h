// Every shadow entry, read once for a walk over all accounts, so that the walk does not ask
// shadow once per user. Holds the aging fields and the kind of password field, never a hash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/AccountDirectory.h"

namespace compat {

class ShadowIndex {
 public:
  // An empty index when shadow cannot be read: every account's shadow facts are then unknown.
  static ShadowIndex Read(AccountDirectory& directory);

  // The entry of the name (the first, when shadow lists it twice); none when there is none.
  std::optional<ShadowEntry> Find(std::string_view name) const;

 private:
  struct Slot {
    uint64_t hash;
    uint32_t nameOffset;
    uint32_t nameLength;
    ShadowEntry entry;
  };
  std::string_view NameOf(const Slot& slot) const;

  std::string names_;        // every name, one after the other
  std::vector<Slot> slots_;  // sorted by hash
};

}  // namespace compat
