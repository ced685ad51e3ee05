#include "host/Administrators.h"

#include <algorithm>

namespace compat {
Administrators Administrators::Read(AccountDirectory& directory, DomainLink* domain) {
  return Administrators(directory, domain);
}

void Administrators::Load() const {
  if (loaded_) return;
  std::vector<GroupEntry> groups;
  unreadable_ = directory_->FindGroupsNamed({"sudo", "wheel", "admin"}, groups) == Found::Failed;
  if (unreadable_) return;
  loaded_ = true;
  for (const GroupEntry& group : groups) {
    gids_.push_back(group.gid);
    members_.insert(group.members.begin(), group.members.end());
  }
}

bool Administrators::Includes(const UserEntry& user) const {
  return IncludesOnHost(user) || (domain_ != nullptr && domain_->InDomainAdmins(user));
}

bool Administrators::IncludesOnHost(const UserEntry& user) const {
  if (user.uid == 0) return true;
  Load();
  return std::find(gids_.begin(), gids_.end(), user.gid) != gids_.end() ||
         members_.find(user.name) != members_.end();
}

bool Administrators::IncludesProcess(uint32_t euid, const std::vector<uint32_t>& gids) const {
  if (euid == 0) return true;
  Load();
  return std::any_of(gids.begin(), gids.end(), [&](uint32_t gid) {
    return std::find(gids_.begin(), gids_.end(), gid) != gids_.end();
  });
}

}  // namespace compat
