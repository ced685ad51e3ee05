// The names of this computer: the DNS name (the host name with the domain the resolver gives
// it), the NetBIOS name derived from it, and whether a server name names this computer.
#pragma once

#include <string>
#include <string_view>

#include "win32/base.h"

namespace compat {

// The host name as the resolver completes it: the canonical name of the node name (uname) when
// it is that name with a domain, else the host name itself (also when the resolver has not
// answered within a second). Empty when there is no host name.
std::string ResolveDnsName();

// Picks the DNS name from the host name and the resolver's canonical name (null when the
// resolver gave none): the canonical name counts only when its first label is the host name's,
// so that an alias line such as "127.0.0.1 localhost myhost" does not rename the computer. Either
// without the root's dot at its end.
std::string ChooseDnsName(std::string_view hostName, const char* canonicalName);

// The first label, upper case, cut on whole characters to the 15 bytes a NetBIOS name holds in
// the code page, so that GetComputerNameA always fits the 16 bytes Windows promises.
std::wstring NetBiosNameOf(std::wstring_view dnsName, UINT codePage);

// Whether a server name (with or without leading backslashes, in any case) names this
// computer: empty, its DNS name, its host name (the first label) or its NetBIOS name.
bool NamesThisComputer(std::wstring_view server, std::wstring_view dnsName,
                       std::wstring_view netbiosName);

}  // namespace compat
