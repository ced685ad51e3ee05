#include "host/AccountDirectory.h"

namespace compat {

PasswordField ClassifyPasswordField(std::string_view field) {
  if (field == "x") return PasswordField::InShadow;
  if (field.empty()) return PasswordField::Empty;
  if (field.front() == '!') return PasswordField::Locked;
  if (field.front() == '*') return PasswordField::NoPassword;
  return PasswordField::Usable;
}

Found AccountDirectory::FindGroupsNamed(const std::vector<std::string>& names,
                                        std::vector<GroupEntry>& groups) {
  GroupEntry group;
  for (const std::string& name : names) {
    Found answer = FindGroup(name, group);
    if (answer == Found::Failed) return answer;
    if (answer == Found::Yes) groups.push_back(group);
  }
  return Found::Yes;
}

Found AccountDirectory::LookUpUsersNamed(const std::vector<std::string>& names) {
  UserEntry user;
  for (const std::string& name : names) {
    if (FindUser(name, user) == Found::Failed) return Found::Failed;
  }
  return Found::Yes;
}

Found AccountDirectory::LookUpGroupIds(const std::vector<uint32_t>& gids) {
  GroupEntry group;
  for (uint32_t gid : gids) {
    if (FindGroupById(gid, group) == Found::Failed) return Found::Failed;
  }
  return Found::Yes;
}

bool AccountDirectory::ForEachUserNamed(const NamePick& named,
                                        const std::function<void(const UserEntry&)>& visit) {
  return ForEachUser([&](const UserEntry& user) {
    if (named(user.name)) visit(user);
  });
}

bool AccountDirectory::ForEachGroupNamed(const NamePick& named,
                                         const std::function<void(const GroupEntry&)>& visit) {
  return ForEachGroup([&](const GroupEntry& group) {
    if (named(group.name)) visit(group);
  });
}

std::optional<ShadowEntry> AccountDirectory::FindShadow(std::string_view name) {
  std::unique_ptr<ShadowStream> stream = OpenShadow();
  std::string found;
  ShadowEntry entry;
  while (stream->Next(found, entry) == Found::Yes) {
    if (found == name) return entry;
  }
  return std::nullopt;
}

}  // namespace compat
