#include "host/GroupMemberships.h"

#include <algorithm>

namespace compat {

bool IsUserPrivateGroup(const GroupEntry& group, const UserEntry& user) {
  if (group.name != user.name) return false;
  bool userIsMember = user.gid == group.gid;
  for (const std::string& member : group.members) {
    if (member != user.name) return false;
    userIsMember = true;
  }
  return userIsMember;
}

Found GroupMemberships::LookUpUsersNamedAs(const std::vector<GroupEntry>& groups) {
  std::vector<std::string> names;
  for (const GroupEntry& group : groups) names.push_back(group.name);
  return directory_.LookUpUsersNamed(names);
}

GroupMemberships::GroupMemberships(AccountDirectory& directory, AccountNames& names)
    : directory_(directory), names_(names) {}

Found GroupMemberships::GlobalGroupsOf(const UserEntry& user, std::vector<std::wstring>& names) {
  names.clear();
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
  std::vector<uint32_t> gids;
  if (directory_.GroupIdsOf(user, gids) == Found::Failed) return Found::Failed;
  if (directory_.LookUpGroupIds(gids) == Found::Failed) return Found::Failed;
  std::vector<uint32_t> seen{user.gid};
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
  // A group is listed by its bare name only when no user has that name: ask for them all at once.
  if (LookUpUsersNamedAs(groups) == Found::Failed) return Found::Failed;
  for (const GroupEntry& listed : groups) names.push_back(names_.GroupName(listed));
  if (administrator) {
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
    groups.push_back(TokenGroup{UnixGroupSid(gid)});
  }
  // The groups' names are looked up next, when the SIDs are shown; a failure shows there.
  LookUpUsersNamedAs(named);
  if (administrators.IncludesProcess(euid, gids)) groups.push_back(TokenGroup{AdministratorsSid()});
  return groups;
}

}  // namespace compat
