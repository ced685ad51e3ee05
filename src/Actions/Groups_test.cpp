#include <gtest/gtest.h>

#include "Actions/Actions.h"
#include "Format/Error.h"
#include "ProgramRun.h"
#include "SDDL/SDDL.h"

namespace {

const char kTitle[] =
    "Groups: ----------------------------------------------------------------------";

compat::TokenGroup Group(const wchar_t* sidText) {
  compat::TokenGroup group;
  group.sid = compat::SidFromText(sidText);
  return group;
}

class Groups : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddWellKnownNames();
    machine.AddName(L"Staff", L"HOST", L"S-1-5-21-1-2-3-513", SidTypeGroup);
  }
  std::string RunSection(bool currentUser, const std::wstring& userName) {
    ScriptedModules modules(machine);
    BindSddlFunctions();
    IsCurrentUser = currentUser;
    ComputerName = L"HOST.EXAMPLE.TEST";
    try {
      ShowGroups(userName);
    } catch (const Error& error) {
      errorMessage = error.Message();
    }
    return modules.Finish();
  }

  compat::ScriptedMachine machine;
  std::string errorMessage;
};

TEST_F(Groups, ListsTheTokenGroupsInTokenOrder) {
  machine.tokenGroups = {Group(L"S-1-5-21-1-2-3-513"), Group(L"S-1-1-0"), Group(L"S-1-5-32-544"),
                         Group(L"S-1-5-4"), Group(L"S-1-5-5-0-4711")};
  machine.tokenGroups[3].attributes = SE_GROUP_USE_FOR_DENY_ONLY;  // listed all the same
  EXPECT_EQ(RunSection(true, L"alice"), Lines({
                                            "",
                                            kTitle,
                                            "HOST\\Staff (S-1-5-21-1-2-3-513)",
                                            "Everyone (S-1-1-0)",
                                            "HOST\\Administrators (S-1-5-32-544)",
                                            "NT AUTHORITY\\INTERACTIVE (S-1-5-4)",
                                            "<?"
                                            "?> (S-1-5-5-0-4711)",
                                        }));
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

TEST_F(Groups, ReadsATokenLargerThanTheFirstBuffer) {
  for (DWORD i = 0; i < 1200; ++i) {
    machine.tokenGroups.push_back(Group((L"S-1-5-21-7-7-7-" + std::to_wstring(i)).c_str()));
  }
  std::vector<std::string> lines = SplitLines(RunSection(true, L"alice"));
  ASSERT_EQ(lines.size(), 1202u);
  EXPECT_EQ(lines[2],
            "<?"
            "?> (S-1-5-21-7-7-7-0)");
  EXPECT_EQ(lines[1201],
            "<?"
            "?> (S-1-5-21-7-7-7-1199)");
}

TEST_F(Groups, AsksAgainForANameOrDomainLongerThanTheFirstBuffer) {
  // The first lookup has room for 259 characters and the null; longer ones come whole.
  const struct {
    size_t nameLength, domainLength;
    SID_NAME_USE use;
  } cases[] = {
      {259, 4, SidTypeGroup},
      {260, 4, SidTypeGroup},
      {300, 4, SidTypeGroup},
      {5, 300, SidTypeWellKnownGroup},  // a well-known group keeps its own domain
  };
  for (const auto& c : cases) {
    machine.names.clear();
    std::wstring name(c.nameLength, L'n');
    std::wstring domain(c.domainLength, L'd');
    machine.AddName(name, domain, L"S-1-5-21-9-9-9-1000", c.use);
    machine.tokenGroups = {Group(L"S-1-5-21-9-9-9-1000")};
    std::string shownDomain = c.use == SidTypeGroup ? "HOST" : std::string(c.domainLength, 'd');
    std::string line =
        shownDomain + "\\" + std::string(c.nameLength, 'n') + " (S-1-5-21-9-9-9-1000)";
    EXPECT_EQ(RunSection(true, L"alice"), Lines({"", kTitle, line}))
        << c.nameLength << " " << c.domainLength;
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST_F(Groups, ATokenThatCannotBeReadGivesNoGroupLines) {
  machine.tokenGroups = {Group(L"S-1-1-0")};
  machine.processTokenError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(RunSection(true, L"alice"), Lines({"", kTitle}));
  machine.processTokenError = ERROR_SUCCESS;
  machine.tokenGroupsError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(RunSection(true, L"alice"), Lines({"", kTitle}));
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

TEST_F(Groups, ListsGlobalThenLocalGroupsOfANamedAccount) {
  machine.globalGroups[L"bob"] = {L"Staff"};
  machine.localGroups[L"bob"] = {L"Administrators", L"Users"};
  EXPECT_EQ(RunSection(false, L"bob"), Lines({
                                           "",
                                           kTitle,
                                           "HOST.EXAMPLE.TEST\\Staff (S-1-5-21-1-2-3-513)",
                                           "HOST.EXAMPLE.TEST\\Administrators (S-1-5-32-544)",
                                           "HOST.EXAMPLE.TEST\\Users (S-1-5-32-545)",
                                       }));
  // Both calls go to the computer the report names.
  EXPECT_EQ(machine.groupServers,
            (std::vector<std::wstring>{L"HOST.EXAMPLE.TEST", L"HOST.EXAMPLE.TEST"}));
  machine.globalGroups.clear();
  EXPECT_EQ(RunSection(false, L"bob"), Lines({
                                           "",
                                           kTitle,
                                           "HOST.EXAMPLE.TEST\\Administrators (S-1-5-32-544)",
                                           "HOST.EXAMPLE.TEST\\Users (S-1-5-32-545)",
                                       }));
  machine.localGroups.clear();
  EXPECT_EQ(RunSection(false, L"bob"), Lines({"", kTitle}));
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

TEST_F(Groups, TurnsEitherCallsStatusIntoItsError) {
  struct Case {
    NET_API_STATUS global;
    NET_API_STATUS local;
    const char* message;
    int localCalls;
  };
  const Case cases[] = {
      {ERROR_ACCESS_DENIED, 0, "Access Denied", 0},
      {NERR_UserNotFound, 0, "User: \"bob\" does not exist", 0},
      {NERR_InvalidComputer, 0, "Computer: \"HOST.EXAMPLE.TEST\" does not exist", 0},
      {ERROR_MORE_DATA, 0, "Unknown response from NetUserGetGroups: 234", 0},
      {0, ERROR_ACCESS_DENIED, "Access Denied", 1},
      {0, NERR_UserNotFound, "User: \"bob\" does not exist", 1},
      {0, NERR_InvalidComputer, "Computer: \"HOST.EXAMPLE.TEST\" does not exist", 1},
      {0, ERROR_BAD_NETPATH, "Unknown response from NetUserGetLocalGroups: 53", 1},
  };
  machine.globalGroups[L"bob"] = {L"Staff"};
  for (const Case& c : cases) {
    machine.globalGroupsStatus = c.global;
    machine.localGroupsStatus = c.local;
    machine.localGroupsCalls = 0;
    errorMessage.clear();
    std::string output = RunSection(false, L"bob");
    EXPECT_EQ(errorMessage, c.message);
    EXPECT_EQ(machine.localGroupsCalls, c.localCalls) << c.message;
    // The title stands before the error; the global groups printed before a local error stay.
    std::string expected = Lines({"", kTitle});
    if (c.global == 0) expected += Lines({"HOST.EXAMPLE.TEST\\Staff (S-1-5-21-1-2-3-513)"});
    EXPECT_EQ(output, expected);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST_F(Groups, AGroupThatNoLongerResolvesEndsTheSection) {
  machine.localGroups[L"bob"] = {L"Ghosts"};
  EXPECT_EQ(RunSection(false, L"bob"), Lines({"", kTitle}));
  EXPECT_EQ(errorMessage, "User:\"Ghosts\" does not exist");
}

}  // namespace
