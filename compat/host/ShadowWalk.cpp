#include "host/ShadowWalk.h"

namespace compat {

ShadowWalk::ShadowWalk(AccountDirectory& directory) : stream_(directory.OpenShadow()) {}

std::optional<ShadowEntry> ShadowWalk::Find(std::string_view name) {
  if (!ahead_.empty()) {
    auto it = ahead_.find(std::string(name));
    if (it != ahead_.end()) {
      ShadowEntry entry = it->second;
      ahead_.erase(it);
      return entry;
    }
  }
  while (stream_) {
    // A shadow that fails half way is used as far as it could be read.
    if (stream_->Next(name_, entry_) != Found::Yes) {
      stream_.reset();
      break;
    }
    if (name_ == name) return entry_;
    ahead_.emplace(name_, entry_);  // a second entry of a name does not replace the first
  }
  return std::nullopt;
}

}  // namespace compat
