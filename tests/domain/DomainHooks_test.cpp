// The host's names, groups and administrators on a host joined to a domain: the users and groups
// of a directory made of data, with winbind's answers scripted (the fake library beside this
// test). A local account must come out exactly as on a host without a domain.
#include <gtest/gtest.h>

#include "LetterCase.h"
#include "MemoryDirectory.h"
#include "ScriptFolder.h"
#include "host/Administrators.h"
#include "host/GroupMemberships.h"
#include "host/HostText.h"

namespace compat {
namespace {

constexpr const char* kScript =
    "ping 0\n"
    "uid2sid 0 S-1-5-21-1-2-3-500\n"  // as Samba's DC maps the host's root and users
    "gid2sid 100 S-1-5-21-1-2-3-513\n"
    "sid2name S-1-5-21-1-2-3-500 SAMDOM Administrator 1\n"
    "uid2sid 20001 S-1-5-21-1-2-3-1104\n"
    "uid2sid 20005 S-1-5-21-1-2-3-1108\n"
    "gid2sid 10000 S-1-5-21-1-2-3-513\n"
    "gid2sid 10512 S-1-5-21-1-2-3-512\n"
    "sid2gid S-1-5-21-1-2-3-513 10000\n"
    "sid2gid S-1-5-21-1-2-3-512 10512\n"
    "sid2name S-1-5-21-1-2-3-1104 SAMDOM user001 1\n"
    "sid2name S-1-5-21-1-2-3-1108 SAMDOM user005 1\n"
    "sid2name S-1-5-21-1-2-3-513 SAMDOM Domain Users 2\n"
    "sid2name S-1-5-21-1-2-3-512 SAMDOM Domain Admins 2\n"
    "sid2name S-1-5-21-1-2-3-572 SAMDOM Denied RODC Password Replication Group 4\n"
    "sid2name S-1-5-21-1-2-3-1300 SAMDOM No Gid Group 2\n"
    "usersids S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-513 S-1-5-21-1-2-3-512 "
    "S-1-5-21-1-2-3-572 S-1-5-21-1-2-3-1300\n"
    "usersids S-1-5-21-1-2-3-1108 S-1-5-21-1-2-3-1108 S-1-5-21-1-2-3-513\n"
    // On a DC the built-in aliases come with the user's groups.
    "uid2sid 20007 S-1-5-21-1-2-3-1110\n"
    "sid2name S-1-5-21-1-2-3-1110 SAMDOM user007 1\n"
    "sid2name S-1-5-32-544 BUILTIN Administrators 4\n"
    "usersids S-1-5-21-1-2-3-1110 S-1-5-21-1-2-3-513 S-1-5-21-1-2-3-512 S-1-5-32-544\n";

// Winbind as NSS: names match ignoring case, and the domain's entries are not enumerated.
class WinbindDirectory : public MemoryDirectory {
 public:
  Found FindUser(std::string_view name, UserEntry& user) override {
    for (const UserEntry& entry : users) {
      if (SameNameIgnoringCase(WideFromHost(entry.name), WideFromHost(name))) {
        user = entry;
        return Found::Yes;
      }
    }
    return Found::No;
  }
  bool ForEachUser(const std::function<void(const UserEntry&)>& visit) override {
    for (const UserEntry& entry : users) {
      if (entry.uid < 20000) visit(entry);
    }
    return true;
  }
};

class DomainHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("script", kScript);
    DomainOptions options;
    options.wbclient = USERLENS_FAKE_LIBRARY;
    link_ = DomainLink::Open(Nsswitch::Parse("passwd: files winbind\n"), options);
    ASSERT_NE(link_, nullptr);
    directory_.AddUser("root", 0, 0);
    directory_.AddUser("alice", 1001, 1001);
    directory_.AddUser("SAMDOM\\user001", 20001, 10000);
    directory_.AddUser("SAMDOM\\user005", 20005, 10000);
    directory_.AddUser("SAMDOM\\user007", 20007, 10000);
    directory_.AddGroup("root", 0);
    directory_.AddGroup("alice", 1001);
    directory_.AddGroup("sudo", 27, {"alice"});
    directory_.AddGroup("users", 100, {"alice", "SAMDOM\\user001"});
    directory_.AddGroup("SAMDOM\\domain users", 10000);
    directory_.AddGroup("SAMDOM\\domain admins", 10512, {"SAMDOM\\user001"});
  }
  void TearDown() override { link_.reset(); }
  UserEntry User(const char* name) {
    UserEntry user;
    EXPECT_EQ(directory_.FindUser(name, user), Found::Yes) << name;
    return user;
  }

