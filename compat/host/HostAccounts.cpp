// The account database: NSS users projected to Windows' account record.
#include <grp.h>
#include <pwd.h>
#include <shadow.h>

#include <cerrno>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "host/HostMachine.h"

namespace compat {
namespace {

// Names of the members of the groups whose members administer the host.
std::set<std::string> AdministratorNames() {
  std::set<std::string> names;
  for (const char* groupName : {"sudo", "wheel", "admin"}) {
    std::vector<char> buffer(16384);
    group entry{};
    group* result = nullptr;
    while (getgrnam_r(groupName, &entry, buffer.data(), buffer.size(), &result) == ERANGE) {
      buffer.resize(buffer.size() * 2);
    }
    if (result == nullptr) continue;
    for (char** member = entry.gr_mem; *member != nullptr; ++member) names.insert(*member);
  }
  return names;
}

DWORD PrivilegeOf(const passwd& entry, const std::set<std::string>& administrators) {
  if (entry.pw_uid == 0 || administrators.count(entry.pw_name) != 0) return USER_PRIV_ADMIN;
  if (std::string_view(entry.pw_name) == "nobody") return USER_PRIV_GUEST;
  return USER_PRIV_USER;
}

}  // namespace

NET_API_STATUS HostMachine::GetAccount(std::wstring_view server, std::wstring_view user,
                                       AccountRecord& record) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  std::string name = ToHost(user);
  int error;
  while ((error = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &result)) ==
         ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (result == nullptr) return error == 0 ? NERR_UserNotFound : NERR_InternalError;
  record = AccountRecord{};
  record.name = FromHost(entry.pw_name);
  record.fullName = FromHost(entry.pw_gecos);
  record.homeDir = FromHost(entry.pw_dir);
  record.scriptPath = FromHost(entry.pw_shell);
  record.userId = entry.pw_uid;
  record.primaryGroupId = entry.pw_gid;
  record.priv = PrivilegeOf(entry, AdministratorNames());
  return NERR_Success;
}

NET_API_STATUS HostMachine::EnumerateAccounts(
    std::wstring_view server, DWORD& resumeHandle,
    const std::function<void(const AccountRecord&)>& sink) {
  if (!IsThisComputer(server)) return NERR_InvalidComputer;
  std::set<std::string> administrators = AdministratorNames();
  AccountRecord record;
  setpwent();
  while (passwd* entry = getpwent()) {
    record.name = FromHost(entry->pw_name);
    record.fullName = FromHost(entry->pw_gecos);
    record.homeDir = FromHost(entry->pw_dir);
    record.scriptPath = FromHost(entry->pw_shell);
    record.userId = entry->pw_uid;
    record.primaryGroupId = entry->pw_gid;
    record.priv = PrivilegeOf(*entry, administrators);
    sink(record);
  }
  endpwent();
  resumeHandle = 0;
  return NERR_Success;
}

NET_API_STATUS HostMachine::GlobalGroups(std::wstring_view server, std::wstring_view user,
                                         std::vector<std::wstring>& groups) {
  (void)server;
  (void)user;
  (void)groups;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

NET_API_STATUS HostMachine::LocalGroups(std::wstring_view server, std::wstring_view user,
                                        DWORD flags, std::vector<std::wstring>& groups) {
  (void)server;
  (void)user;
  (void)flags;
  (void)groups;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

bool HostMachine::IsThisComputer(std::wstring_view server) {
  while (!server.empty() && server.front() == L'\\') server.remove_prefix(1);
  if (server.empty()) return true;
  auto equal = [](std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (towlower(static_cast<wint_t>(a[i])) != towlower(static_cast<wint_t>(b[i]))) return false;
    }
    return true;
  };
  return equal(server, ComputerNameDns()) || equal(server, ComputerNameNetBios());
}

}  // namespace compat
