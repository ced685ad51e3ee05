// Names to SIDs and SIDs to names, both ways, over a directory of users and groups.
#include "host/AccountNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "MemoryDirectory.h"
#include "host/NssErrors.h"

namespace compat {
namespace {

class AccountNamesTest : public ::testing::Test {
 protected:
  AccountNamesTest() {
    directory.AddRootAliceAndBob();
    directory.AddUser("everyone", 1003, 100);  // a user named like a well-known group
    directory.AddUser("j\xC3\xBCrgen", 1004, 100);
    directory.AddGroup("users", 100);
    directory.AddGroup("sudo", 27, {"alice"});
    directory.AddGroup("bob", 2000, {"alice"});  // named like a user, not his private group
    directory.AddGroup("administrators", 3000);  // named like the built-in alias
    directory.AddUser("Mia", 1010, 100);
    directory.AddUser("MIA", 1011, 100);
    directory.AddUser("jos\xE9", 1012, 100);  // Latin-1, not UTF-8
    directory.AddUser("l\351a", 1013, 100);   // two Latin-1 names equal ignoring case
    directory.AddUser("L\311A", 1014, 100);
    directory.AddGroup("dup", 7001);
    directory.AddGroup("dup", 7002);      // a second group of the same name
    directory.AddGroup("", 6200);         // a group without a name
    directory.AddGroup("", 4294967294u);  // the same, at the top of the gids
  }

  MemoryDirectory directory;
  AccountNames names{
      directory, [](std::wstring_view domain) { return SameNameIgnoringCase(domain, L"HOST"); }};
};

// What a lookup answers besides the SID: the domain, the name as the directory writes it and the
// use. None ({}): the name or SID is not mapped.
struct Answer {
  const wchar_t* domain = nullptr;
  const wchar_t* name = nullptr;
  SID_NAME_USE use = SidTypeUser;
};

// The SID, domain, name and use of a mapped name or SID, compared as one, so that a failure
// shows the whole answer.
void ExpectAnswer(DWORD error, const AccountLookup& found, const wchar_t* sid,
                  const Answer& expected) {
  if (expected.name == nullptr) {
    EXPECT_EQ(error, ERROR_NONE_MAPPED);
    return;
  }
  ASSERT_EQ(error, ERROR_SUCCESS);
  EXPECT_EQ(std::make_tuple(found.sid.ToText(), found.domain, found.name, found.use),
            std::make_tuple(std::wstring(sid), std::wstring(expected.domain),
                            std::wstring(expected.name), expected.use));
}

TEST_F(AccountNamesTest, NamesToSids) {
  struct Case {
    const wchar_t* name;
    const wchar_t* sid;
    Answer answer;
  };
  const Case cases[] = {
      {L"alice", L"S-1-22-1-1001", {L"Unix User", L"alice", SidTypeUser}},
      {L"Unix User\\alice", L"S-1-22-1-1001", {L"Unix User", L"alice", SidTypeUser}},
      {L"Unix Group\\alice", L"S-1-22-2-1001", {L"Unix Group", L"alice", SidTypeGroup}},
      {L"users", L"S-1-22-2-100", {L"Unix Group", L"users", SidTypeGroup}},
      {L"bob", L"S-1-22-1-1002", {L"Unix User", L"bob", SidTypeUser}},
      {L"Unix Group\\bob", L"S-1-22-2-2000", {L"Unix Group", L"bob", SidTypeGroup}},
      {L"Everyone", L"S-1-1-0", {L"", L"Everyone", SidTypeWellKnownGroup}},
      {L"everyone", L"S-1-22-1-1003", {L"Unix User", L"everyone", SidTypeUser}},
      {L"\\Everyone", L"S-1-1-0", {L"", L"Everyone", SidTypeWellKnownGroup}},
      {L"Administrators", L"S-1-5-32-544", {L"BUILTIN", L"Administrators", SidTypeAlias}},
      {L"administrators", L"S-1-5-32-544", {L"BUILTIN", L"Administrators", SidTypeAlias}},
      {L"BUILTIN\\administrators", L"S-1-5-32-544", {L"BUILTIN", L"Administrators", SidTypeAlias}},
      {L"Unix Group\\administrators",
       L"S-1-22-2-3000",
       {L"Unix Group", L"administrators", SidTypeGroup}},
      {L"BUILTIN", L"S-1-5-32", {L"BUILTIN", L"BUILTIN", SidTypeDomain}},
      {L"HOST\\alice", L"S-1-22-1-1001", {L"Unix User", L"alice", SidTypeUser}},
      {L"j\u00FCrgen", L"S-1-22-1-1004", {L"Unix User", L"j\u00FCrgen", SidTypeUser}},
      {L"OTHER\\alice", nullptr, {}},
      {L"BUILTIN\\alice", nullptr, {}},
      {L"Unix User\\users", nullptr, {}},
      {L"Unix Group\\everyone", nullptr, {}},
      {L"Alice", L"S-1-22-1-1001", {L"Unix User", L"alice", SidTypeUser}},  // in any case
      {L"Unix Group\\USERS", L"S-1-22-2-100", {L"Unix Group", L"users", SidTypeGroup}},
      {L"Mia", L"S-1-22-1-1010", {L"Unix User", L"Mia", SidTypeUser}},  // exactly first
      {L"mia", nullptr, {}},  // two equal ignoring case, none exactly
      {L"jos\u00E9", L"S-1-22-1-1012", {L"Unix User", L"jos\u00E9", SidTypeUser}},  // Latin-1 bytes
      {L"JOS\u00C9", L"S-1-22-1-1012", {L"Unix User", L"jos\u00E9", SidTypeUser}},
      {L"l\u00E9a", L"S-1-22-1-1013", {L"Unix User", L"l\u00E9a", SidTypeUser}},  // exactly first
      {L"L\u00C9A", L"S-1-22-1-1014", {L"Unix User", L"L\u00C9A", SidTypeUser}},
      {L"L\u00E9a", nullptr, {}},
      {L"Unix Group\\7002", L"S-1-22-2-7002", {L"Unix Group", L"dup", SidTypeGroup}},  // a gid
      {L"Unix Group\\6200", L"S-1-22-2-6200", {L"Unix Group", L"", SidTypeGroup}},
      {L"Unix Group\\4294967294", L"S-1-22-2-4294967294", {L"Unix Group", L"", SidTypeGroup}},
      {L"Unix Group\\4294967296", nullptr, {}},  // past 32 bits: no gid, not gid 0
      {L"7002", nullptr, {}},                    // a gid only in its domain
      {L"nosuch", nullptr, {}},
      {L"", nullptr, {}},
      {L"Unix User\\", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.name).c_str());
    AccountLookup found;
    ExpectAnswer(names.LookupName(c.name, found), found, c.sid, c.answer);
  }
}

TEST_F(AccountNamesTest, SidsToNames) {
  struct Case {
    const wchar_t* sid;
    Answer answer;
  };
  const Case cases[] = {
      {L"S-1-22-1-1001", {L"Unix User", L"alice", SidTypeUser}},
      // A group is named as it is listed: alice's private group by its domain, since the bare
      // name is alice's; a second group of a name and a group without one by their gids.
      {L"S-1-22-2-1001", {L"Unix Group", L"Unix Group\\alice", SidTypeGroup}},
      {L"S-1-22-2-7001", {L"Unix Group", L"dup", SidTypeGroup}},
      {L"S-1-22-2-7002", {L"Unix Group", L"Unix Group\\7002", SidTypeGroup}},
      {L"S-1-22-2-6200", {L"Unix Group", L"Unix Group\\6200", SidTypeGroup}},
      {L"S-1-22-2-100", {L"Unix Group", L"users", SidTypeGroup}},
      {L"S-1-1-0", {L"", L"Everyone", SidTypeWellKnownGroup}},
      {L"S-1-5-32-544", {L"BUILTIN", L"Administrators", SidTypeAlias}},
      {L"S-1-22-1", {L"Unix User", L"Unix User", SidTypeDomain}},
      {L"S-1-22-2", {L"Unix Group", L"Unix Group", SidTypeDomain}},
      {L"S-1-22-1-4242", {}},
      {L"S-1-22-2-4242", {}},
      {L"S-1-22-3-0", {}},
      {L"S-1-22-1-1001-5", {}},
      {L"S-1-5-21-1-2-3-500", {}},
      {L"S-1-5-32-545", {L"BUILTIN", L"Users", SidTypeAlias}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.sid).c_str());
    AccountLookup found;
    ExpectAnswer(names.LookupSid(SidFromText(c.sid), found), found, c.sid, c.answer);
  }
}