  ScriptFolder folder_{false};
  std::unique_ptr<DomainLink> link_;
  WinbindDirectory directory_;
  AccountNames names_{directory_, nullptr};  // the same host without the domain
};

TEST_F(DomainHooks, NamesAndSidsOfTheDomainAndOfTheHost) {
  AccountNames names(directory_, nullptr, link_.get());
  struct Case {
    const wchar_t* name;
    const wchar_t* sid;
    const wchar_t* domain;
    SID_NAME_USE use;
  } cases[] = {
      {L"SAMDOM\\user001", L"S-1-5-21-1-2-3-1104", L"SAMDOM", SidTypeUser},
      {L"samdom\\USER001", L"S-1-5-21-1-2-3-1104", L"SAMDOM", SidTypeUser},  // as winbind matches
      {L"SAMDOM\\Domain Users", L"S-1-5-21-1-2-3-513", L"SAMDOM", SidTypeGroup},
      {L"SAMDOM\\domain admins", L"S-1-5-21-1-2-3-512", L"SAMDOM", SidTypeGroup},  // NSS's name
      {L"alice", L"S-1-22-1-1001", L"Unix User", SidTypeUser},
      {L"sudo", L"S-1-22-2-27", L"Unix Group", SidTypeGroup},
      {L"root", L"S-1-22-1-0", L"Unix User", SidTypeUser},  // the DC's mapping names another
      {L"users", L"S-1-22-2-100", L"Unix Group", SidTypeGroup},
  };
  for (const Case& c : cases) {
    AccountLookup found;
    ASSERT_EQ(names.LookupName(c.name, found), ERROR_SUCCESS) << c.name;
    EXPECT_EQ(found.sid.ToText(), c.sid) << c.name;
    EXPECT_EQ(found.domain, c.domain) << c.name;
    EXPECT_EQ(found.use, c.use) << c.name;
    AccountLookup back;
    ASSERT_EQ(names.LookupSid(found.sid, back), ERROR_SUCCESS) << c.sid;
    EXPECT_EQ(back.domain, c.domain) << c.sid;
  }
  AccountLookup found;
  EXPECT_EQ(names.LookupSid(SidFromText(L"S-1-5-21-1-2-3-9999"), found), ERROR_NONE_MAPPED);
  EXPECT_EQ(names.LookupName(L"SAMDOM\\nobody", found), ERROR_NONE_MAPPED);
  // The command line folds the name to lower case: a domain's source matches it ignoring case,
  // though it lists no account to match it against.
  UserEntry user;
  ASSERT_EQ(names.FindUser(L"samdom\\USER005", user), Found::Yes);
  EXPECT_EQ(user.name, "SAMDOM\\user005");
  EXPECT_EQ(names_.FindUser(L"samdom\\USER005", user), Found::No);
  // Without the domain, winbind's user is a Unix user like any other.
  ASSERT_EQ(names_.LookupName(L"SAMDOM\\user001", found), ERROR_SUCCESS);
  EXPECT_EQ(found.sid.ToText(), L"S-1-22-1-20001");
}

