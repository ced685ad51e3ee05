// Who administers the host: uid 0 and the members of the groups sudo, wheel and admin, by
// name in the group or by primary group. They have Windows' administrator privilege level and
// belong to the built-in Administrators alias.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "host/AccountDirectory.h"

namespace compat {

class Administrators {
 public:
  // Reads the three groups once; a group that does not exist adds no one.
  static Administrators Read(AccountDirectory& directory);

  bool Includes(const UserEntry& user) const;
  // Whether a process with these group ids (and effective uid) administers the host.
  bool IncludesProcess(uint32_t euid, const std::vector<uint32_t>& gids) const;

 private:
  std::vector<uint32_t> gids_;
  std::set<std::string, std::less<>> members_;
};

}  // namespace compat
