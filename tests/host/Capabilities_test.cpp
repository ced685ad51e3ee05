// Which Windows privileges the process's capabilities give.
#include "Privileges.h"

#include <gtest/gtest.h>
#include <linux/capability.h>

#include <fstream>
#include <set>
#include <string>

#include "KernelCapabilities.h"
#include "host/HostMachine.h"

namespace compat {
namespace {

// The privileges the report asks about, each once, as the expected report of the current user
// lists them: "(X) name = display name" or "(0) name = display name".
std::set<std::wstring> ReportPrivileges() {
  std::ifstream report(std::string(USERLENS_TEST_DATA) + "/report_current.txt");
  std::set<std::wstring> names;
  std::string line;
  while (std::getline(report, line)) {
    if (line.rfind("(X) ", 0) != 0 && line.rfind("(0) ", 0) != 0) continue;
    std::string name = line.substr(4, line.find(" = ") - 4);
    names.insert(std::wstring(name.begin(), name.end()));
  }
  return names;
}

std::set<std::wstring> HeldWith(uint64_t capabilities) {
  std::set<std::wstring> held;
  for (const std::wstring& name : ReportPrivileges()) {
    if (PrivilegeHeld(name, capabilities)) held.insert(name);
  }
  return held;
}

TEST(Capabilities, EveryPrivilegeOfTheReportHasARow) {
  const std::set<std::wstring> names = ReportPrivileges();
  ASSERT_FALSE(names.empty()) << "no privilege line in the expected report";
  for (const std::wstring& name : names) {
    EXPECT_NE(FindPrivilege(name), nullptr) << std::string(name.begin(), name.end());
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
      {"any file permission overridden, without chown",
       CapabilityBit(CAP_DAC_OVERRIDE),
       {L"SeBackupPrivilege", L"SeChangeNotifyPrivilege"}},
      {"write any file and chown",
       CapabilityBit(CAP_DAC_OVERRIDE) | CapabilityBit(CAP_CHOWN),
       {L"SeRestorePrivilege", L"SeTakeOwnershipPrivilege", L"SeBackupPrivilege",
        L"SeChangeNotifyPrivilege"}},
      {"sys_admin",
       CapabilityBit(CAP_SYS_ADMIN),
       {L"SeTcbPrivilege", L"SeCreatePagefilePrivilege", L"SeSystemEnvironmentPrivilege",
        L"SeManageVolumePrivilege", L"SeSystemProfilePrivilege",
        L"SeProfileSingleProcessPrivilege"}},
      {"perfmon",
       CapabilityBit(CAP_PERFMON),
       {L"SeSystemProfilePrivilege", L"SeProfileSingleProcessPrivilege"}},
      {"set the clock", CapabilityBit(CAP_SYS_TIME), {L"SeSystemtimePrivilege"}},
      {"load modules", CapabilityBit(CAP_SYS_MODULE), {L"SeLoadDriverPrivilege"}},
      {"raise priority", CapabilityBit(CAP_SYS_NICE), {L"SeIncreaseBasePriorityPrivilege"}},
      {"lock memory", CapabilityBit(CAP_IPC_LOCK), {L"SeLockMemoryPrivilege"}},
      {"raise limits", CapabilityBit(CAP_SYS_RESOURCE), {L"SeIncreaseQuotaPrivilege"}},
      {"manage auditing", CapabilityBit(CAP_AUDIT_CONTROL), {L"SeSecurityPrivilege"}},
      {"write audit records", CapabilityBit(CAP_AUDIT_WRITE), {L"SeAuditPrivilege"}},
      {"powers without a privilege",
       CapabilityBit(CAP_NET_ADMIN) | CapabilityBit(CAP_SYSLOG) | CapabilityBit(CAP_WAKE_ALARM) |
           CapabilityBit(CAP_KILL) | CapabilityBit(CAP_SETGID),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HeldWith(c.capabilities), c.held);
  }
}

// The capability set read with capget is the one the kernel shows in /proc/self/status.
TEST(Capabilities, EffectiveCapabilitiesAreTheKernels) {
  std::optional<uint64_t> shown = CapabilitiesTheKernelShows();
  if (!shown) GTEST_SKIP() << "/proc/self/status shows no CapEff";
  EXPECT_EQ(EffectiveCapabilities(), shown);
}

}  // namespace
}  // namespace compat
