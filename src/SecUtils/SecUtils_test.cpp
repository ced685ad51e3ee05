#include "SecUtils/SecUtils.h"

#include <gtest/gtest.h>

#include <vector>

#include "Actions/Actions.h"
#include "ProgramRun.h"
#include "SDDL/SDDL.h"

namespace {

class SecUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddWellKnownNames();
    machine.AddName(L"alice", L"HOST", L"S-1-5-21-1-2-3-1001", SidTypeUser);
    machine.AddName(L"Staff", L"HOST", L"S-1-5-21-1-2-3-513", SidTypeGroup);
    machine.AddAccount(L"alice").fullName = L"Alice Liddell";
    BindSddlFunctions();
  }

  compat::ScriptedMachine machine;
  ScriptedModules modules{machine};
};

TEST_F(SecUtilsTest, StringToSidReadsSidTextsBehindThePrefixInAnyCase) {
  struct Case {
    const wchar_t* text;
    bool converted;
    const wchar_t* sidText;
  };
  const Case cases[] = {
      {L"SID#S-1-5-32-544", true, L"S-1-5-32-544"},
      {L"sid#S-1-1-0", true, L"S-1-1-0"},
      {L"sId#s-1-5-18", true, L"S-1-5-18"},
      {L"SID#not a sid", false, L""},
      {L"SID#", false, L""},
      {L"SID#S-1-5-", false, L""},
  };
  for (const Case& c : cases) {
    OwnedSid sid;
    EXPECT_EQ(StringToSid(c.text, L"", sid), c.converted) << c.text;
    EXPECT_EQ(SidToText(sid.get()), c.sidText) << c.text;
    EXPECT_EQ(sid.get() != nullptr, c.converted);
  }
  EXPECT_EQ(compat::CurrentOutstanding().localBlocks, 0u);
}

// A SID the conversion refuses (another revision, too many sub-authorities) has the empty text.
TEST_F(SecUtilsTest, SidToTextOfASidTheConversionRefusesIsEmpty) {
  for (BYTE count : {BYTE{1}, BYTE{16}}) {
    std::vector<BYTE> sid = {static_cast<BYTE>(count == 1 ? 2 : 1), count, 0, 0, 0, 0, 0, 5};
    sid.resize(sid.size() + 4u * count, 0);
    EXPECT_EQ(SidToText(sid.data()), L"") << int{count};
  }
  EXPECT_EQ(compat::CurrentOutstanding().localBlocks, 0u);
  EXPECT_EQ(compat::CurrentOutstanding().refusedReleases, 0u);
}

TEST_F(SecUtilsTest, StringToSidLooksUpEverythingElseAsAnAccount) {
  OwnedSid sid;
  EXPECT_TRUE(StringToSid(L"alice", L"HOST.EXAMPLE.TEST", sid));
  EXPECT_EQ(SidToText(sid.get()), L"S-1-5-21-1-2-3-1001");
  // Shorter than the prefix: an account name.
  machine.AddName(L"SI", L"HOST", L"S-1-5-21-9", SidTypeUser);
  EXPECT_TRUE(StringToSid(L"SI", L"", sid));
  EXPECT_EQ(SidToText(sid.get()), L"S-1-5-21-9");
}

TEST_F(SecUtilsTest, AnUnknownAccountDoesNotExist) {
  for (const wchar_t* name : {L"Nobody", L"SID", L"%s%d"}) {
    OwnedSid sid;
    try {
      StringToSid(name, L"", sid);
      FAIL() << "no error for " << name;
    } catch (const EQvSecUtils& error) {
      std::wstring wide(name);
      std::string narrow(wide.begin(), wide.end());
      EXPECT_EQ(error.Message(), "User:\"" + narrow + "\" does not exist");
    }
    EXPECT_EQ(sid.get(), nullptr);
  }
}

TEST_F(SecUtilsTest, AnyOtherLookupFailureGivesNoSidAndNoError) {
  machine.lookupNameError = ERROR_ACCESS_DENIED;
  OwnedSid sid;
  EXPECT_FALSE(StringToSid(L"alice", L"", sid));
  EXPECT_EQ(sid.get(), nullptr);
  EXPECT_EQ(AccountNameToSidText(L"alice", L""), L"");
}

TEST_F(SecUtilsTest, MissingConversionsGiveEmptyText) {
  UnbindSddlFunctions();
  machine.missingExports = {"ConvertSidToStringSidW", "ConvertStringSidToSidW"};
  BindSddlFunctions();
  OwnedSid sid;
  EXPECT_FALSE(StringToSid(L"SID#S-1-1-0", L"", sid));
  EXPECT_EQ(AccountNameToSidText(L"alice", L""), L"");
  EXPECT_EQ(compat::CurrentOutstanding().localBlocks, 0u);
}

