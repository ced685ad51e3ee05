// Which Windows privileges the process's capabilities give.
#include "Privileges.h"

#include <gtest/gtest.h>
#include <linux/capability.h>

#include <fstream>
#include <set>
#include <string>

#include "host/HostMachine.h"

namespace compat {
namespace {

// The privilege names of the report, each once.
const wchar_t* const kReportPrivileges[] = {
    L"SeTakeOwnershipPrivilege",
    L"SeCreateTokenPrivilege",
    L"SeAssignPrimaryTokenPrivilege",
    L"SeLockMemoryPrivilege",
    L"SeIncreaseQuotaPrivilege",
    L"SeUnsolicitedInputPrivilege",
    L"SeMachineAccountPrivilege",
    L"SeTcbPrivilege",
    L"SeSecurityPrivilege",
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

std::set<std::wstring> HeldWith(uint64_t capabilities) {
  std::set<std::wstring> held;
  for (const wchar_t* name : kReportPrivileges) {
    if (PrivilegeHeld(name, capabilities)) held.insert(name);
  }
  return held;
}

TEST(Capabilities, EveryPrivilegeOfTheReportHasARow) {
  for (const wchar_t* name : kReportPrivileges) {
    EXPECT_NE(FindPrivilege(name), nullptr) << std::wstring(name).c_str();
  }
}

TEST(Capabilities, PrivilegesHeldForCapabilitySets) {
  struct Case {
    const char* what;
    uint64_t capabilities;
    std::set<std::wstring> held;
  };
  const Case cases[] = {
      {"none", 0, {}},
      {"ptrace", CapabilityBit(CAP_SYS_PTRACE), {L"SeDebugPrivilege"}},
      {"boot", CapabilityBit(CAP_SYS_BOOT), {L"SeShutdownPrivilege"}},
      {"read any file",
       CapabilityBit(CAP_DAC_READ_SEARCH),
       {L"SeBackupPrivilege", L"SeChangeNotifyPrivilege"}},
      {"setuid alone",
       CapabilityBit(CAP_SETUID),
       {L"SeAssignPrimaryTokenPrivilege", L"SeImpersonatePrivilege"}},
      {"setuid and setgid",
       CapabilityBit(CAP_SETUID) | CapabilityBit(CAP_SETGID),
       {L"SeAssignPrimaryTokenPrivilege", L"SeImpersonatePrivilege", L"SeCreateTokenPrivilege"}},
      {"write any file without chown", CapabilityBit(CAP_DAC_OVERRIDE), {}},
      {"write any file and chown",
       CapabilityBit(CAP_DAC_OVERRIDE) | CapabilityBit(CAP_CHOWN),
       {L"SeRestorePrivilege", L"SeTakeOwnershipPrivilege"}},
      {"sys_admin",
       CapabilityBit(CAP_SYS_ADMIN),
       {L"SeTcbPrivilege", L"SeCreatePagefilePrivilege", L"SeSystemEnvironmentPrivilege",
        L"SeManageVolumePrivilege"}},
      {"perfmon",
       CapabilityBit(CAP_PERFMON),
       {L"SeSystemProfilePrivilege", L"SeProfileSingleProcessPrivilege"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HeldWith(c.capabilities), c.held);
  }
}

// The capability set read with capget is the one the kernel shows in /proc/self/status.
TEST(Capabilities, EffectiveCapabilitiesAreTheKernels) {
  std::ifstream status("/proc/self/status");
  std::string line;
  std::optional<uint64_t> shown;
  while (std::getline(status, line)) {
    if (line.rfind("CapEff:", 0) == 0) shown = std::stoull(line.substr(7), nullptr, 16);
  }
  if (!shown) GTEST_SKIP() << "/proc/self/status shows no CapEff";
  EXPECT_EQ(EffectiveCapabilities(), shown);
}

}  // namespace
}  // namespace compat
