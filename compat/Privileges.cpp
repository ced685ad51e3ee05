#include "Privileges.h"

#include <linux/capability.h>

#include "LetterCase.h"

namespace compat {
namespace {

constexpr uint64_t Cap(int capability) {
  return CapabilityBit(capability);
}

// Each row: the privilege, then what its capabilities allow on the host.
constexpr Privilege kPrivileges[] = {
    // Take on any user and group identity.
    {L"SeCreateTokenPrivilege", 2, L"Create a token object", Cap(CAP_SETUID) | Cap(CAP_SETGID)},
    // Run a process as another user.
    {L"SeAssignPrimaryTokenPrivilege", 3, L"Replace a process level token", Cap(CAP_SETUID)},
    // Lock memory.
    {L"SeLockMemoryPrivilege", 4, L"Lock pages in memory", Cap(CAP_IPC_LOCK)},
    // Raise resource limits.
    {L"SeIncreaseQuotaPrivilege", 5, L"Adjust memory quotas for a process", Cap(CAP_SYS_RESOURCE)},
    // Obsolete on Windows; no counterpart.
    {L"SeUnsolicitedInputPrivilege", 0, L"", 0},
    // No domain to join; no counterpart.
    {L"SeMachineAccountPrivilege", 6, L"Add workstations to domain", 0},
    // Act as part of the kernel's trusted base.
    {L"SeTcbPrivilege", 7, L"Act as part of the operating system", Cap(CAP_SYS_ADMIN)},
    // Manage the audit rules and log.
    {L"SeSecurityPrivilege", 8, L"Manage auditing and security log", Cap(CAP_AUDIT_CONTROL)},
    // Change the owner of any file.
    {L"SeTakeOwnershipPrivilege", 9, L"Take ownership of files or other objects", Cap(CAP_CHOWN)},
    // Load and unload kernel modules.
    {L"SeLoadDriverPrivilege", 10, L"Load and unload device drivers", Cap(CAP_SYS_MODULE)},
    // Profile the whole system (perf; before Linux 5.8 CAP_SYS_ADMIN alone).
    {L"SeSystemProfilePrivilege", 11, L"Profile system performance", Cap(CAP_PERFMON),
     Cap(CAP_SYS_ADMIN)},
    // Set the system clock.
    {L"SeSystemtimePrivilege", 12, L"Change the system time", Cap(CAP_SYS_TIME)},
    // Profile any process (perf).
    {L"SeProfileSingleProcessPrivilege", 13, L"Profile single process", Cap(CAP_PERFMON),
     Cap(CAP_SYS_ADMIN)},
    // Raise scheduling priority.
    {L"SeIncreaseBasePriorityPrivilege", 14, L"Increase scheduling priority", Cap(CAP_SYS_NICE)},
    // Add swap space (swapon).
    {L"SeCreatePagefilePrivilege", 15, L"Create a pagefile", Cap(CAP_SYS_ADMIN)},
    // Every user may create lasting IPC objects; no privilege.
    {L"SeCreatePermanentPrivilege", 16, L"Create permanent shared objects", 0},
    // Read any file and directory (overriding every file permission does too).
    {L"SeBackupPrivilege", 17, L"Back up files and directories", Cap(CAP_DAC_READ_SEARCH),
     Cap(CAP_DAC_OVERRIDE)},
    // Write any file and give it any owner.
    {L"SeRestorePrivilege", 18, L"Restore files and directories",
     Cap(CAP_DAC_OVERRIDE) | Cap(CAP_CHOWN)},
    // Reboot and power off.
    {L"SeShutdownPrivilege", 19, L"Shut down the system", Cap(CAP_SYS_BOOT)},
    // Trace and inspect any process.
    {L"SeDebugPrivilege", 20, L"Debug programs", Cap(CAP_SYS_PTRACE)},
    // Write records to the audit log.
    {L"SeAuditPrivilege", 21, L"Generate security audits", Cap(CAP_AUDIT_WRITE)},
    // Change firmware (EFI) variables.
    {L"SeSystemEnvironmentPrivilege", 22, L"Modify firmware environment values",
     Cap(CAP_SYS_ADMIN)},
    // Pass through directories without search permission.
    {L"SeChangeNotifyPrivilege", 23, L"Bypass traverse checking", Cap(CAP_DAC_READ_SEARCH),
     Cap(CAP_DAC_OVERRIDE)},
    // No remote shutdown in the kernel; no counterpart.
    {L"SeRemoteShutdownPrivilege", 24, L"Force shutdown from a remote system", 0},
    // No counterpart.
    {L"SeUndockPrivilege", 25, L"Remove computer from docking station", 0},
    // No directory service; no counterpart.
    {L"SeSyncAgentPrivilege", 26, L"Synchronize directory service data", 0},
    // No domain; no counterpart.
    {L"SeEnableDelegationPrivilege", 27,
     L"Enable computer and user accounts to be trusted for delegation", 0},
    // Mount and administer file systems.
    {L"SeManageVolumePrivilege", 28, L"Perform volume maintenance tasks", Cap(CAP_SYS_ADMIN)},
    // Act with another user's identity (seteuid).
    {L"SeImpersonatePrivilege", 29, L"Impersonate a client after authentication", Cap(CAP_SETUID)},
    // Every user may create shared objects; no privilege.
    {L"SeCreateGlobalPrivilege", 30, L"Create global objects", 0},
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
  auto gives = [&](uint64_t set) { return set != 0 && (effectiveCapabilities & set) == set; };
  return privilege != nullptr && (gives(privilege->capabilities) || gives(privilege->instead));
}

}  // namespace compat
