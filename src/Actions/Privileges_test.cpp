#include <gtest/gtest.h>

#include "Actions/Actions.h"
#include "ProgramRun.h"

namespace {

const char kTitle[] =
    "Privileges: ------------------------------------------------------------------";

class Privileges : public ::testing::Test {
 protected:
  std::vector<std::string> RunSection(bool currentUser) {
    ScriptedModules modules(machine);
    IsCurrentUser = currentUser;
    ShowPrivileges();
    return SplitLines(modules.Finish());
  }
  compat::ScriptedMachine machine;
};

TEST_F(Privileges, ShowsThirtyOneLinesWithMarkAndDisplayName) {
  machine.processPrivileges = {L"SeChangeNotifyPrivilege", L"SeTakeOwnershipPrivilege",
                               L"SeShutdownPrivilege"};
  std::vector<std::string> lines = RunSection(true);
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], kTitle);
  EXPECT_EQ(lines[2], "(X) SeTakeOwnershipPrivilege = Take ownership of files or other objects");
  EXPECT_EQ(lines[3], "(0) SeCreateTokenPrivilege = Create a token object");
  // A name the system does not know: not held, and its own name as display name.
  EXPECT_EQ(lines[7], "(0) SeUnsolicitedInputPrivilege = SeUnsolicitedInputPrivilege");
  EXPECT_EQ(lines[11], lines[2]);
  EXPECT_EQ(lines[14], "(0) SeSystemtimePrivilege = Change the system time");
  EXPECT_EQ(lines[21], "(X) SeShutdownPrivilege = Shut down the system");
  EXPECT_EQ(lines[25], "(X) SeChangeNotifyPrivilege = Bypass traverse checking");
  EXPECT_EQ(lines[32], "(0) SeCreateGlobalPrivilege = Create global objects");
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

TEST_F(Privileges, UsesTheThreadTokenWhenThereIsOne) {
  compat::MachineScope scope(machine);
  machine.processPrivileges = {L"SeDebugPrivilege"};
  machine.threadPrivileges = {L"SeBackupPrivilege"};
  machine.threadTokenError = ERROR_SUCCESS;
  EXPECT_TRUE(HasPrivilege(L"SeBackupPrivilege"));
  EXPECT_FALSE(HasPrivilege(L"SeDebugPrivilege"));
  EXPECT_EQ(machine.processTokenOpens, 0);
}

TEST_F(Privileges, FallsBackToTheProcessTokenOnlyWithoutAThreadToken) {
  compat::MachineScope scope(machine);
  machine.processPrivileges = {L"SeDebugPrivilege"};
  EXPECT_TRUE(HasPrivilege(L"SeDebugPrivilege"));
  EXPECT_EQ(machine.processTokenOpens, 1);
  machine.threadTokenError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(HasPrivilege(L"SeDebugPrivilege"));
  EXPECT_EQ(machine.processTokenOpens, 1);
  machine.threadTokenError = ERROR_NO_TOKEN;
  machine.processTokenError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(HasPrivilege(L"SeDebugPrivilege"));
  EXPECT_EQ(compat::CurrentOutstanding().handles, 0u);
}

TEST_F(Privileges, ANameTheSystemDoesNotKnowIsNotHeld) {
  compat::MachineScope scope(machine);
  machine.processPrivileges = {L"SeDebugPrivilege"};
  EXPECT_FALSE(HasPrivilege(L"SeNoSuchPrivilege"));
  EXPECT_TRUE(HasPrivilege(L"SeDebugPrivilege"));
}

TEST_F(Privileges, NamedAccountShowsTheTitleOnly) {
  machine.processPrivileges = {L"SeDebugPrivilege"};
  EXPECT_EQ(RunSection(false), (std::vector<std::string>{"", kTitle}));
  EXPECT_EQ(machine.processTokenOpens, 0);
}

TEST_F(Privileges, DisplayNameFallsBackToTheName) {
  compat::MachineScope scope(machine);
  EXPECT_EQ(GetPrivilegeDisplayName(L"SeDebugPrivilege"), L"Debug programs");
  EXPECT_EQ(GetPrivilegeDisplayName(L"SeMadeUpPrivilege"), L"SeMadeUpPrivilege");
}

}  // namespace
