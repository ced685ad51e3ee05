// The contract of the account database calls: one NetApiBufferFree-able block per call, the
// statuses the program acts on, the counts and the resume handle.
#include <set>
#include <string>
#include <vector>

#include "contract/Contract.h"

namespace {

using contract::CurrentUser;
using contract::Everywhere;
using contract::NotUnderWine;
using contract::Where;

// The names of one whole listing at a level, from NetUserEnum with MAX_PREFERRED_LENGTH.
std::vector<std::wstring> ListNames(DWORD level, NET_API_STATUS& status) {
  LPBYTE buffer = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  DWORD resume = 0;
  status = NetUserEnum(nullptr, level, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
  std::vector<std::wstring> names;
  if (status == NERR_Success) {
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(read, total);
    EXPECT_EQ(resume, 0u);
    for (DWORD i = 0; i < read; ++i) {
      names.emplace_back(level == 0 ? reinterpret_cast<USER_INFO_0*>(buffer)[i].usri0_name
                                    : reinterpret_cast<USER_INFO_2*>(buffer)[i].usri2_name);
    }
  }
  EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
  return names;
}

struct EnumRow {
  const char* name;
  DWORD level;
  NET_API_STATUS status;
  Where where = Everywhere();
};

const EnumRow kEnum[] = {
    {"level_0", 0, NERR_Success},
    {"level_2", 2, NERR_Success, NotUnderWine("NetUserEnum answers 124 for level 2")},
    {"level_5", 5, ERROR_INVALID_LEVEL},
};

class NetUserEnumContract : public ::testing::TestWithParam<EnumRow> {};

TEST_P(NetUserEnumContract, Holds) {
  const EnumRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  NET_API_STATUS status = 0;
  std::vector<std::wstring> names = ListNames(row.level, status);
  EXPECT_EQ(status, row.status);
  if (row.status != NERR_Success) return;
  std::set<std::wstring> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size()) << "every account once";
  EXPECT_EQ(unique.count(CurrentUser()), 1u) << "the current user is listed";
}

CONTRACT_TABLE(NetUserEnumContract, kEnum)

// A listing in pieces of a small preferred length gives the same accounts as one whole listing:
// every piece but the last answers ERROR_MORE_DATA with at least one record and a resume handle.
CONTRACT_TEST(NetUserEnumContract, PiecesMakeTheWholeListing,
              NotUnderWine("with a small preferred length NetUserEnum answers 234, no record "
                           "and resume handle 0")) {
  NET_API_STATUS status = 0;
  std::vector<std::wstring> whole = ListNames(0, status);
  ASSERT_EQ(status, NERR_Success);
  std::vector<std::wstring> pieces;
  DWORD resume = 0;
  for (int piece = 0; piece < 100000; ++piece) {
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    status = NetUserEnum(nullptr, 0, 0, &buffer, 1, &read, &total, &resume);
    ASSERT_TRUE(status == NERR_Success || status == ERROR_MORE_DATA) << status;
    for (DWORD i = 0; i < read; ++i) {
      pieces.emplace_back(reinterpret_cast<USER_INFO_0*>(buffer)[i].usri0_name);
    }
    EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
    if (status == NERR_Success) break;
    ASSERT_GT(read, 0u);
    ASSERT_NE(resume, 0u);
  }
  EXPECT_EQ(status, NERR_Success);
  EXPECT_EQ(pieces, whole);
}

// NetUserGetInfo, NetUserGetGroups and NetUserGetLocalGroups for the current user and for an
// account that does not exist.
enum class Call { GetInfo, GetGroups, GetLocalGroups };

// The current user by the name it is stored under or in upper case, or an account that does not
// exist.
enum class Who { CurrentUser, CurrentUserInUpperCase, Missing };

struct AccountRow {
  const char* name;
  Call call;
  Who who;
  DWORD level;
  DWORD flags;  // NetUserGetLocalGroups
  NET_API_STATUS status;
  Where where = Everywhere();
};

const AccountRow kAccounts[] = {
    {"info_level_3", Call::GetInfo, Who::CurrentUser, 3, 0, NERR_Success,
     NotUnderWine("NetUserGetInfo answers 2140 for level 3")},
    {"info_level_2", Call::GetInfo, Who::CurrentUser, 2, 0, NERR_Success,
     NotUnderWine("NetUserGetInfo answers 2140 for level 2")},
    {"info_level_0", Call::GetInfo, Who::CurrentUser, 0, 0, NERR_Success},
    {"info_missing_user", Call::GetInfo, Who::Missing, 3, 0, NERR_UserNotFound},
    {"info_missing_user_level_0", Call::GetInfo, Who::Missing, 0, 0, NERR_UserNotFound},
    {"info_invalid_level", Call::GetInfo, Who::CurrentUser, 5, 0, ERROR_INVALID_LEVEL},
    {"groups", Call::GetGroups, Who::CurrentUser, 0, 0, NERR_Success,
     NotUnderWine("NetUserGetGroups answers 124 for level 0")},
    {"groups_missing_user", Call::GetGroups, Who::Missing, 0, 0, NERR_UserNotFound,
     NotUnderWine("NetUserGetGroups answers 124 for level 0")},
    {"groups_invalid_level", Call::GetGroups, Who::CurrentUser, 7, 0, ERROR_INVALID_LEVEL,
     NotUnderWine("NetUserGetGroups answers 124 for every level")},
    {"local_groups", Call::GetLocalGroups, Who::CurrentUser, 0, LG_INCLUDE_INDIRECT, NERR_Success,
     NotUnderWine("NetUserGetLocalGroups answers 0 for any user")},
    {"local_groups_missing_user", Call::GetLocalGroups, Who::Missing, 0, LG_INCLUDE_INDIRECT,
     NERR_UserNotFound, NotUnderWine("NetUserGetLocalGroups answers 0 for any user")},
    {"local_groups_invalid_level", Call::GetLocalGroups, Who::CurrentUser, 7, LG_INCLUDE_INDIRECT,
     ERROR_INVALID_LEVEL, NotUnderWine("NetUserGetLocalGroups answers 0 for any level")},
    {"info_level_0_upper_case", Call::GetInfo, Who::CurrentUserInUpperCase, 0, 0, NERR_Success,
     NotUnderWine("NetUserGetInfo compares names in their case: 2221")},
    {"local_groups_upper_case", Call::GetLocalGroups, Who::CurrentUserInUpperCase, 0,
     LG_INCLUDE_INDIRECT, NERR_Success,
     NotUnderWine("NetUserGetLocalGroups answers 0 for any user")},
    // The program asks for a named account in lower case, whatever the case it is stored in.
    {"info_level_3_upper_case", Call::GetInfo, Who::CurrentUserInUpperCase, 3, 0, NERR_Success,
     NotUnderWine("NetUserGetInfo compares names in their case: 2221")},
    {"groups_upper_case", Call::GetGroups, Who::CurrentUserInUpperCase, 0, 0, NERR_Success,
     NotUnderWine("NetUserGetGroups answers 124 for level 0")},
};

class AccountContract : public ::testing::TestWithParam<AccountRow> {};

TEST_P(AccountContract, Holds) {
  const AccountRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  std::wstring stored = row.who == Who::Missing ? L"NoSuchUser-4711" : CurrentUser();
  std::wstring user = row.who == Who::CurrentUserInUpperCase ? contract::UpperCase(stored) : stored;
  LPBYTE buffer = reinterpret_cast<LPBYTE>(1);
  DWORD read = 99;
  DWORD total = 99;
  NET_API_STATUS status = 0;
  switch (row.call) {
    case Call::GetInfo:
      status = NetUserGetInfo(nullptr, user.c_str(), row.level, &buffer);
      break;
    case Call::GetGroups:
      status = NetUserGetGroups(nullptr, user.c_str(), row.level, &buffer, MAX_PREFERRED_LENGTH,
                                &read, &total);
      break;
    case Call::GetLocalGroups:
      status = NetUserGetLocalGroups(nullptr, user.c_str(), row.level, row.flags, &buffer,
                                     MAX_PREFERRED_LENGTH, &read, &total);
      break;
  }
  EXPECT_EQ(status, row.status);
  if (status != NERR_Success) return;
  ASSERT_NE(buffer, nullptr);
  if (row.call == Call::GetInfo) {
    // Every level starts with the account's name, as stored.
    const wchar_t* name = *reinterpret_cast<LPWSTR*>(buffer);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::wstring(name), stored);
    // A local account logs on at any logon server.
    if (row.level == 3) {
      EXPECT_STREQ(reinterpret_cast<USER_INFO_3*>(buffer)->usri3_logon_server, L"\\\\*");
    }
  } else {
    EXPECT_EQ(read, total);
    for (DWORD i = 0; i < read; ++i) {
      EXPECT_NE(reinterpret_cast<LPWSTR*>(buffer)[i], nullptr);
    }
  }
  EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
}

