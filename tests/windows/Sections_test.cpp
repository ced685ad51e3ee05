// The report sections of the current user against the real API.
#include <gtest/gtest.h>

#include <vector>

#include "CapturedOutput.h"
#include "PrintedLines.h"

namespace {

// What the sections print, through the real API, for the current user or for a named account.
std::string Printed(void (*sections)(), bool currentUser) {
  CapturedOutput captured;
  IsCurrentUser = currentUser;
  sections();
  return captured.Finish();
}

// The groups of the process token, with the SID conversions bound.
void ShowTokenGroups() {
  BindSddlFunctions();
  ShowGroups(L"");
}

// Turns a privilege of the process token on or off; false when the token does not hold it.
bool EnablePrivilege(const wchar_t* name, bool enable) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES change{};
  change.PrivilegeCount = 1;
  change.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  bool done = LookupPrivilegeValueW(nullptr, name, &change.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &change, sizeof(change), nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return done;
}

// The printed privilege line of a privilege, or "" when none names it.
std::string PrivilegeLine(const std::vector<std::string>& lines, const std::string& name) {
  for (const std::string& line : lines) {
    if (line.size() > 4 && line.compare(4, name.size() + 3, name + " = ") == 0) return line;
  }
  return std::string();
}

void ShowPrivilegesAndEnvironment() {
  ShowPrivileges();
  ShowEnvironment();
}

TEST(Sections, GroupsOfTheProcessTokenCarrySids) {
  std::vector<std::string> lines = SplitLines(Printed(ShowTokenGroups, true));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1],
            "Groups: ----------------------------------------------------------------------");
  bool everyone = false;
  for (size_t i = 2; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find(" (S-1-"), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].back(), ')') << lines[i];
    everyone = everyone || lines[i] == "Everyone (S-1-1-0)";
  }
  EXPECT_TRUE(everyone);
}

TEST(Sections, PrivilegesAreThirtyOneMarkedLines) {
  std::vector<std::string> lines = SplitLines(Printed(ShowPrivileges, true));
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[1],
            "Privileges: ------------------------------------------------------------------");
  for (size_t i = 2; i < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].rfind("(X) ", 0) == 0 || lines[i].rfind("(0) ", 0) == 0) << lines[i];
  }
  EXPECT_EQ(lines[2].substr(4, 27), "SeTakeOwnershipPrivilege = ");
  EXPECT_EQ(lines[11].substr(4, 27), "SeTakeOwnershipPrivilege = ");
}

// The mark follows the token: an enabled privilege is "(X)", the same one disabled "(0)".
TEST(Sections, PrivilegeMarkFollowsTheToken) {
  ASSERT_TRUE(EnablePrivilege(L"SeChangeNotifyPrivilege", true));
  std::string line =
      PrivilegeLine(SplitLines(Printed(ShowPrivileges, true)), "SeChangeNotifyPrivilege");
  EXPECT_EQ(line.substr(0, 4), "(X) ") << line;
  ASSERT_TRUE(EnablePrivilege(L"SeChangeNotifyPrivilege", false));
  line = PrivilegeLine(SplitLines(Printed(ShowPrivileges, true)), "SeChangeNotifyPrivilege");
  EXPECT_TRUE(EnablePrivilege(L"SeChangeNotifyPrivilege", true));
  EXPECT_EQ(line.substr(0, 4), "(0) ") << line;
}

TEST(Sections, EnvironmentShowsTheProcessBlock) {
  SetEnvironmentVariableW(L"USERLENS_PROBE", L"a=b");
  // An entry with an empty name (as cmd.exe keeps a drive's folder) is not shown.
  ASSERT_TRUE(SetEnvironmentVariableW(L"=U:", L"U:\\probe"));
  wchar_t value[16] = {};
  ASSERT_EQ(GetEnvironmentVariableW(L"=U:", value, 16), 8u);
  std::vector<std::string> lines = SplitLines(Printed(ShowEnvironment, true));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1],
            "Environment variables: -------------------------------------------------------");
  bool probe = false;
  for (size_t i = 2; i < lines.size(); ++i) {
    EXPECT_NE(lines[i][0], '=') << lines[i];
    EXPECT_EQ(lines[i].find("U:\\probe"), std::string::npos) << lines[i];
    probe = probe || lines[i] == "USERLENS_PROBE=a=b";
  }
  EXPECT_TRUE(probe);
}

TEST(Sections, NamedAccountShowsOnlyTitles) {
  EXPECT_EQ(
      Printed(ShowPrivilegesAndEnvironment, false),
      "\r\nPrivileges: ------------------------------------------------------------------\r\n"
      "\r\nEnvironment variables: -------------------------------------------------------\r\n");
}

}  // namespace

namespace {

// A privilege the token holds but has not enabled is shown as not held, "(0)": the platform's
// check counts enabled privileges only.
TEST(Sections, PrivilegeHeldButNotEnabledIsNotHeld) {
  const wchar_t* names[] = {L"SeChangeNotifyPrivilege", L"SeShutdownPrivilege", L"SeDebugPrivilege",
                            L"SeBackupPrivilege"};
  const wchar_t* held = nullptr;
  for (const wchar_t* name : names) {
    if (EnablePrivilege(name, true) && HasPrivilege(name)) {
      held = name;
      break;
    }
  }
  ASSERT_NE(held, nullptr) << "the token holds none of the privileges";
  ASSERT_TRUE(EnablePrivilege(held, false));
  EXPECT_FALSE(HasPrivilege(held));
  ASSERT_TRUE(EnablePrivilege(held, true));
  EXPECT_TRUE(HasPrivilege(held));
}

}  // namespace
