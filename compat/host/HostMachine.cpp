#include "host/HostMachine.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "host/ComputerNames.h"
#include "host/HostLocale.h"
#include "host/HostText.h"

namespace compat {
namespace {

constexpr uint32_t kDefaultOverflowUid = 65534;

// The uid the kernel shows for an unmapped user: the account "nobody", Windows' guest.
uint32_t ReadOverflowUid() {
  FileDescriptor file(open("/proc/sys/kernel/overflowuid", O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return kDefaultOverflowUid;
  char text[32] = {};
  ssize_t n = read(file.get(), text, sizeof(text) - 1);
  if (n <= 0) return kDefaultOverflowUid;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || value > 0xFFFFFFFFul) return kDefaultOverflowUid;
  return static_cast<uint32_t>(value);
}

}  // namespace

HostMachine::HostMachine()
    : codePage_(ReadLocaleCodePage()),
      locale_(ReadLocaleFacts(codePage_)),
      guestUid_(ReadOverflowUid()),
      names_(directory_, codePage_, [this](std::wstring_view domain) {
        return NamesThisComputer(domain, ComputerNameDns(), ComputerNameNetBios());
      }) {
  // A write to a closed pipe fails like any other write instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
}

std::wstring HostMachine::ComputerNameDns() {
  if (!dnsName_) dnsName_ = WideFromHost(codePage_, ResolveDnsName());
  return *dnsName_;
}

std::wstring HostMachine::ComputerNameNetBios() {
  return NetBiosNameOf(ComputerNameDns());
}

bool HostMachine::IsThisComputer(std::wstring_view server) {
  std::wstring_view name = server;
  while (!name.empty() && name.front() == L'\\') name.remove_prefix(1);
  // The local computer needs no name, so a listing never waits for the resolver.
  if (name.empty() || SameNameIgnoringCase(name, kUnixUserDomain)) return true;
  return NamesThisComputer(name, ComputerNameDns(), ComputerNameNetBios());
}

}  // namespace compat
