#include "Privileges.h"

#include <iterator>

#include "LetterCase.h"

namespace compat {
namespace {

constexpr PrivilegeInfo kPrivileges[] = {
    {L"SeCreateTokenPrivilege", 2, L"Create a token object"},
    {L"SeAssignPrimaryTokenPrivilege", 3, L"Replace a process level token"},
    {L"SeLockMemoryPrivilege", 4, L"Lock pages in memory"},
    {L"SeIncreaseQuotaPrivilege", 5, L"Adjust memory quotas for a process"},
    {L"SeMachineAccountPrivilege", 6, L"Add workstations to domain"},
    {L"SeTcbPrivilege", 7, L"Act as part of the operating system"},
    {L"SeSecurityPrivilege", 8, L"Manage auditing and security log"},
    {L"SeTakeOwnershipPrivilege", 9, L"Take ownership of files or other objects"},
    {L"SeLoadDriverPrivilege", 10, L"Load and unload device drivers"},
    {L"SeSystemProfilePrivilege", 11, L"Profile system performance"},
    {L"SeSystemtimePrivilege", 12, L"Change the system time"},
    {L"SeProfileSingleProcessPrivilege", 13, L"Profile single process"},
    {L"SeIncreaseBasePriorityPrivilege", 14, L"Increase scheduling priority"},
    {L"SeCreatePagefilePrivilege", 15, L"Create a pagefile"},
    {L"SeCreatePermanentPrivilege", 16, L"Create permanent shared objects"},
    {L"SeBackupPrivilege", 17, L"Back up files and directories"},
    {L"SeRestorePrivilege", 18, L"Restore files and directories"},
    {L"SeShutdownPrivilege", 19, L"Shut down the system"},
    {L"SeDebugPrivilege", 20, L"Debug programs"},
    {L"SeAuditPrivilege", 21, L"Generate security audits"},
    {L"SeSystemEnvironmentPrivilege", 22, L"Modify firmware environment values"},
    {L"SeChangeNotifyPrivilege", 23, L"Bypass traverse checking"},
    {L"SeRemoteShutdownPrivilege", 24, L"Force shutdown from a remote system"},
    {L"SeUndockPrivilege", 25, L"Remove computer from docking station"},
    {L"SeSyncAgentPrivilege", 26, L"Synchronize directory service data"},
    {L"SeEnableDelegationPrivilege", 27,
     L"Enable computer and user accounts to be trusted for delegation"},
    {L"SeManageVolumePrivilege", 28, L"Perform volume maintenance tasks"},
    {L"SeImpersonatePrivilege", 29, L"Impersonate a client after authentication"},
    {L"SeCreateGlobalPrivilege", 30, L"Create global objects"},
};

}  // namespace

const PrivilegeInfo* FindPrivilegeByName(std::wstring_view name) {
  for (const PrivilegeInfo& info : kPrivileges) {
    if (SameNameIgnoringCase(info.name, name)) return &info;
  }
  return nullptr;
}

const PrivilegeInfo* FindPrivilegeByLuid(DWORD luid) {
  for (const PrivilegeInfo& info : kPrivileges) {
    if (info.luid == luid) return &info;
  }
  return nullptr;
}

}  // namespace compat
