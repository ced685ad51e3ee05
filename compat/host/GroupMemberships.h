// The groups of an account and of the running process, as Windows lists them: the primary
// group as the global group, the other groups (and the built-in Administrators alias for
// administrators) as local groups. A user-private group (a group with the user's own name
// whose only member is that user) is part of the user and listed nowhere. An account that the
// host's identity mapping knows has the domain's groups: its domain groups as the global groups,
// the domain's aliases and the host's own groups as local groups.
#pragma once

#include <string>
#include <vector>

#include "Machine.h"
#include "host/AccountDirectory.h"
#include "host/AccountNames.h"
#include "host/Administrators.h"

namespace compat {

bool IsUserPrivateGroup(const GroupEntry& group, const UserEntry& user);

class GroupMemberships {
 public:
  GroupMemberships(AccountDirectory& directory, AccountNames& names);

  // The names are those under which LookupName finds each group again, and nothing else
  // (AccountNames::GroupName). Failed when the directory could not be asked (its LastError()
  // tells why).
  Found GlobalGroupsOf(const UserEntry& user, std::vector<std::wstring>& names);
  Found LocalGroupsOf(const UserEntry& user, bool administrator, std::vector<std::wstring>& names);

  // The groups of a process token, in this order: Everyone, the process's groups (the
  // effective group first, then the supplementary groups, each once, without the user's
  // private group), the domain's other groups of the user, and the Administrators alias when
  // the process administers the host.
  std::vector<TokenGroup> ProcessGroups(uint32_t euid, const std::vector<uint32_t>& gids,
                                        const Administrators& administrators);

 private:
  // Asks at once for the users and the groups of the groups' names, which GroupName asks for one
  // by one.
  Found LookUpNamesOf(const std::vector<GroupEntry>& groups);

  AccountDirectory& directory_;
  AccountNames& names_;
};

}  // namespace compat
