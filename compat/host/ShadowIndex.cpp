#include "host/ShadowIndex.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace compat {
namespace {

uint64_t HashOf(std::string_view name) {
  return std::hash<std::string_view>{}(name);
}

}  // namespace

ShadowIndex ShadowIndex::Read(AccountDirectory& directory) {
  ShadowIndex index;
  bool complete = directory.ForEachShadow([&](std::string_view name, const ShadowEntry& entry) {
    if (index.names_.size() + name.size() > std::numeric_limits<uint32_t>::max()) return;
    index.slots_.push_back(Slot{HashOf(name), static_cast<uint32_t>(index.names_.size()),
                                static_cast<uint32_t>(name.size()), entry});
    index.names_.append(name);
  });
  // A shadow database that failed half way is not used at all: an account missing from it
  // would otherwise look like one without a shadow entry.
  if (!complete) return ShadowIndex();
  // Stable, so that of a name listed twice the first entry is found, as getspnam_r finds it.
  std::stable_sort(index.slots_.begin(), index.slots_.end(),
                   [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
  index.names_.shrink_to_fit();
  index.slots_.shrink_to_fit();
  return index;
}

std::string_view ShadowIndex::NameOf(const Slot& slot) const {
  return std::string_view(names_).substr(slot.nameOffset, slot.nameLength);
}

std::optional<ShadowEntry> ShadowIndex::Find(std::string_view name) const {
  uint64_t hash = HashOf(name);
  auto first = std::lower_bound(slots_.begin(), slots_.end(), hash,
                                [](const Slot& slot, uint64_t value) { return slot.hash < value; });
  for (auto it = first; it != slots_.end() && it->hash == hash; ++it) {
    if (NameOf(*it) == name) return it->entry;
  }
  return std::nullopt;
}

}  // namespace compat