// A name that names another SID as a bare name is listed with its domain, so that looking the
// listed name up gives the listed SID back.
TEST_F(AccountNamesTest, ListedNamesLeadBackToTheirSids) {
  struct Case {
    const wchar_t* name;
    const wchar_t* domain;
    const wchar_t* sid;
    const wchar_t* listed;
  };
  const Case cases[] = {
      {L"users", L"Unix Group", L"S-1-22-2-100", L"users"},
      {L"sudo", L"Unix Group", L"S-1-22-2-27", L"sudo"},
      {L"bob", L"Unix Group", L"S-1-22-2-2000", L"Unix Group\\bob"},
      {L"administrators", L"Unix Group", L"S-1-22-2-3000", L"Unix Group\\administrators"},
      {L"Administrators", L"BUILTIN", L"S-1-5-32-544", L"Administrators"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.name).c_str());
    std::wstring listed = names.ListedName(c.name, c.domain, SidFromText(c.sid));
    EXPECT_EQ(listed, c.listed);
    AccountLookup found;
    ASSERT_EQ(names.LookupName(listed, found), ERROR_SUCCESS);
    EXPECT_EQ(found.sid.ToText(), c.sid);
  }
}

TEST_F(AccountNamesTest, BuiltInNameIsQualifiedWhenAUserTakesIt) {
  directory.AddUser("Administrators", 4000, 100);
  EXPECT_EQ(names.ListedName(L"Administrators", L"BUILTIN", AdministratorsSid()),
            L"BUILTIN\\Administrators");
}

// A directory that cannot be asked is an error, never "no such account".
TEST_F(AccountNamesTest, FailingDirectoryIsAnErrorNotAbsence) {
  AccountLookup found;
  directory.failWith = EIO;
  EXPECT_EQ(names.LookupName(L"alice", found), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(names.LookupSid(SidFromText(L"S-1-22-2-100"), found), RPC_S_SERVER_UNAVAILABLE);
  directory.failWith = ENOMEM;
  EXPECT_EQ(names.LookupName(L"Unix Group\\users", found), ERROR_NOT_ENOUGH_MEMORY);
  // Well-known SIDs need no directory.
  EXPECT_EQ(names.LookupSid(EveryoneSid(), found), ERROR_SUCCESS);
}

}  // namespace
}  // namespace compat
