#include "host/Administrators.h"

#include <algorithm>

namespace compat {
namespace {

constexpr const char* kAdministratorGroups[] = {"sudo", "wheel", "admin"};

}  // namespace

Administrators Administrators::Read(AccountDirectory& directory) {
  Administrators administrators;
  GroupEntry group;
  for (const char* name : kAdministratorGroups) {
    if (directory.FindGroup(name, group) != Found::Yes) continue;
    administrators.gids_.push_back(group.gid);
    administrators.members_.insert(group.members.begin(), group.members.end());
  }
  return administrators;
}

bool Administrators::Includes(const UserEntry& user) const {
  if (user.uid == 0) return true;
  if (std::find(gids_.begin(), gids_.end(), user.gid) != gids_.end()) return true;
  return members_.find(user.name) != members_.end();
}

bool Administrators::IncludesProcess(uint32_t euid, const std::vector<uint32_t>& gids) const {
  if (euid == 0) return true;
  return std::any_of(gids.begin(), gids.end(), [&](uint32_t gid) {
    return std::find(gids_.begin(), gids_.end(), gid) != gids_.end();
  });
}

}  // namespace compat
