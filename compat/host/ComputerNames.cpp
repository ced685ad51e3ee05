#include "host/ComputerNames.h"

#include <netdb.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "LetterCase.h"
#include "win32/process.h"

namespace compat {
namespace {

template <typename Char>
std::basic_string_view<Char> FirstLabel(std::basic_string_view<Char> name) {
  return name.substr(0, name.find(Char('.')));
}

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

struct AddrInfoRelease {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::string ChooseDnsName(std::string_view hostName, const char* canonicalName) {
  if (canonicalName == nullptr || *canonicalName == '\0') return std::string(hostName);
  std::string_view canonical(canonicalName);
  if (!SameAsciiIgnoringCase(FirstLabel(canonical), FirstLabel(hostName))) {
    return std::string(hostName);
  }
  // The resolver may end a fully qualified name with the root's dot.
  if (canonical.size() > 1 && canonical.back() == '.') canonical.remove_suffix(1);
  return std::string(canonical);
}

std::string ResolveDnsName() {
  // uname's node name holds every legal host name, 64 characters included.
  struct utsname system {};
  if (uname(&system) != 0 || system.nodename[0] == '\0') return std::string();
  const char* hostName = system.nodename;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (getaddrinfo(hostName, nullptr, &hints, &found) != 0) return hostName;
  std::unique_ptr<addrinfo, AddrInfoRelease> list(found);
  return ChooseDnsName(hostName, list->ai_canonname);
}

std::wstring NetBiosNameOf(std::wstring_view dnsName) {
  std::wstring name(FirstLabel(dnsName).substr(0, MAX_COMPUTERNAME_LENGTH));
  for (wchar_t& c : name) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return name;
}

bool NamesThisComputer(std::wstring_view server, std::wstring_view dnsName,
                       std::wstring_view netbiosName) {
  while (!server.empty() && server.front() == L'\\') server.remove_prefix(1);
  if (server.empty()) return true;
  if (dnsName.empty()) return false;
  return SameNameIgnoringCase(server, dnsName) ||
         SameNameIgnoringCase(server, FirstLabel(dnsName)) ||
         SameNameIgnoringCase(server, netbiosName);
}

}  // namespace compat
