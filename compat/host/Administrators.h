// Who administers the host: uid 0 and the members of the groups sudo, wheel and admin, by
// name in the group or by primary group, and on a host joined to a domain the members of the
// domain's Domain Admins, as on a joined Windows computer. They have Windows' administrator
// privilege level and belong to the built-in Administrators alias.
#pragma once

#include <unordered_set>
#include <string>
#include <vector>

#include "host/AccountDirectory.h"
#include "host/domain/DomainLink.h"

namespace compat {

class Administrators {
 public:
  // The three groups are read once, on the first question that needs them: uid 0 needs none,
  // which spares the report of root a walk through a group file of any size. A group that does
  // not exist adds no one. The directory and the domain (if any) must outlive the answer.
  static Administrators Read(AccountDirectory& directory, DomainLink* domain = nullptr);

  bool Includes(const UserEntry& user) const;
  // The same without the domain's Domain Admins (the list asks the domain for all at once).
  bool IncludesOnHost(const UserEntry& user) const;
  // Whether a process with these group ids (and effective uid) administers the host.
  bool IncludesProcess(uint32_t euid, const std::vector<uint32_t>& gids) const;
  // Whether the last question could not be answered because the groups could not be read (the
  // directory's LastError() tells why): its "no" may be wrong, and the caller fails instead of
  // showing it. The next question reads them again.
  bool Unreadable() const { return unreadable_; }

 private:
  Administrators(AccountDirectory& directory, DomainLink* domain)
      : directory_(&directory), domain_(domain) {}
  void Load() const;

  AccountDirectory* directory_;
  DomainLink* domain_;
  mutable bool loaded_ = false;
  mutable bool unreadable_ = false;
  mutable std::vector<uint32_t> gids_;
  mutable std::unordered_set<std::string> members_;
};

}  // namespace compat