TEST_F(SecUtilsTest, SidToAccountNameAppliesTheDomainRule) {
  struct Case {
    const wchar_t* sidText;
    int use;
    const wchar_t* name;
    const wchar_t* domain;
    const wchar_t* fullName;
  };
  const Case cases[] = {
      {L"S-1-5-21-1-2-3-1001", SidTypeUser, L"alice", L"HOST", L"Alice Liddell"},
      {L"S-1-1-0", SidTypeWellKnownGroup, L"Everyone", L"", L""},
      {L"S-1-5-32-544", SidTypeAlias, L"Administrators", L"HOST", L""},  // not BUILTIN
      {L"S-1-5-21-1-2-3-513", SidTypeGroup, L"Staff", L"HOST", L""},
      {L"S-1-5-5-0-99", 0, L"S-1-5-5-0-99", L"", L"kept"},  // maps to no name
  };
  machine.netbiosName = L"HOST";
  for (const Case& c : cases) {
    OwnedSid sid;
    ASSERT_TRUE(StringToSid(std::wstring(L"SID#") + c.sidText, L"", sid));
    std::wstring name = L"x", domain = L"x", fullName = L"kept";
    EXPECT_EQ(SidToAccountName(sid.get(), name, domain, fullName), c.use) << c.sidText;
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(domain, c.domain);
    EXPECT_EQ(fullName, c.fullName);
  }
  EXPECT_EQ(compat::CurrentOutstanding().netApiBuffers, 0u);
}

TEST_F(SecUtilsTest, SidToAccountNameTurnsTheRecordStatusIntoItsError) {
  struct Case {
    NET_API_STATUS status;
    const char* message;
  };
  const Case cases[] = {{ERROR_ACCESS_DENIED, "Access Denied"},
                        {NERR_UserNotFound, "User Not Found"},
                        {NERR_InvalidComputer, "Invalid Computer"},
                        {ERROR_BAD_NETPATH, "Unknown error"}};
  OwnedSid sid;
  ASSERT_TRUE(StringToSid(L"SID#S-1-5-21-1-2-3-1001", L"", sid));
  for (const Case& c : cases) {
    machine.getAccountStatus = c.status;
    std::wstring name, domain, fullName;
    try {
      SidToAccountName(sid.get(), name, domain, fullName);
      FAIL() << c.status;
    } catch (const EQvSecUtils& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
  // The record is asked for with the domain as server name.
  EXPECT_EQ(machine.getAccountServers.back(), L"HOST");
}

TEST_F(SecUtilsTest, NameLinesShowTheSidAndMarkUnmappedOnes) {
  ComputerName = L"HOST.EXAMPLE.TEST";
  WriteNameWithSid(L"HOST\\Staff", L"S-1-5-21-1-2-3-513");
  WriteNameWithSid(L"S-1-5-5-0-99", L"S-1-5-5-0-99");
  WriteNameWithSid(L"100%s", L"S-1-1-0");
  LPWSTR names[] = {const_cast<LPWSTR>(L"alice"), const_cast<LPWSTR>(L"Staff")};
  WriteAccountListWithSids(names, 2);
  WriteAccountListWithSids(names, 0);
  EXPECT_EQ(modules.Finish(), Lines({
                                  "HOST\\Staff (S-1-5-21-1-2-3-513)",
                                  "<?"
                                  "?> (S-1-5-5-0-99)",
                                  "100%s (S-1-1-0)",
                                  "HOST.EXAMPLE.TEST\\alice (S-1-5-21-1-2-3-1001)",
                                  "HOST.EXAMPLE.TEST\\Staff (S-1-5-21-1-2-3-513)",
                              }));
}

TEST_F(SecUtilsTest, NetBiosNameIsTheLocalComputersShortName) {
  const struct {
    const char* what;
    const wchar_t* name;
    const char* expected;
  } cases[] = {
      {"longer than a NetBIOS name may be", L"WORKSTATION-0001", ""},
      {"the longest, as Windows names a new computer", L"DESKTOP-4A7B9CQ", "DESKTOP-4A7B9CQ"},
      {"short", L"WS01", "WS01"},
  };
  for (const auto& c : cases) {
    machine.netbiosName = c.name;
    EXPECT_EQ(GetNetBiosComputerName(), c.expected) << c.what;
  }
}

}  // namespace
