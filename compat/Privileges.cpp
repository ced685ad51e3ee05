#include "Privileges.h"

#include <linux/capability.h>

#include "LetterCase.h"

namespace compat {
namespace {

constexpr uint64_t Cap(int capability) {
  return CapabilityBit(capability);
}

constexpr Privilege kPrivileges[] = {
    {L"SeCreateTokenPrivilege", 2, L"Create a token object", Cap(CAP_SETUID) | Cap(CAP_SETGID),
     "take on any user and group identity"},
    {L"SeAssignPrimaryTokenPrivilege", 3, L"Replace a process level token", Cap(CAP_SETUID),
     "run a process as another user"},
    {L"SeLockMemoryPrivilege", 4, L"Lock pages in memory", Cap(CAP_IPC_LOCK), "lock memory"},
    {L"SeIncreaseQuotaPrivilege", 5, L"Adjust memory quotas for a process", Cap(CAP_SYS_RESOURCE),
     "raise resource limits"},
    {L"SeUnsolicitedInputPrivilege", 0, L"", 0, "obsolete on Windows; no counterpart"},
    {L"SeMachineAccountPrivilege", 6, L"Add workstations to domain", 0,
     "no domain to join; no counterpart"},
    {L"SeTcbPrivilege", 7, L"Act as part of the operating system", Cap(CAP_SYS_ADMIN),
     "act as part of the kernel's trusted base"},
    {L"SeSecurityPrivilege", 8, L"Manage auditing and security log", Cap(CAP_AUDIT_CONTROL),
     "manage the audit rules and log"},
    {L"SeTakeOwnershipPrivilege", 9, L"Take ownership of files or other objects", Cap(CAP_CHOWN),
     "change the owner of any file"},
    {L"SeLoadDriverPrivilege", 10, L"Load and unload device drivers", Cap(CAP_SYS_MODULE),
     "load and unload kernel modules"},
    {L"SeSystemProfilePrivilege", 11, L"Profile system performance", Cap(CAP_PERFMON),
     "profile the whole system (perf)"},
    {L"SeSystemtimePrivilege", 12, L"Change the system time", Cap(CAP_SYS_TIME),
     "set the system clock"},
    {L"SeProfileSingleProcessPrivilege", 13, L"Profile single process", Cap(CAP_PERFMON),
     "profile any process (perf)"},
    {L"SeIncreaseBasePriorityPrivilege", 14, L"Increase scheduling priority", Cap(CAP_SYS_NICE),
     "raise scheduling priority"},
    {L"SeCreatePagefilePrivilege", 15, L"Create a pagefile", Cap(CAP_SYS_ADMIN),
     "add swap space (swapon)"},
    {L"SeCreatePermanentPrivilege", 16, L"Create permanent shared objects", 0,
     "every user may create lasting IPC objects; no privilege"},
    {L"SeBackupPrivilege", 17, L"Back up files and directories", Cap(CAP_DAC_READ_SEARCH),
     "read any file and directory"},
    {L"SeRestorePrivilege", 18, L"Restore files and directories",
     Cap(CAP_DAC_OVERRIDE) | Cap(CAP_CHOWN), "write any file and give it any owner"},
    {L"SeShutdownPrivilege", 19, L"Shut down the system", Cap(CAP_SYS_BOOT),
     "reboot and power off"},
    {L"SeDebugPrivilege", 20, L"Debug programs", Cap(CAP_SYS_PTRACE),
     "trace and inspect any process"},
    {L"SeAuditPrivilege", 21, L"Generate security audits", Cap(CAP_AUDIT_WRITE),
     "write records to the audit log"},
    {L"SeSystemEnvironmentPrivilege", 22, L"Modify firmware environment values", Cap(CAP_SYS_ADMIN),
     "change firmware (EFI) variables"},
    {L"SeChangeNotifyPrivilege", 23, L"Bypass traverse checking", Cap(CAP_DAC_READ_SEARCH),
     "pass through directories without search permission"},
    {L"SeRemoteShutdownPrivilege", 24, L"Force shutdown from a remote system", 0,
     "no remote shutdown in the kernel; no counterpart"},
    {L"SeUndockPrivilege", 25, L"Remove computer from docking station", 0, "no counterpart"},
    {L"SeSyncAgentPrivilege", 26, L"Synchronize directory service data", 0,
     "no directory service; no counterpart"},
    {L"SeEnableDelegationPrivilege", 27,
     L"Enable computer and user accounts to be trusted for delegation", 0,
     "no domain; no counterpart"},
    {L"SeManageVolumePrivilege", 28, L"Perform volume maintenance tasks", Cap(CAP_SYS_ADMIN),
     "mount and administer file systems"},
    {L"SeImpersonatePrivilege", 29, L"Impersonate a client after authentication", Cap(CAP_SETUID),
     "act with another user's identity (seteuid)"},
    {L"SeCreateGlobalPrivilege", 30, L"Create global objects", 0,
     "every user may create shared objects; no privilege"},
};

}  // namespace

const Privilege* FindPrivilege(std::wstring_view name) {
  for (const Privilege& privilege : kPrivileges) {
    if (SameNameIgnoringCase(privilege.name, name)) return &privilege;
  }
  return nullptr;
}

const Privilege* FindPrivilegeByLuid(DWORD luid) {
  for (const Privilege& privilege : kPrivileges) {
    if (luid != 0 && privilege.luid == luid) return &privilege;
  }
  return nullptr;
}

bool PrivilegeHeld(std::wstring_view name, uint64_t effectiveCapabilities) {
  const Privilege* privilege = FindPrivilege(name);
  return privilege != nullptr && privilege->capabilities != 0 &&
         (effectiveCapabilities & privilege->capabilities) == privilege->capabilities;
}

}  // namespace compat
