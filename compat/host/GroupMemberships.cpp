#include "host/GroupMemberships.h"

#include <algorithm>

namespace compat {
namespace {

const std::vector<DomainName>& DomainGroups(const DomainAccount* account) {
  static const std::vector<DomainName> none;
  return account != nullptr ? account->groups : none;
}

}  // namespace

bool IsUserPrivateGroup(const GroupEntry& group, const UserEntry& user) {
  if (group.name != user.name) return false;
  bool userIsMember = user.gid == group.gid;
  for (const std::string& member : group.members) {
    if (member != user.name) return false;
    userIsMember = true;
  }
  return userIsMember;
}

Found GroupMemberships::LookUpNamesOf(const std::vector<GroupEntry>& groups) {
  if (groups.empty()) return Found::Yes;
  std::vector<std::string> names;
  names.reserve(groups.size());
  for (const GroupEntry& group : groups) names.push_back(group.name);
  std::vector<GroupEntry> found;
  if (directory_.FindGroupsNamed(names, found) == Found::Failed) return Found::Failed;
  return directory_.LookUpUsersNamed(names);
}

GroupMemberships::GroupMemberships(AccountDirectory& directory, AccountNames& names)
    : directory_(directory), names_(names) {}

Found GroupMemberships::GlobalGroupsOf(const UserEntry& user, std::vector<std::wstring>& names) {
  names.clear();
  if (const DomainAccount* account = names_.DomainAccountOf(user)) {
    for (const DomainName& group : account->groups) {
      if (group.use == SidTypeGroup) names.push_back(group.Qualified());
    }
    return Found::Yes;
  }
  GroupEntry group;
  Found answer = directory_.FindGroupById(user.gid, group);
  if (answer == Found::Failed) return answer;
  // A primary gid without a group entry has no name to list.
  if (answer == Found::Yes && !IsUserPrivateGroup(group, user)) {
    names.push_back(names_.GroupName(group));
  }
  return Found::Yes;
}

Found GroupMemberships::LocalGroupsOf(const UserEntry& user, bool administrator,
                                      std::vector<std::wstring>& names) {
  names.clear();
  const DomainAccount* account = names_.DomainAccountOf(user);
  std::vector<uint32_t> gids;
  if (directory_.GroupIdsOf(user, gids) == Found::Failed) return Found::Failed;
  if (directory_.LookUpGroupIds(gids) == Found::Failed) return Found::Failed;
  // A domain account's domain groups are listed below, as the domain names them.
  std::vector<uint32_t> seen{user.gid};
  for (const DomainName& mapped : DomainGroups(account)) {
    if (mapped.gid) seen.push_back(*mapped.gid);
  }
  std::vector<GroupEntry> groups;
  GroupEntry group;
  for (uint32_t gid : gids) {
    if (std::find(seen.begin(), seen.end(), gid) != seen.end()) continue;
    seen.push_back(gid);
    Found answer = directory_.FindGroupById(gid, group);
    if (answer == Found::Failed) return answer;
    if (answer == Found::No || IsUserPrivateGroup(group, user)) continue;
    groups.push_back(group);
  }
  // A group is listed by its bare name only when the name finds it again (no user, no earlier
  // group has it): ask for all the names at once.
  if (LookUpNamesOf(groups) == Found::Failed) return Found::Failed;
  for (const GroupEntry& listed : groups) names.push_back(names_.GroupName(listed));
  bool listsAdministrators = false;
  for (const DomainName& alias : DomainGroups(account)) {
    if (alias.use == SidTypeGroup) continue;
    names.push_back(alias.Qualified());
    listsAdministrators = listsAdministrators || alias.sid == AdministratorsSid();
  }
  if (administrator && !listsAdministrators) {
    names.push_back(names_.ListedName(L"Administrators", L"BUILTIN", AdministratorsSid()));
  }
  return Found::Yes;
}

std::vector<TokenGroup> GroupMemberships::ProcessGroups(uint32_t euid,
                                                        const std::vector<uint32_t>& gids,
                                                        const Administrators& administrators) {
  std::vector<TokenGroup> groups;
  groups.push_back(TokenGroup{EveryoneSid()});
  UserEntry user;
  bool userKnown = directory_.FindUserById(euid, user) == Found::Yes;
  std::vector<uint32_t> seen;
  std::vector<GroupEntry> named;
  GroupEntry group;
  directory_.LookUpGroupIds(gids);
  for (uint32_t gid : gids) {
    if (std::find(seen.begin(), seen.end(), gid) != seen.end()) continue;
    seen.push_back(gid);
    // A group without an entry is still the process's: it shows as its SID alone.
    bool found = directory_.FindGroupById(gid, group) == Found::Yes;
    if (found && userKnown && IsUserPrivateGroup(group, user)) continue;
    if (found) named.push_back(group);
    groups.push_back(TokenGroup{names_.GroupSid(gid, found ? group.name : std::string())});
  }
  // The groups' names are looked up next, when the SIDs are shown; a failure shows there.
  LookUpNamesOf(named);
  auto holds = [&](const SidValue& sid) {
    return std::any_of(groups.begin(), groups.end(),
                       [&](const TokenGroup& g) { return g.sid == sid; });
  };
  const DomainAccount* account = userKnown ? names_.DomainAccountOf(user) : nullptr;
  for (const DomainName& mapped : DomainGroups(account)) {
    if (!holds(mapped.sid)) groups.push_back(TokenGroup{mapped.sid});
  }
  bool administrator = administrators.IncludesProcess(euid, gids) ||
                       std::any_of(groups.begin(), groups.end(),
                                   [](const TokenGroup& g) { return IsDomainAdmins(g.sid); });
  if (administrator && !holds(AdministratorsSid())) {
    groups.push_back(TokenGroup{AdministratorsSid()});
  }
  return groups;
}

}  // namespace compat
