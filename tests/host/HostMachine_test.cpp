// The host machine on the host the tests run on: what holds on any Linux host.
#include "host/HostMachine.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <unistd.h>

#include "KernelCapabilities.h"
#include "host/NssErrors.h"

namespace compat {
namespace {

TEST(HostMachine, AccountCallsAnswerForThisComputerOnly) {
  HostAccounts machine;
  std::wstring dns = TheNames().ComputerNameDns();
  std::wstring netbios = TheNames().ComputerNameNetBios();
  ASSERT_FALSE(dns.empty());
  EXPECT_LE(netbios.size(), 15u);
  AccountRecord record;
  // "Unix User" is the domain of this computer's users: the program asks it for a user's full
  // name when it resolves a user SID.
  for (const std::wstring& server :
       {std::wstring(), dns, L"\\\\" + dns, netbios, std::wstring(L"Unix User")}) {
    SCOPED_TRACE(testing::Message() << server.c_str());
    EXPECT_EQ(machine.GetAccount(server, L"root", record), NERR_Success);
    EXPECT_EQ(record.userId, 0u);
    EXPECT_EQ(record.priv, static_cast<DWORD>(USER_PRIV_ADMIN));
  }
  std::vector<std::wstring> groups;
  DWORD resume = 0;
  AccountLookup found;
  const std::wstring other = L"\\\\no-such-computer.invalid";
  EXPECT_EQ(machine.GetAccount(other, L"root", record), NERR_InvalidComputer);
  EXPECT_EQ(machine.Groups(GroupScope::Global, other, L"root", groups), NERR_InvalidComputer);
  EXPECT_EQ(machine.Groups(GroupScope::Local, other, L"root", groups), NERR_InvalidComputer);
  EXPECT_EQ(machine.EnumerateAccounts(other, resume, [](const AccountRecord&) { return true; }),
            NERR_InvalidComputer);
  EXPECT_EQ(machine.LookupName(other, L"root", found), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(machine.GetAccount(L"", L"", record), NERR_UserNotFound);
}

TEST(HostMachine, ProcessTokenAndPrivileges) {
  HostProcess machine;
  EXPECT_EQ(machine.OpenToken(TokenKind::Process), ERROR_SUCCESS);
  EXPECT_EQ(machine.OpenToken(TokenKind::Thread), ERROR_NO_TOKEN);
  std::vector<TokenGroup> groups;
  ASSERT_EQ(machine.TokenGroups(TokenKind::Process, groups), ERROR_SUCCESS);
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups.front().sid.ToText(), L"S-1-1-0");
  bool alias = groups.back().sid.ToText() == L"S-1-5-32-544";
  if (geteuid() == 0) {
    EXPECT_TRUE(alias);
  }
  // Debugging programs is what CAP_SYS_PTRACE allows, in the host's own user namespace.
  std::optional<uint64_t> shown = CapabilitiesTheKernelShows();
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(machine.PrivilegeEnabled(TokenKind::Process, L"SeDebugPrivilege"),
            InTheFirstUserNamespace() && ((*shown >> CAP_SYS_PTRACE) & 1) != 0);
  EXPECT_FALSE(machine.PrivilegeEnabled(TokenKind::Thread, L"SeDebugPrivilege"));
}

}  // namespace
}  // namespace compat
