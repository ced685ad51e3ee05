// The privileges section: whether the running program's token holds each privilege.
#include <vector>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"

namespace {

// The names the section asks about, in order; the first and tenth are the same.
constexpr const wchar_t* kPrivilegeNames[] = {
    L"SeTakeOwnershipPrivilege",
    L"SeCreateTokenPrivilege",
    L"SeAssignPrimaryTokenPrivilege",
    L"SeLockMemoryPrivilege",
    L"SeIncreaseQuotaPrivilege",
    L"SeUnsolicitedInputPrivilege",
    L"SeMachineAccountPrivilege",
    L"SeTcbPrivilege",
    L"SeSecurityPrivilege",
    L"SeTakeOwnershipPrivilege",
    L"SeLoadDriverPrivilege",
    L"SeSystemProfilePrivilege",
    L"SeSystemtimePrivilege",
    L"SeProfileSingleProcessPrivilege",
    L"SeIncreaseBasePriorityPrivilege",
    L"SeCreatePagefilePrivilege",
    L"SeCreatePermanentPrivilege",
    L"SeBackupPrivilege",
    L"SeRestorePrivilege",
    L"SeShutdownPrivilege",
    L"SeDebugPrivilege",
    L"SeAuditPrivilege",
    L"SeSystemEnvironmentPrivilege",
    L"SeChangeNotifyPrivilege",
    L"SeRemoteShutdownPrivilege",
    L"SeUndockPrivilege",
    L"SeSyncAgentPrivilege",
    L"SeEnableDelegationPrivilege",
    L"SeManageVolumePrivilege",
    L"SeImpersonatePrivilege",
    L"SeCreateGlobalPrivilege",
};
static_assert(std::size(kPrivilegeNames) == 31, "31 lines");

constexpr DWORD kDisplayNameBuffer = 256;

}  // namespace

bool HasPrivilege(std::wstring_view name) {
  HandleGuard token;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, token.Receive())) {
    // Only a thread that is not impersonating falls back to the process token. PrivilegeCheck
    // takes an impersonation token only, and refuses the process's own (a primary token), so
    // the check runs on a copy of it at the identification level.
    if (GetLastError() != ERROR_NO_TOKEN) return false;
    HandleGuard process;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, process.Receive())) return false;
    if (!DuplicateToken(process.get(), SecurityIdentification, token.Receive())) return false;
  }
  PRIVILEGE_SET privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Control = 0;
  std::wstring text(name);
  // A name the system does not know is not held.
  if (!LookupPrivilegeValueW(nullptr, text.c_str(), &privileges.Privilege[0].Luid)) return false;
  BOOL held = FALSE;
  return PrivilegeCheck(token.get(), &privileges, &held) && held;
}

std::wstring GetPrivilegeDisplayName(std::wstring_view name) {
  std::wstring text(name);
  std::vector<wchar_t> buffer(kDisplayNameBuffer, L'\0');
  DWORD cch = kDisplayNameBuffer;
  DWORD language = 0;
  if (!LookupPrivilegeDisplayNameW(nullptr, text.c_str(), buffer.data(), &cch, &language)) {
    return text;
  }
  return std::wstring(buffer.data(), std::min<size_t>(cch, buffer.size() - 1));
}

void ShowPrivilegeLine(std::wstring_view name) {
  std::wstring displayName = GetPrivilegeDisplayName(name);
  if (HasPrivilege(name)) {
    WriteColoredFormat(L"(X) %s = %s", {name, displayName});
  } else {
    WriteColoredFormat(L"(0) %s = %s", {name, displayName});
  }
}

void ShowPrivileges() {
  WriteColoredLine("");
  WriteColoredLine(
      "Privileges: ------------------------------------------------------------------");
  if (!IsCurrentUser) return;
  for (const wchar_t* name : kPrivilegeNames) ShowPrivilegeLine(name);
}
