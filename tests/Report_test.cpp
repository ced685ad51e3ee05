// Whole reports, end to end, compared byte for byte with expected files.
#include <gtest/gtest.h>

#include <array>
#include <cwctype>
#include <vector>

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

// Every field of the account database's record reaches its own line: each has a value of its
// own here, so that one taken for another, or one left out, shows.
TEST(Report, ShowsEveryFieldOfTheRecordOnItsOwnLine) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  machine.AddName(L"carol", L"WS01", L"S-1-5-21-1-2-3-1005", SidTypeUser);
  compat::AccountRecord& carol = machine.AddAccount(L"carol");
  carol.homeDir = L"C:\\Users\\carol";
  carol.comment = L"the comment";
  carol.scriptPath = L"logon.cmd";
  carol.fullName = L"Carol Full";
  carol.usrComment = L"the user comment";
  carol.parms = L"P";
  carol.workstations = L"WS1,WS2";
  carol.logonServer = L"\\\\DC1";
  carol.profile = L"\\\\server\\profiles\\carol";
  carol.homeDirDrive = L"H:";
  carol.passwordAge = 3 * 86400;
  carol.priv = USER_PRIV_GUEST;
  carol.flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_PASSWD_CANT_CHANGE;
  carol.authFlags = AF_OP_PRINT | AF_OP_SERVER;
  carol.lastLogon = 1764590400;   // 1 December 2025, 12:00:00
  carol.lastLogoff = 1199188800;  // 1 January 2008, 12:00:00
  carol.acctExpires = 1767225600;
  carol.maxStorage = 1048576;
  carol.unitsPerWeek = 84;
  std::array<BYTE, 21> hours{};
  for (size_t i = 0; i < hours.size(); ++i) hours[i] = static_cast<BYTE>(i + 1);
  carol.logonHours = hours;
  carol.badPwCount = 2;
  carol.numLogons = 9;
  carol.countryCode = 49;
  carol.codePage = 1252;
  carol.userId = 1005;
  carol.primaryGroupId = 514;
  carol.passwordExpired = 1;
  ProgramRun run = RunProgram(machine, L"USERLENS.EXE carol");
  std::vector<std::string> lines = SplitLines(run.output);
  ASSERT_GE(lines.size(), 31u);
  lines.resize(31);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Username: WS01.CORP.EXAMPLE\\carol",
                       "  SID: S-1-5-21-1-2-3-1005",
                       "  Days since last password change: 3",
                       "  Privilege: 0 (USER_PRIV_GUEST)",
                       "  Home directory: C:\\Users\\carol",
                       "  Comment: 'the comment'",
                       "  Flags: 577 (UF_SCRIPT, UF_PASSWD_CANT_CHANGE, UF_NORMAL_ACCOUNT)",
                       "  Script path: logon.cmd",
                       "  Operator privilege: 5 (AF_OP_PRINT, AF_OP_SERVER)",
                       "  Full name: Carol Full",
                       "  User comment: 'the user comment'",
                       "  Parms: 'P'",
                       "  Workstations: WS1,WS2",
                       "  Last logon time: 01 December 2025 12:00:00",
                       "  Last logoff time: 01 January 2008 12:00:00",
                       "  Account expires: 01 January 2026 00:00:00",
                       "  Maximum discspace: 1048576 bytes",
                       "  Units per week: 84",
                       "  Logonhours: 0x 1 0x 2 0x 3 0x 4 0x 5 0x 6 0x 7",
                       "              0x 8 0x 9 0x A 0x B 0x C 0x D 0x E",
                       "              0x F 0x10 0x11 0x12 0x13 0x14 0x15",
                       "  Bad password count: 2",
                       "  Total logins count: 9",
                       "  Logonserver: \\\\DC1",
                       "  Countrycode: 49",
                       "  Codepage: 1252",
                       "  User ID: 1005",
                       "  Primary Group ID: 514",
                       "  Profile path: \\\\server\\profiles\\carol",
                       "  Home directory: H:",
                       "  Password is expired",
                   }));
  EXPECT_EQ(run.exitCode, 0);
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
