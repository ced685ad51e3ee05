// The Linux computer's names, account domain SID and locale (HostNames); what the facets share
// (HostDirectory: the accounts, the domain link, the administrator groups, the guest's uid); and
// whether a server name means this computer.
#include "host/HostMachine.h"

#include <cstdlib>

#include "host/ComputerNames.h"
#include "host/HostLocale.h"
#include "host/HostText.h"
#include "host/Nsswitch.h"

namespace compat {
namespace {

constexpr uint32_t kDefaultOverflowUid = 65534;

uint32_t ReadOverflowUid() {
  std::optional<std::string> text = ReadRegularFile("/proc/sys/kernel/overflowuid", 64);
  if (!text) return kDefaultOverflowUid;
  char* end = nullptr;
  unsigned long value = std::strtoul(text->c_str(), &end, 10);
  return end == text->c_str() || value > 0xFFFFFFFFul ? kDefaultOverflowUid
                                                      : static_cast<uint32_t>(value);
}

}  // namespace

HostDirectory::HostDirectory()
    : domain(DomainLink::Open(Nsswitch::OfHost())),
      names(directory, IsThisComputer, domain.get()),
      administrators(Administrators::Read(directory, domain.get())),
      guestUid(ReadOverflowUid()) {}

HostDirectory& HostDirectory::Get() {
  static HostDirectory host;
  return host;
}

bool IsThisComputer(std::wstring_view server) {
  std::wstring_view name = server;
  while (!name.empty() && name.front() == L'\\') name.remove_prefix(1);
  // The local computer needs no name, so a listing never waits for the resolver.
  if (name.empty() || SameNameIgnoringCase(name, kUnixUserDomain)) return true;
  Names& host = TheNames();
  return NamesThisComputer(name, host.ComputerNameDns(), host.ComputerNameNetBios());
}

HostNames::HostNames() : codePage_(ReadLocaleCodePage()), locale_(ReadLocaleFacts()) {}

std::wstring HostNames::ComputerNameDns() {
  if (!dnsName_) dnsName_ = WideFromHost(ResolveDnsName());
  return *dnsName_;
}

std::wstring HostNames::ComputerNameNetBios() {
  return NetBiosNameOf(ComputerNameDns(), codePage_);
}

// The computer's own domain, made from its machine id as Samba makes a computer's SID: three
// random sub-authorities behind S-1-5-21.
std::optional<SidValue> HostNames::AccountDomainSid() {
  std::optional<std::string> id = ReadRegularFile("/etc/machine-id", 64);
  if (!id || id->size() < 24) return std::nullopt;
  SidValue sid;
  sid.authority = 5;
  sid.subAuthorities = {21};
  for (size_t i = 0; i < 24; i += 8) {
    char* end = nullptr;
    std::string part = id->substr(i, 8);
    unsigned long value = std::strtoul(part.c_str(), &end, 16);
    if (end != part.c_str() + 8) return std::nullopt;
    sid.subAuthorities.push_back(static_cast<DWORD>(value));
  }
  return sid;
}

UINT HostNames::AnsiCodePage() {
  return codePage_;
}

LocaleFacts HostNames::Locale() {
  return locale_;
}

}  // namespace compat
