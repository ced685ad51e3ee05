#include "host/ComputerNames.h"

#include <netdb.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
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
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoRelease>;

constexpr std::chrono::milliseconds kResolverWait{1000};

// The resolver's answer for the host name, waited for at most kResolverWait. Windows names
// itself from its own settings and never waits on the network, so a silent name server must
// not hold up the report: past the wait there is no answer. A request left running keeps its
// state, which is static for that reason, and a later call does not start another.
AddrInfoList ResolveWithin(const char* hostName, const addrinfo& hints) {
  static std::atomic<bool> requestOut{false};
  static char name[sizeof(utsname::nodename)];
  static addrinfo request_hints;
  static gaicb request;
  if (requestOut.exchange(true)) return nullptr;
  size_t length = strnlen(hostName, sizeof(name) - 1);
  std::memcpy(name, hostName, length);
  name[length] = '\0';
  request_hints = hints;
  request = gaicb{};
  request.ar_name = name;
  request.ar_request = &request_hints;
  gaicb* list[] = {&request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    // No thread for the request: the resolver is asked and waited for.
    requestOut = false;
    addrinfo* found = nullptr;
    return AddrInfoList(getaddrinfo(hostName, nullptr, &hints, &found) == 0 ? found : nullptr);
  }
  auto deadline = std::chrono::steady_clock::now() + kResolverWait;
  while (gai_error(&request) == EAI_INPROGRESS) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return nullptr;  // the request stays out
    timespec wait{static_cast<time_t>(left.count() / 1000000000),
                  static_cast<long>(left.count() % 1000000000)};
    gai_suspend(list, 1, &wait);
  }
  requestOut = false;
  return AddrInfoList(gai_error(&request) == 0 ? request.ar_result : nullptr);
}

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
  AddrInfoList list = ResolveWithin(hostName, hints);
  return list ? ChooseDnsName(hostName, list->ai_canonname) : std::string(hostName);
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