CONTRACT_TABLE(AccountContract, kAccounts)

// The SID of an account as LookupAccountNameW gives it on a system; empty when it gives none.
std::vector<BYTE> SidOfName(const wchar_t* system, const std::wstring& name, SID_NAME_USE& use) {
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD cbSid = sizeof(sid);
  wchar_t domain[256] = {};
  DWORD cchDomain = 256;
  if (!LookupAccountNameW(system, name.c_str(), sid, &cbSid, domain, &cchDomain, &use)) {
    return std::vector<BYTE>();
  }
  return std::vector<BYTE>(sid, sid + cbSid);
}

// The names of an account's global or local groups, as the program asks for them, on a server;
// the block given back. Every name listed is there (read and total agree).
std::vector<std::wstring> GroupsOf(const std::wstring& server, const std::wstring& user, bool local,
                                   NET_API_STATUS& status) {
  LPBYTE groups = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  status = local ? NetUserGetLocalGroups(server.c_str(), user.c_str(), 0, LG_INCLUDE_INDIRECT,
                                         &groups, MAX_PREFERRED_LENGTH, &read, &total)
                 : NetUserGetGroups(server.c_str(), user.c_str(), 0, &groups, MAX_PREFERRED_LENGTH,
                                    &read, &total);
  std::vector<std::wstring> names;
  if (status == NERR_Success) {
    EXPECT_EQ(read, total);
    for (DWORD i = 0; groups != nullptr && i < read; ++i) {
      names.emplace_back(reinterpret_cast<LPWSTR*>(groups)[i]);
    }
  }
  if (groups != nullptr) {
    EXPECT_EQ(NetApiBufferFree(groups), NERR_Success);
  }
  return names;
}

