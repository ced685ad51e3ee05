// Whole reports, end to end, compared byte for byte with expected files.
#include <gtest/gtest.h>

#include <cwctype>

#include "ExpectedFiles.h"
#include "ProgramRun.h"

namespace {

// A Windows workstation with an administrator alice and an ordinary user bob.
void Furnish(compat::ScriptedMachine& machine) {
  machine.dnsName = L"ws01.corp.example";
  machine.netbiosName = L"WS01";
  machine.userName = L"Alice";
  compat::AccountRecord& alice = machine.AddAccount(L"Alice");
  alice.fullName = L"Alice Liddell";
  alice.comment = L"Site administrator";
  alice.homeDir = L"C:\\Users\\Alice";
  alice.priv = USER_PRIV_ADMIN;
  alice.flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_DONT_EXPIRE_PASSWD;
  alice.passwordAge = 12 * 86400 + 3600;
  alice.lastLogon = 1764590400;  // 1 December 2025, 12:00:00
  alice.numLogons = 42;
  alice.badPwCount = 0;
  alice.logonServer = L"\\\\*";
  alice.primaryGroupId = 513;
  compat::AccountRecord& bob = machine.AddAccount(L"bob");
  bob.fullName = L"Bob";
  bob.flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_ACCOUNTDISABLE;
  bob.acctExpires = 1767225600;  // 1 January 2026
  bob.passwordExpired = 1;
  bob.primaryGroupId = 513;
  machine.AddName(L"None", L"WS01", L"S-1-5-21-1-2-3-513", SidTypeGroup);
  machine.AddWellKnownNames();
  // The token's groups; the logon SID has no name.
  machine.AddTokenGroups({L"S-1-5-21-1-2-3-513", L"S-1-1-0", L"S-1-5-32-544", L"S-1-5-32-545",
                          L"S-1-5-4", L"S-1-5-11", L"S-1-2-0", L"S-1-5-5-0-81234"});
  machine.globalGroups[L"bob"] = {L"None"};
  machine.localGroups[L"bob"] = {L"Users"};
  machine.processPrivileges = {L"SeChangeNotifyPrivilege", L"SeShutdownPrivilege",
                               L"SeUndockPrivilege", L"SeIncreaseWorkingSetPrivilege"};
  machine.environment = std::wstring(
      L"=C:=C:\\Users\\Alice\0ALLUSERSPROFILE=C:\\ProgramData\0COMPUTERNAME=WS01\0"
      L"PATH=C:\\Windows\\system32;C:\\Windows\0USERNAME=Alice\0",
      119);
}

// Runs the program on the workstation and compares the whole report with the expected file.
void ExpectReport(const wchar_t* commandLine, const char* expectedFile) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  ProgramRun run = RunProgram(machine, commandLine);
  ExpectFile(expectedFile, run.output);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

TEST(Report, OfTheCurrentUser) {
  ExpectReport(L"USERLENS.EXE", "report_current.txt");
}

TEST(Report, OfANamedAccount) {
  ExpectReport(L"USERLENS.EXE BOB", "report_named.txt");
}

TEST(Report, KeepsWhatWasPrintedWhenASectionFails) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  machine.localGroupsStatus = ERROR_ACCESS_DENIED;
  ProgramRun run = RunProgram(machine, L"USERLENS.EXE bob");
  std::string expected = ReadExpected("report_named.txt");
  std::string kept = expected.substr(0, expected.find("WS01.CORP.EXAMPLE\\Users"));
  EXPECT_EQ(run.output, kept + Lines({"", "Access Denied", ""}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

// The user who runs the program, named on the command line: a report of a named account, with
// the groups of the account database and no privileges or environment.
TEST(Report, OfTheCurrentUserByName) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  machine.globalGroups[L"alice"] = {L"None"};
  machine.localGroups[L"alice"] = {L"Administrators", L"Users"};
  ProgramRun run = RunProgram(machine, L"USERLENS.EXE alice");
  ExpectFile("report_own_name.txt", run.output);
  EXPECT_EQ(run.exitCode, 0);
}

// A user logged on with an account the computer's database does not hold (a domain account):
// the report ends before its first line, with the name as the platform spells it.
TEST(Report, OfACurrentUserTheDatabaseDoesNotHold) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  machine.userName = L"Carol";
  ProgramRun run = RunProgram(machine, L"USERLENS.EXE");
  EXPECT_EQ(run.output, Lines({"", "User: \"Carol\" does not exist", ""}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

// Names longer than the first buffer of 255 characters are asked for again with the size the
// platform reports, and shown whole.
TEST(Report, LongNamesAreAskedForAgainAndShownWhole) {
  struct Case {
    const char* what;
    std::wstring user;
    std::wstring computer;
  };
  const Case cases[] = {
      {"a long user name", std::wstring(300, L'u'), L"ws01.corp.example"},
      {"a long computer name", L"Alice", std::wstring(250, L'c') + L".corp.example"},
      {"both", std::wstring(256, L'u'), std::wstring(256, L'c')},
  };
  for (const Case& c : cases) {
    compat::ScriptedMachine machine;
    Furnish(machine);
    machine.userName = c.user;
    machine.dnsName = c.computer;
    machine.AddAccount(c.user);
    ProgramRun run = RunProgram(machine, L"USERLENS.EXE");
    std::wstring computer = c.computer;
    for (wchar_t& ch : computer) ch = static_cast<wchar_t>(std::towupper(ch));
    std::string expected = "Username: " + std::string(computer.begin(), computer.end()) + "\\" +
                           std::string(c.user.begin(), c.user.end());
    EXPECT_EQ(SplitLines(run.output).front(), expected) << c.what;
    EXPECT_EQ(run.exitCode, 0) << c.what;
  }
}

}  // namespace
