// What a host joined to an Active Directory domain knows of its accounts: the SIDs and names of
// its identity mapping (winbind or SSSD) and the domain controller's own record of an account.
//
// No library of Samba or SSSD is needed to build or run the program. When nsswitch.conf names
// winbind or sss for passwd or group, a helper process is forked at the first question; it binds
// libwbclient or libsss_nss_idmap, and libnetapi, at run time and answers over a socket. The
// program waits for it at most a budget in all (5 seconds), whatever the network or a library
// does; once the budget is spent the helper is killed, and every later question is answered
// from what the program has already been told, or as not known. When nsswitch.conf names
// neither, Open() returns nothing: no library is loaded and no process is started.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Machine.h"
#include "host/AccountDirectory.h"
#include "host/FileDescriptor.h"
#include "host/Nsswitch.h"

namespace compat {

// A SID with its domain, name and kind as the identity mapping gives them.
struct DomainName {
  SidValue sid;
  std::wstring domain;
  std::wstring name;
  SID_NAME_USE use = SidTypeUnknown;
  std::optional<uint32_t> gid;  // the group's id on this host, when it has one

  std::wstring Qualified() const { return domain + L"\\" + name; }
};

// A host account that the identity mapping knows, and its groups (the account itself not among
// them), in the mapping's order.
struct DomainAccount {
  DomainName user;
  std::vector<DomainName> groups;
};

// What the list shows of a domain account from its DC: the flags the DC keeps and whether the
// account is in the domain's Domain Admins; neither is known when the DC did not answer for it.
struct ListedAccount {
  std::optional<DWORD> flags;
  std::optional<bool> admin;
};

struct DomainOptions {
  std::string wbclient = "libwbclient.so.0";
  std::string sssIdmap = "libsss_nss_idmap.so.0";
  std::string netapi = "libnetapi.so.1";
  std::string credentials = "libsamba-credentials.so.1";
  std::string hostconfig = "libsamba-hostconfig.so.0";
  std::chrono::milliseconds budget{5000};
  // Whether root may read the DC's record with the machine account when it has no ticket.
  bool machineAccount = true;
};

// Whether a SID is the Domain Admins group of a domain: S-1-5-21-a-b-c-512.
bool IsDomainAdmins(const SidValue& sid);

// The domain's record over the host's: every field the domain keeps, and the host's text where
// the domain's is empty; the name and the privilege level stay the host's (the name is the one
// this host knows the account by, and the host decides who administers it).
void MergeDomainRecord(const AccountRecord& domain, AccountRecord& record);

class DomainLink {
 public:
  // Nothing when nsswitch.conf names neither winbind nor sss for passwd or group.
  static std::unique_ptr<DomainLink> Open(const Nsswitch& nsswitch, DomainOptions options = {});
  ~DomainLink();
  DomainLink(const DomainLink&) = delete;
  DomainLink& operator=(const DomainLink&) = delete;

  // Answers are remembered for the life of the link. Null or nothing: the mapping does not know.
  // A user or group is the domain's only when the mapping names it as NSS does (DOMAIN\NAME,
  // NAME or NAME@DOMAIN): Samba's DC maps some of the host's own ids too (root to
  // Administrator, users to Domain Users), and those stay the host's. A group without an NSS
  // entry (an empty name) is as the mapping names it.
  const DomainAccount* Account(const UserEntry& user);
  std::optional<DomainName> Group(uint32_t gid, std::string_view nssName);
  // What the mapping has told of a SID or a DOMAIN\NAME (in any case) so far: the program asks
  // only about SIDs and names it was given.
  std::optional<DomainName> LookupSid(const SidValue& sid) const;
  std::optional<DomainName> LookupName(std::wstring_view domainAndName) const;
  // Whether the user is a member of a domain's Domain Admins.
  bool InDomainAdmins(const UserEntry& user);
  // The DC's record of an account, asked with the caller's Kerberos ticket when there is one,
  // else, for root, with the machine account. Yes: in record; No: the DC has no such account;
  // Failed: not known.
  Found Record(const DomainName& user, AccountRecord& record);
  // The list's facts of an account the mapping knows, from one enumeration of its domain's
  // accounts and Domain Admins for the whole run (not a record per account, which thousands of
  // accounts could not afford in the budget). Nothing: not an account of a domain, or the
  // mapping is out of reach.
  std::optional<ListedAccount> Listed(const UserEntry& user);

  std::chrono::milliseconds Waited() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(waited_);
  }

 private:
  DomainLink(DomainOptions options, bool winbind, bool sss);
  using Message = std::vector<std::wstring>;
  using Names = std::map<std::wstring, std::optional<DomainName>>;
  std::optional<Message> Ask(const Message& request);
  void Remember(const DomainName& name);
  void Stop();

  DomainOptions options_;
  bool winbind_;
  bool sss_;
  pid_t helper_ = -1;
  FileDescriptor socket_;
  bool spent_ = false;
  // Counted whole, not in milliseconds: a list asks thousands of questions of a fraction each.
  std::chrono::steady_clock::duration waited_{0};
  // By uid and NSS name: NSS may give a uid two names (a files alias beside the domain's).
  std::map<std::pair<uint32_t, std::string>, std::optional<DomainAccount>> accounts_;
  Names groups_;  // by gid
  Names sids_;    // by SID text
  Names names_;   // by upper-case DOMAIN\NAME
  // The list's facts by upper-case account name, by upper-case domain.
  std::map<std::wstring, std::map<std::wstring, ListedAccount>> rosters_;
};

}  // namespace compat