// The list and the report show the same privilege level and flags of an account. The level is
// USER_PRIV_ADMIN exactly for the members of Administrators, and a local account has a normal
// account's flags, with UF_SCRIPT always set, and no storage limit.
CONTRACT_TEST(AccountContract, ListAndRecordAgreeOnLevelAndFlags,
              NotUnderWine("NetUserGetInfo answers 2140 for level 3")) {
  std::wstring user = CurrentUser();
  LPBYTE info = nullptr;
  ASSERT_EQ(NetUserGetInfo(nullptr, user.c_str(), 3, &info), NERR_Success);
  ASSERT_NE(info, nullptr);
  const USER_INFO_3 record = *reinterpret_cast<USER_INFO_3*>(info);
  LPBYTE list = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  DWORD resume = 0;
  ASSERT_EQ(NetUserEnum(nullptr, 2, 0, &list, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            NERR_Success);
  const USER_INFO_2* listed = nullptr;
  for (DWORD i = 0; i < read; ++i) {
    const USER_INFO_2& entry = reinterpret_cast<USER_INFO_2*>(list)[i];
    if (user == entry.usri2_name) listed = &entry;
  }
  ASSERT_NE(listed, nullptr) << "the current user is listed";
  EXPECT_EQ(listed->usri2_priv, record.usri3_priv);
  EXPECT_EQ(listed->usri2_flags, record.usri3_flags);
  EXPECT_EQ(NetApiBufferFree(list), NERR_Success);
  EXPECT_EQ(record.usri3_flags & (UF_SCRIPT | UF_NORMAL_ACCOUNT), UF_SCRIPT | UF_NORMAL_ACCOUNT);
  EXPECT_EQ(record.usri3_max_storage, USER_MAXSTORAGE_UNLIMITED);
  EXPECT_EQ(record.usri3_units_per_week, static_cast<DWORD>(UNITS_PER_WEEK));
  EXPECT_EQ(NetApiBufferFree(info), NERR_Success);
  // Administrators by its SID: its name is translated on other languages' Windows.
  LPBYTE groups = nullptr;
  ASSERT_EQ(NetUserGetLocalGroups(nullptr, user.c_str(), 0, LG_INCLUDE_INDIRECT, &groups,
                                  MAX_PREFERRED_LENGTH, &read, &total),
            NERR_Success);
  SID_NAME_USE use = SidTypeUnknown;
  const std::vector<BYTE> administrators = SidOfName(nullptr, L"BUILTIN\\Administrators", use);
  ASSERT_FALSE(administrators.empty());
  bool member = false;
  for (DWORD i = 0; groups != nullptr && i < read; ++i) {
    member =
        member || SidOfName(nullptr, reinterpret_cast<LPWSTR*>(groups)[i], use) == administrators;
  }
  if (groups != nullptr) {
    EXPECT_EQ(NetApiBufferFree(groups), NERR_Success);
  }
  EXPECT_EQ(record.usri3_priv == USER_PRIV_ADMIN, member) << record.usri3_priv;
  EXPECT_TRUE(record.usri3_priv == USER_PRIV_USER || record.usri3_priv == USER_PRIV_ADMIN ||
              record.usri3_priv == USER_PRIV_GUEST)
      << record.usri3_priv;
}

TEST(NetApiBufferFreeContract, TakesNull) {
  EXPECT_EQ(NetApiBufferFree(nullptr), NERR_Success);
}

// The program names this computer to the account database and to the name lookups by its fully
// qualified DNS name in upper case, and each answers as for no name: the current user's record,
// SID and local groups, and the SID of each group named there (the program looks each up again).
TEST(ServerNameContract, ThisComputerByItsDnsNameInUpperCase) {
  std::wstring server;
  ASSERT_NO_FATAL_FAILURE(contract::ServerNameOfThisComputer(server));
  if (testing::Test::IsSkipped()) return;
  std::wstring user = CurrentUser();
  LPBYTE info = nullptr;
  ASSERT_EQ(NetUserGetInfo(server.c_str(), user.c_str(), 0, &info), NERR_Success)
      << contract::Show(server);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(std::wstring(reinterpret_cast<USER_INFO_0*>(info)->usri0_name), user);
  EXPECT_EQ(NetApiBufferFree(info), NERR_Success);
  SID_NAME_USE use = SidTypeUnknown;
  std::vector<BYTE> sid = SidOfName(server.c_str(), user, use);
  EXPECT_FALSE(sid.empty()) << GetLastError();
  EXPECT_EQ(use, SidTypeUser);
  EXPECT_EQ(SidOfName(nullptr, user, use), sid);
  NET_API_STATUS status = 0;
  for (const std::wstring& group : GroupsOf(server, user, true, status)) {
    EXPECT_FALSE(SidOfName(server.c_str(), group, use).empty())
        << contract::Show(group) << " " << GetLastError();
  }
  EXPECT_EQ(status, NERR_Success);
}

// The same for the global groups.
CONTRACT_TEST(ServerNameContract, GlobalGroupsByTheDnsNameInUpperCase,
              NotUnderWine("NetUserGetGroups answers 124 for level 0")) {
  std::wstring server;
  ASSERT_NO_FATAL_FAILURE(contract::ServerNameOfThisComputer(server));
  if (testing::Test::IsSkipped()) return;
  NET_API_STATUS status = 0;
  std::vector<std::wstring> groups = GroupsOf(server, CurrentUser(), false, status);
  ASSERT_EQ(status, NERR_Success);
  SID_NAME_USE use = SidTypeUnknown;
  for (const std::wstring& group : groups) {
    EXPECT_FALSE(SidOfName(server.c_str(), group, use).empty())
        << contract::Show(group) << " " << GetLastError();
  }
}

// Every group the two membership calls name, for every account of the listing, is found again
// by that name through the DNS name in upper case, as a group, with the SID it has for no name:
// the program shows each listed group with the SID of its name.
CONTRACT_TEST(ServerNameContract, EveryListedGroupIsFoundAgainByItsName,
              NotUnderWine("NetUserGetGroups answers 124 for level 0")) {
  NET_API_STATUS status = 0;
  std::vector<std::wstring> accounts = ListNames(0, status);
  ASSERT_EQ(status, NERR_Success);
  std::wstring server;
  ASSERT_NO_FATAL_FAILURE(contract::ServerNameOfThisComputer(server));
  if (testing::Test::IsSkipped()) return;
  size_t checked = 0;
  for (const std::wstring& account : accounts) {
    for (bool local : {false, true}) {
      for (const std::wstring& group : GroupsOf(server, account, local, status)) {
        SID_NAME_USE use = SidTypeUnknown;
        std::vector<BYTE> sid = SidOfName(server.c_str(), group, use);
        EXPECT_FALSE(sid.empty()) << contract::Show(group) << " " << GetLastError();
        EXPECT_TRUE(use == SidTypeGroup || use == SidTypeAlias || use == SidTypeWellKnownGroup)
            << contract::Show(group) << " " << use;
        EXPECT_EQ(SidOfName(nullptr, group, use), sid) << contract::Show(group);
        ++checked;
      }
      EXPECT_EQ(status, NERR_Success) << contract::Show(account);
    }
  }
  EXPECT_GT(checked, 0u) << "no account of the listing names a group";
}

}  // namespace
