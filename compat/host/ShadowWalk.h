// Shadow read once, in step with a walk over passwd, so that listing every account asks
// shadow neither once per user nor keeps all of it: the two files normally list their users in
// the same order, and only the entries read ahead of their user are kept until asked for. (A
// listing resumed part way keeps the entries of the users it passed over.)
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/AccountDirectory.h"

namespace compat {

class ShadowWalk {
 public:
  explicit ShadowWalk(AccountDirectory& directory);

  // The shadow entry of a user of the walk (the first, when shadow lists the name twice); none
  // when shadow holds none for it or cannot be read.
  std::optional<ShadowEntry> Find(std::string_view name);

 private:
  std::unique_ptr<ShadowStream> stream_;  // null once shadow has been read to its end
  std::unordered_map<std::string, ShadowEntry> ahead_;
  std::string name_;
  ShadowEntry entry_;
};

}  // namespace compat
