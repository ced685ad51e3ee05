#include "host/ComputerNames.h"

#include <netdb.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "CodePages.h"
#include "LetterCase.h"
#include "host/CtrlSignals.h"
#include "host/Nsswitch.h"
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

// One question to the resolver, shared by the asker and the thread that asks.
struct Lookup {
  std::string name;
  addrinfo hints{};
  std::mutex lock;
  std::condition_variable answered;
  bool done = false;
  bool abandoned = false;
  addrinfo* result = nullptr;
};

void Ask(const std::shared_ptr<Lookup>& lookup) {
  addrinfo* found = nullptr;
  if (getaddrinfo(lookup->name.c_str(), nullptr, &lookup->hints, &found) != 0) found = nullptr;
  std::lock_guard<std::mutex> hold(lookup->lock);
  if (lookup->abandoned) {
    if (found != nullptr) freeaddrinfo(found);
    return;
  }
  lookup->result = found;
  lookup->done = true;
  lookup->answered.notify_one();
}

// The resolver's answer for the host name, waited for at most kResolverWait. Windows names
// itself from its own settings and never waits on the network, so a silent name server must
// not hold up the report: past the wait there is no answer, and the question is left to end on
// its own thread, which then frees what it got. Where no source of host names is off the host
// (and no nscd runs), the question is asked on the caller's thread: a thread's start and the wait
// for it cost a quarter of a millisecond, an eighth of the report of the current user.
AddrInfoList ResolveWithin(const char* hostName, const addrinfo& hints) {
  auto lookup = std::make_shared<Lookup>();
  lookup->name = hostName;
  lookup->hints = hints;
  // A running nscd answers for any source, and may keep the question waiting as a name server.
  if (Nsswitch::OfHost().HostLookupStaysLocal() && access("/var/run/nscd/socket", F_OK) != 0) {
    Ask(lookup);
    return AddrInfoList(lookup->result);
  }
  TakeControlSignalsOnAThread();  // the name server may keep the program waiting a second
  std::thread asker;
  try {
    asker = std::thread(Ask, lookup);
  } catch (const std::system_error&) {
    Ask(lookup);  // no thread to be had: the resolver is asked and waited for
    return AddrInfoList(lookup->result);
  }
  std::unique_lock<std::mutex> hold(lookup->lock);
  if (!lookup->answered.wait_for(hold, kResolverWait, [&] { return lookup->done; })) {
    lookup->abandoned = true;
    hold.unlock();
    asker.detach();
    return nullptr;
  }
  hold.unlock();
  asker.join();
  return AddrInfoList(lookup->result);
}

}  // namespace

std::string ChooseDnsName(std::string_view hostName, const char* canonicalName) {
  // A name given fully qualified may end with the root's dot, which Windows' names never show.
  auto withoutRoot = [](std::string_view name) {
    if (name.size() > 1 && name.back() == '.') name.remove_suffix(1);
    return std::string(name);
  };
  if (canonicalName == nullptr || *canonicalName == '\0') return withoutRoot(hostName);
  std::string_view canonical(canonicalName);
  if (!SameAsciiIgnoringCase(FirstLabel(canonical), FirstLabel(hostName))) {
    return withoutRoot(hostName);
  }
  return withoutRoot(canonical);
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
  return ChooseDnsName(hostName, list ? list->ai_canonname : nullptr);
}

std::wstring NetBiosNameOf(std::wstring_view dnsName, UINT codePage) {
  std::wstring name = UpperCased(FirstLabel(dnsName).substr(0, MAX_COMPUTERNAME_LENGTH));
  while (EncodeText(codePage, name).size() > MAX_COMPUTERNAME_LENGTH) name.pop_back();
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
