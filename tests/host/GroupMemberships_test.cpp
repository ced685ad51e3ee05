// The groups of an account and of the process, and who administers the host.
#include "host/GroupMemberships.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "MemoryDirectory.h"

namespace compat {
namespace {

TEST(UserPrivateGroup, OnlyTheUsersOwnGroupWithNoOtherMember) {
  struct Case {
    const char* what;
    const char* groupName;
    std::vector<std::string> members;
    uint32_t userGid;
    bool isPrivate;
  };
  const Case cases[] = {
      {"own name, primary group, no listed member", "alice", {}, 1001, true},
      {"own name, listed as the only member", "alice", {"alice"}, 100, true},
      {"own name, primary group and listed", "alice", {"alice"}, 1001, true},
      {"own name, another member too", "alice", {"alice", "bob"}, 1001, false},
      {"own name, only another member", "alice", {"bob"}, 100, false},
      {"own name, nobody in it", "alice", {}, 100, false},
      {"another name", "staff", {}, 1001, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UserEntry user;
    user.name = "alice";
    user.gid = c.userGid;
    GroupEntry group{c.groupName, 1001, c.members};
    EXPECT_EQ(IsUserPrivateGroup(group, user), c.isPrivate);
  }
}

class GroupMembershipsTest : public ::testing::Test {
 protected:
  GroupMembershipsTest() {
    directory.AddRootAliceAndBob();
    directory.AddUser("carol", 1003, 27);   // an administrator by primary group
    directory.AddUser("dave", 1004, 4444);  // a primary gid without a group entry
    directory.AddGroup("users", 100, {"alice"});
    directory.AddGroup("sudo", 27, {"alice"});
    directory.AddGroup("bob", 2000, {"alice", "bob"});  // bob's name, but not his alone
    directory.AddGroup("audio", 29, {"bob", "alice"});
  }

  std::vector<std::wstring> Global(const char* user) {
    UserEntry entry;
    EXPECT_EQ(directory.FindUser(user, entry), Found::Yes);
    std::vector<std::wstring> list;
    EXPECT_EQ(memberships.GlobalGroupsOf(entry, list), Found::Yes);
    return list;
  }

  std::vector<std::wstring> Local(const char* user) {
    UserEntry entry;
    EXPECT_EQ(directory.FindUser(user, entry), Found::Yes);
    std::vector<std::wstring> list;
    bool administrator = Administrators::Read(directory).Includes(entry);
    EXPECT_EQ(memberships.LocalGroupsOf(entry, administrator, list), Found::Yes);
    return list;
  }

  MemoryDirectory directory;
  AccountNames names{directory, nullptr};
  GroupMemberships memberships{directory, names};
};

TEST_F(GroupMembershipsTest, PrimaryGroupIsTheGlobalGroupUnlessPrivate) {
  EXPECT_EQ(Global("alice"), std::vector<std::wstring>{});
  EXPECT_EQ(Global("bob"), std::vector<std::wstring>{L"users"});
  EXPECT_EQ(Global("carol"), std::vector<std::wstring>{L"sudo"});
  EXPECT_EQ(Global("dave"), std::vector<std::wstring>{});
  // A primary group whose name is a user's, or another group's too, by the name that is its own.
  directory.AddUser("erin", 1005, 2000);
  directory.AddGroup("dup", 7001);
  directory.AddGroup("dup", 7002);
  directory.AddUser("ivan", 1006, 7002);
  EXPECT_EQ(Global("erin"), std::vector<std::wstring>{L"Unix Group\\bob"});
  EXPECT_EQ(Global("ivan"), std::vector<std::wstring>{L"Unix Group\\7002"});
}

TEST_F(GroupMembershipsTest, OtherGroupsAndTheAdministratorsAliasAreLocalGroups) {
  EXPECT_EQ(Local("alice"), (std::vector<std::wstring>{L"users", L"sudo", L"Unix Group\\bob",
                                                       L"audio", L"Administrators"}));
  EXPECT_EQ(Local("bob"), (std::vector<std::wstring>{L"Unix Group\\bob", L"audio"}));
  EXPECT_EQ(Local("carol"), (std::vector<std::wstring>{L"Administrators"}));
  EXPECT_EQ(Local("root"), (std::vector<std::wstring>{L"Administrators"}));
  // A private group is listed nowhere, also where it is not the user's primary group.
  directory.AddUser("gus", 1007, 100);
  directory.AddGroup("gus", 1007, {"gus"});
  EXPECT_EQ(Local("gus"), std::vector<std::wstring>{});
}

// uid 0 and the members of sudo, wheel and admin, by name or by primary group; no other group.
TEST(AdministratorsTest, EachAdministratorGroupByNameAndByPrimaryGroup) {
  MemoryDirectory directory;
  directory.AddRootAliceAndBob();
  directory.AddGroup("sudo", 27, {"sara"});
  directory.AddGroup("wheel", 10, {"will"});
  directory.AddGroup("admin", 120, {"adam"});
  directory.AddGroup("adm", 4, {"otto"});  // reads logs; administers nothing
  const struct {
    const char* name;
    uint32_t uid, gid;
    bool administrator;
  } cases[] = {
      {"sara", 1101, 100, true},  {"will", 1102, 100, true}, {"adam", 1103, 100, true},
      {"pat", 1104, 27, true},    {"wes", 1105, 10, true},   {"amy", 1106, 120, true},
      {"otto", 1107, 100, false}, {"ann", 1108, 4, false},   {"toor", 0, 100, true},
  };
  for (const auto& c : cases) directory.AddUser(c.name, c.uid, c.gid);
  Administrators administrators = Administrators::Read(directory);
  for (const auto& c : cases) {
    UserEntry user;
    ASSERT_EQ(directory.FindUser(c.name, user), Found::Yes) << c.name;
    EXPECT_EQ(administrators.Includes(user), c.administrator) << c.name;
  }
}

TEST_F(GroupMembershipsTest, FailingDirectoryIsReported) {
  UserEntry alice;
  ASSERT_EQ(directory.FindUser("alice", alice), Found::Yes);
  directory.failWith = EIO;
  std::vector<std::wstring> list;
  EXPECT_EQ(memberships.GlobalGroupsOf(alice, list), Found::Failed);
  EXPECT_EQ(memberships.LocalGroupsOf(alice, false, list), Found::Failed);
}

// Groups that cannot be read make no one a plain user: the answer says it may be wrong, and the
// groups are read again on the next question.
TEST_F(GroupMembershipsTest, AdministratorGroupsThatCannotBeReadAreSaidSo) {
  UserEntry carol;
  ASSERT_EQ(directory.FindUser("carol", carol), Found::Yes);
  Administrators administrators = Administrators::Read(directory);
  directory.failWith = EIO;
  EXPECT_FALSE(administrators.Includes(carol));
  EXPECT_TRUE(administrators.Unreadable());
  EXPECT_FALSE(administrators.IncludesProcess(1003, {27}));
  EXPECT_TRUE(administrators.Unreadable());
  directory.failWith = 0;
  EXPECT_TRUE(administrators.Includes(carol));
  EXPECT_FALSE(administrators.Unreadable());
}

std::vector<std::wstring> SidTexts(const std::vector<TokenGroup>& groups) {
  std::vector<std::wstring> texts;
  for (const TokenGroup& group : groups) texts.push_back(group.sid.ToText());
  return texts;
}

TEST_F(GroupMembershipsTest, ProcessGroupsInTheirFixedOrder) {
  Administrators administrators = Administrators::Read(directory);
  struct Case {
    const char* what;
    uint32_t euid;
    std::vector<uint32_t> gids;
    std::vector<std::wstring> sids;
  };
  const Case cases[] = {
      {"administrator: private group left out, each group once, unknown gid kept",
       1001,
       {1001, 1001, 27, 100, 5555},
       {L"S-1-1-0", L"S-1-22-2-27", L"S-1-22-2-100", L"S-1-22-2-5555", L"S-1-5-32-544"}},
      {"ordinary user",
       1002,
       {100, 29, 2000},
       {L"S-1-1-0", L"S-1-22-2-100", L"S-1-22-2-29", L"S-1-22-2-2000"}},
      {"root", 0, {0, 0}, {L"S-1-1-0", L"S-1-5-32-544"}},
      {"a uid without an account", 7777, {7777}, {L"S-1-1-0", L"S-1-22-2-7777"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SidTexts(memberships.ProcessGroups(c.euid, c.gids, administrators)), c.sids);
  }
}

}  // namespace
}  // namespace compat
