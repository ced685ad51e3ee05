// The account database: NSS users projected to Windows' account record, their groups, and the
// names and SIDs of both.
#include <ctime>

#include "host/AccountMapping.h"
#include "host/Administrators.h"
#include "host/GroupMemberships.h"
#include "host/HostMachine.h"
#include "host/Lastlog.h"
#include "host/NssErrors.h"
#include "host/ShadowWalk.h"

namespace compat {
namespace {

// Records read at once from lastlog while walking all accounts (about 64 KiB).
constexpr size_t kLastlogWalkRecords = 224;

// An account that the identity mapping knows has the domain's own record where its DC answers;
// a DC that has no such account has the last word. Without an answer the host's facts stand.
NET_API_STATUS ApplyDomainRecord(HostDirectory& host, const UserEntry& user,
                                 AccountRecord& record) {
  const DomainAccount* account = host.names.DomainAccountOf(user);
  AccountRecord domain;
  Found answer = account != nullptr ? host.domain->Record(account->user, domain) : Found::Failed;
  if (answer == Found::Yes) MergeDomainRecord(domain, record);
  return answer == Found::No ? NERR_UserNotFound : NERR_Success;
}

// The passwd entry of an account name on this computer: NERR_Success, NERR_UserNotFound,
// NERR_InvalidComputer or the error of NSS.
NET_API_STATUS FindAccount(std::wstring_view server, std::wstring_view name, UserEntry& user) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  HostDirectory& host = HostDirectory::Get();
  Found answer = host.names.FindUser(name, user);
  if (answer == Found::Failed) return WindowsErrorOfNss(host.directory.LastError());
  return answer == Found::Yes ? NERR_Success : NERR_UserNotFound;
}

}  // namespace

NET_API_STATUS HostAccounts::GetAccount(std::wstring_view server, std::wstring_view user,
                                        AccountRecord& record) {
  UserEntry entry;
  if (NET_API_STATUS status = FindAccount(server, user, entry); status != NERR_Success) {
    return status;
  }
  HostDirectory& host = HostDirectory::Get();
  HostAccountFacts facts;
  facts.user = &entry;
  // Shadow is read as the list reads it, entry by entry, so that the report and the list know
  // the same records: none that the caller cannot read, none that a source makes up for a
  // single lookup (nss-systemd's root and nobody).
  facts.shadow = host.directory.FindShadow(entry.name);
  facts.lastLogon = LastlogReader().LastLogon(entry.uid);
  facts.administrator = host.administrators.Includes(entry);
  if (!facts.administrator && host.administrators.Unreadable()) {
    return WindowsErrorOfNss(host.directory.LastError());
  }
  facts.guestUid = host.guestUid;
  facts.now = static_cast<int64_t>(std::time(nullptr));
  record = MapAccountRecord(facts);
  // The report looks the record's name up again for the account's SID.
  record.name = host.names.UserName(entry);
  return ApplyDomainRecord(host, entry, record);
}

NET_API_STATUS HostAccounts::EnumerateAccounts(
    std::wstring_view server, DWORD& resumeHandle,
    const std::function<bool(const AccountRecord&)>& sink) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  HostDirectory& host = HostDirectory::Get();
  // Shadow, lastlog and the administrator groups are each read once for the whole walk.
  Administrators& administrators = host.administrators;
  ShadowWalk shadow(host.directory);
  LastlogReader lastlog(kLastlogPath, kLastlogWalkRecords);
  HostAccountFacts facts;
  facts.guestUid = host.guestUid;
  facts.now = static_cast<int64_t>(std::time(nullptr));
  AccountRecord record;  // one record, refilled for each account
  DWORD index = 0;
  DWORD refused = 0;
  bool more = false;
  NET_API_STATUS unreadable = NERR_Success;  // the administrator groups could not be read
  bool complete = host.directory.ForEachUser([&](const UserEntry& user) {
    // A line without a name is no account: no name can ask for it again.
    if (more || unreadable != NERR_Success || user.name.empty() || index++ < resumeHandle) return;
    facts.user = &user;
    facts.shadow = shadow.Find(user.name);
    facts.lastLogon = lastlog.LastLogon(user.uid);
    // A domain account shows the flags its DC keeps and is an administrator in Domain Admins;
    // the DC is asked for all its accounts at once. Where it did not answer, the host's flags
    // stand and the groups winbind knows say whether it is in Domain Admins, as in its report.
    std::optional<ListedAccount> domain = host.domain ? host.domain->Listed(user) : std::nullopt;
    facts.administrator =
        administrators.IncludesOnHost(user) ||
        (domain && (domain->admin ? *domain->admin : administrators.Includes(user)));
    if (!facts.administrator && administrators.Unreadable()) {
      unreadable = WindowsErrorOfNss(host.directory.LastError());
      return;
    }
    MapAccountRecordInto(facts, record);
    if (domain && domain->flags) record.flags = *domain->flags;
    if (!sink(record)) {
      more = true;
      refused = index - 1;
    }
  });
  if (!complete) return WindowsErrorOfNss(host.directory.LastError());
  if (unreadable != NERR_Success) return unreadable;
  resumeHandle = more ? refused : 0;
  return more ? ERROR_MORE_DATA : NERR_Success;
}

// The global group is the primary one. Unix groups do not nest: the indirect local memberships
// are the direct ones.
NET_API_STATUS HostAccounts::Groups(GroupScope scope, std::wstring_view server,
                                    std::wstring_view user, std::vector<std::wstring>& groups) {
  UserEntry entry;
  if (NET_API_STATUS status = FindAccount(server, user, entry); status != NERR_Success) {
    return status;
  }
  HostDirectory& host = HostDirectory::Get();
  GroupMemberships memberships(host.directory, host.names);
  bool administrator = scope == GroupScope::Local && host.administrators.Includes(entry);
  if (scope == GroupScope::Local && !administrator && host.administrators.Unreadable()) {
    return WindowsErrorOfNss(host.directory.LastError());
  }
  Found answer = scope == GroupScope::Local
                     ? memberships.LocalGroupsOf(entry, administrator, groups)
                     : memberships.GlobalGroupsOf(entry, groups);
  return answer == Found::Failed ? WindowsErrorOfNss(host.directory.LastError()) : NERR_Success;
}

DWORD HostAccounts::LookupName(std::wstring_view system, std::wstring_view name,
                               AccountLookup& found) {
  if (!IsThisComputer(system)) return RPC_S_SERVER_UNAVAILABLE;
  return HostDirectory::Get().names.LookupName(name, found);
}

DWORD HostAccounts::LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) {
  if (!IsThisComputer(system)) return RPC_S_SERVER_UNAVAILABLE;
  return HostDirectory::Get().names.LookupSid(sid, found);
}

}  // namespace compat
