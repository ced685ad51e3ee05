// The account database: NSS users projected to Windows' account record, and their groups.
#include <ctime>

#include "host/AccountMapping.h"
#include "host/Administrators.h"
#include "host/GroupMemberships.h"
#include "host/HostMachine.h"
#include "host/HostText.h"
#include "host/Lastlog.h"
#include "host/NssErrors.h"
#include "host/ShadowWalk.h"

namespace compat {
namespace {

// Records read at once from lastlog while walking all accounts (about 64 KiB).
constexpr size_t kLastlogWalkRecords = 224;

}  // namespace

NET_API_STATUS HostMachine::FindAccount(std::wstring_view name, UserEntry& user) {
  std::optional<std::string> hostName = HostNameOf(codePage_, name);
  if (!hostName || hostName->empty()) return NERR_UserNotFound;
  switch (directory_.FindUser(*hostName, user)) {
    case Found::Yes:
      return NERR_Success;
    case Found::No:
      return NERR_UserNotFound;
    default:
      return WindowsErrorOfNss(directory_.LastError());
  }
}

NET_API_STATUS HostMachine::GetAccount(std::wstring_view server, std::wstring_view user,
                                       AccountRecord& record) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  UserEntry entry;
  if (NET_API_STATUS status = FindAccount(user, entry); status != NERR_Success) return status;
  HostAccountFacts facts;
  facts.user = &entry;
  // Shadow that cannot be read (an ordinary user) leaves its facts unknown.
  ShadowEntry shadow;
  if (directory_.FindShadow(entry.name, shadow) == Found::Yes) facts.shadow = shadow;
  facts.lastLogon = LastlogReader().LastLogon(entry.uid);
  facts.administrator = Administrators::Read(directory_).Includes(entry);
  facts.guestUid = guestUid_;
  facts.now = static_cast<int64_t>(std::time(nullptr));
  record = MapAccountRecord(facts, codePage_);
  return NERR_Success;
}

NET_API_STATUS HostMachine::EnumerateAccounts(
    std::wstring_view server, DWORD& resumeHandle,
    const std::function<void(const AccountRecord&)>& sink) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  resumeHandle = 0;  // one batch holds every account
  // Shadow, lastlog and the administrator groups are each read once for the whole walk.
  Administrators administrators = Administrators::Read(directory_);
  ShadowWalk shadow(directory_);
  LastlogReader lastlog(kLastlogPath, kLastlogWalkRecords);
  HostAccountFacts facts;
  facts.guestUid = guestUid_;
  facts.now = static_cast<int64_t>(std::time(nullptr));
  AccountRecord record;  // one record, refilled for each account
  bool complete = directory_.ForEachUser([&](const UserEntry& user) {
    facts.user = &user;
    facts.shadow = shadow.Find(user.name);
    facts.lastLogon = lastlog.LastLogon(user.uid);
    facts.administrator = administrators.Includes(user);
    MapAccountRecordInto(facts, codePage_, record);
    sink(record);
  });
  return complete ? NERR_Success : WindowsErrorOfNss(directory_.LastError());
}

NET_API_STATUS HostMachine::GlobalGroups(std::wstring_view server, std::wstring_view user,
                                         std::vector<std::wstring>& groups) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  UserEntry entry;
  if (NET_API_STATUS status = FindAccount(user, entry); status != NERR_Success) return status;
  GroupMemberships memberships(directory_, names_, codePage_);
  if (memberships.GlobalGroupsOf(entry, groups) == Found::Failed) {
    return WindowsErrorOfNss(directory_.LastError());
  }
  return NERR_Success;
}

NET_API_STATUS HostMachine::LocalGroups(std::wstring_view server, std::wstring_view user,
                                        DWORD flags, std::vector<std::wstring>& groups) {
  (void)flags;  // Unix groups do not nest: the indirect memberships are the direct ones
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  UserEntry entry;
  if (NET_API_STATUS status = FindAccount(user, entry); status != NERR_Success) return status;
  bool administrator = Administrators::Read(directory_).Includes(entry);
  GroupMemberships memberships(directory_, names_, codePage_);
  if (memberships.LocalGroupsOf(entry, administrator, groups) == Found::Failed) {
    return WindowsErrorOfNss(directory_.LastError());
  }
  return NERR_Success;
}

}  // namespace compat
