#include "host/Capabilities.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "LetterCase.h"

namespace compat {
namespace {

constexpr uint64_t Cap(int capability) {
  return CapabilityBit(capability);
}

// Every privilege the report asks about, with the capability that gives the same power.
constexpr PrivilegeCapabilities kPrivilegeCapabilities[] = {
    {L"SeCreateTokenPrivilege", Cap(CAP_SETUID) | Cap(CAP_SETGID),
     "take on any user and group identity"},
    {L"SeAssignPrimaryTokenPrivilege", Cap(CAP_SETUID), "run a process as another user"},
    {L"SeLockMemoryPrivilege", Cap(CAP_IPC_LOCK), "lock memory (mlock)"},
    {L"SeIncreaseQuotaPrivilege", Cap(CAP_SYS_RESOURCE), "raise resource limits"},
    {L"SeUnsolicitedInputPrivilege", 0, "obsolete on Windows; no counterpart"},
    {L"SeMachineAccountPrivilege", 0, "no domain to join; no counterpart"},
    {L"SeTcbPrivilege", Cap(CAP_SYS_ADMIN), "act as part of the kernel's trusted base"},
    {L"SeSecurityPrivilege", Cap(CAP_AUDIT_CONTROL), "manage the audit rules and log"},
    {L"SeTakeOwnershipPrivilege", Cap(CAP_CHOWN), "change the owner of any file"},
    {L"SeLoadDriverPrivilege", Cap(CAP_SYS_MODULE), "load and unload kernel modules"},
    {L"SeSystemProfilePrivilege", Cap(CAP_PERFMON), "profile the whole system (perf)"},
    {L"SeSystemtimePrivilege", Cap(CAP_SYS_TIME), "set the system clock"},
    {L"SeProfileSingleProcessPrivilege", Cap(CAP_PERFMON), "profile any process (perf)"},
    {L"SeIncreaseBasePriorityPrivilege", Cap(CAP_SYS_NICE), "raise scheduling priority"},
    {L"SeCreatePagefilePrivilege", Cap(CAP_SYS_ADMIN), "add swap space (swapon)"},
    {L"SeCreatePermanentPrivilege", 0, "every user may create lasting IPC objects; no privilege"},
    {L"SeBackupPrivilege", Cap(CAP_DAC_READ_SEARCH), "read any file and directory"},
    {L"SeRestorePrivilege", Cap(CAP_DAC_OVERRIDE) | Cap(CAP_CHOWN),
     "write any file and give it any owner"},
    {L"SeShutdownPrivilege", Cap(CAP_SYS_BOOT), "reboot and power off"},
    {L"SeDebugPrivilege", Cap(CAP_SYS_PTRACE), "trace and inspect any process"},
    {L"SeAuditPrivilege", Cap(CAP_AUDIT_WRITE), "write records to the audit log"},
    {L"SeSystemEnvironmentPrivilege", Cap(CAP_SYS_ADMIN), "change firmware (EFI) variables"},
    {L"SeChangeNotifyPrivilege", Cap(CAP_DAC_READ_SEARCH),
     "pass through directories without search permission"},
    {L"SeRemoteShutdownPrivilege", 0, "no remote shutdown in the kernel; no counterpart"},
    {L"SeUndockPrivilege", 0, "no counterpart"},
    {L"SeSyncAgentPrivilege", 0, "no directory service; no counterpart"},
    {L"SeEnableDelegationPrivilege", 0, "no domain; no counterpart"},
    {L"SeManageVolumePrivilege", Cap(CAP_SYS_ADMIN), "mount and administer file systems"},
    {L"SeImpersonatePrivilege", Cap(CAP_SETUID), "act with another user's identity (seteuid)"},
    {L"SeCreateGlobalPrivilege", 0, "every user may create shared objects; no privilege"},
};

}  // namespace

const PrivilegeCapabilities* FindPrivilegeCapabilities(std::wstring_view privilege) {
  for (const PrivilegeCapabilities& row : kPrivilegeCapabilities) {
    if (SameNameIgnoringCase(row.privilege, privilege)) return &row;
  }
  return nullptr;
}

bool PrivilegeHeld(std::wstring_view privilege, uint64_t effectiveCapabilities) {
  const PrivilegeCapabilities* row = FindPrivilegeCapabilities(privilege);
  if (row == nullptr || row->capabilities == 0) return false;
  return (effectiveCapabilities & row->capabilities) == row->capabilities;
}

std::optional<uint64_t> EffectiveCapabilities() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return std::nullopt;
  return uint64_t{data[0].effective} | (uint64_t{data[1].effective} << 32);
}

}  // namespace compat
