// What /etc/nsswitch.conf says about the account databases and the host names: the sources NSS
// asks for each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace compat {

struct Nsswitch {
  std::vector<std::string> passwd;
  std::vector<std::string> group;
  std::vector<std::string> shadow;
  std::vector<std::string> hosts;
  // The databases whose line holds actions ("[NOTFOUND=return]"), which can end a lookup
  // before the later sources.
  std::vector<std::string> withActions;

  // Whether a lookup of the group database finds what an enumeration of it finds first: its
  // sources enumerate all they can find (files, systemd; but see GroupEnumerationLeavesOut) and
  // no action ends a lookup early.
  bool GroupEnumerationFindsAll() const;
  // Whether a group of this name may be found by name though no enumeration lists it: the groups
  // nss-systemd makes up where the files lack them (root's, and nobody's as Debian or other
  // systems name it), where it is a source.
  bool GroupEnumerationLeavesOut(std::string_view name) const;
  // Whether a host name lookup asks only sources on this host (files, myhostname), which answer
  // at once: no name server can keep it waiting.
  bool HostLookupStaysLocal() const;

  static Nsswitch Parse(std::string_view text);
  // The host's; glibc's own defaults when the file cannot be read.
  static const Nsswitch& OfHost();
};

}  // namespace compat