TEST_F(DomainHooks, GroupsOfADomainAccountAndOfALocalOne) {
  AccountNames names(directory_, nullptr, link_.get());
  GroupMemberships domain(directory_, names);
  GroupMemberships host(directory_, names_);
  struct Case {
    const char* user;
    bool administrator;
    std::vector<std::wstring> global, local;
  } cases[] = {
      // The domain's groups as the domain names them; the host's own group "users" as before.
      {"SAMDOM\\user001",
       true,
       {L"SAMDOM\\Domain Users", L"SAMDOM\\Domain Admins", L"SAMDOM\\No Gid Group"},
       {L"users", L"SAMDOM\\Denied RODC Password Replication Group", L"Administrators"}},
      {"SAMDOM\\user005", false, {L"SAMDOM\\Domain Users"}, {}},
      // Administrators once, as the domain names it.
      {"SAMDOM\\user007",
       true,
       {L"SAMDOM\\Domain Users", L"SAMDOM\\Domain Admins"},
       {L"BUILTIN\\Administrators"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> global, local;
    ASSERT_EQ(domain.GlobalGroupsOf(User(c.user), global), Found::Yes);
    ASSERT_EQ(domain.LocalGroupsOf(User(c.user), c.administrator, local), Found::Yes);
    EXPECT_EQ(global, c.global) << c.user;
    EXPECT_EQ(local, c.local) << c.user;
  }
  for (const char* user : {"root", "alice"}) {
    std::vector<std::wstring> lists[4];
    ASSERT_EQ(domain.GlobalGroupsOf(User(user), lists[0]), Found::Yes) << user;
    ASSERT_EQ(host.GlobalGroupsOf(User(user), lists[1]), Found::Yes) << user;
    ASSERT_EQ(domain.LocalGroupsOf(User(user), true, lists[2]), Found::Yes) << user;
    ASSERT_EQ(host.LocalGroupsOf(User(user), true, lists[3]), Found::Yes) << user;
    EXPECT_FALSE(lists[3].empty()) << user << ": an administrator is in Administrators";
    EXPECT_EQ(lists[0], lists[1]) << user;
    EXPECT_EQ(lists[2], lists[3]) << user;
  }
}

TEST_F(DomainHooks, TheTokenOfADomainUsersProcess) {
  AccountNames names(directory_, nullptr, link_.get());
  GroupMemberships memberships(directory_, names);
  Administrators administrators = Administrators::Read(directory_);
  struct Case {
    uint32_t euid;
    std::vector<uint32_t> gids;
    std::vector<std::wstring> sids;
  } cases[] = {
      // The process's groups, then the domain's groups it does not carry, then Administrators
      // for a member of Domain Admins.
      {20001,
       {10000, 100, 10512},
       {L"S-1-1-0", L"S-1-5-21-1-2-3-513", L"S-1-22-2-100", L"S-1-5-21-1-2-3-512",
        L"S-1-5-21-1-2-3-572", L"S-1-5-21-1-2-3-1300", L"S-1-5-32-544"}},
      {20005, {10000}, {L"S-1-1-0", L"S-1-5-21-1-2-3-513"}},
      {20007, {10000}, {L"S-1-1-0", L"S-1-5-21-1-2-3-513", L"S-1-5-21-1-2-3-512", L"S-1-5-32-544"}},
      {1001, {1001, 27, 100}, {L"S-1-1-0", L"S-1-22-2-27", L"S-1-22-2-100", L"S-1-5-32-544"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> sids;
    for (const TokenGroup& group : memberships.ProcessGroups(c.euid, c.gids, administrators)) {
      sids.push_back(group.sid.ToText());
    }
    EXPECT_EQ(sids, c.sids) << c.euid;
  }
}

TEST_F(DomainHooks, DomainAdminsAdministerTheHost) {
  Administrators domain = Administrators::Read(directory_, link_.get());
  Administrators host = Administrators::Read(directory_);
  struct Case {
    const char* user;
    bool withDomain, without;
  } cases[] = {
      {"SAMDOM\\user001", true, false},  // in Domain Admins
      {"SAMDOM\\user005", false, false},
      {"alice", true, true},  // in sudo
      {"root", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(domain.Includes(User(c.user)), c.withDomain) << c.user;
    EXPECT_EQ(host.Includes(User(c.user)), c.without) << c.user;
  }
}

}  // namespace
}  // namespace compat
