// The contract of the security calls: SID texts, account names and SIDs, the process token and
// privileges.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>

#include <fstream>
#endif

#include "contract/Contract.h"

namespace {

using contract::Everywhere;
using contract::NotUnderWine;
using contract::Where;

// The SID text of a SID, or "" for none.
std::wstring TextOf(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"";
  std::wstring copy(text);
  EXPECT_EQ(LocalFree(text), nullptr);
  return copy;
}

// Whether a SID text matches a pattern in which "*" stands for one decimal number.
bool Matches(std::wstring_view text, std::wstring_view pattern) {
  size_t t = 0;
  for (size_t p = 0; p < pattern.size(); ++p) {
    if (pattern[p] != L'*') {
      if (t >= text.size() || text[t] != pattern[p]) return false;
      ++t;
      continue;
    }
    size_t start = t;
    while (t < text.size() && text[t] >= L'0' && text[t] <= L'9') ++t;
    if (t == start) return false;
  }
  return t == text.size();
}

// ConvertStringSidToSidW, as the program calls it with the text after "SID#", and the SID text
// that ConvertSidToStringSidW gives back for the SID it made. An empty sid: the call fails.
struct SidTextRow {
  const char* name;
  const wchar_t* text;  // null: a null pointer
  const wchar_t* sid;   // a pattern; "*" stands for a number
  DWORD lastError;      // when it fails
  Where where = Everywhere();
};

const SidTextRow kSidTexts[] = {
    {"standard", L"S-1-5-32-544", L"S-1-5-32-544", 0},
    {"small_s", L"s-1-12-1", L"S-1-12-1", 0},
    {"hexadecimal_parts", L"S-0x1-0XC-0x1a", L"S-1-12-26", 0},
    {"largest_sub_authority", L"S-1-5-4294967295", L"S-1-5-4294967295", 0},
    {"fifteen_sub_authorities", L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15",
     L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", 0},
    {"sixteen_sub_authorities", L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", L"",
     ERROR_INVALID_SID, NotUnderWine("Wine takes a sixteenth sub-authority")},
    {"revision_only", L"S-1", L"", ERROR_INVALID_SID},
    {"no_sub_authority", L"S-1-5", L"", ERROR_INVALID_SID},
    {"trailing_dash", L"S-1-5-", L"", ERROR_INVALID_SID},
    {"revision_2", L"S-2-5-32", L"", ERROR_INVALID_SID},
    {"not_a_sid", L"not-a-sid", L"", ERROR_INVALID_SID},
    {"empty", L"", L"", ERROR_INVALID_SID},
    {"null", nullptr, L"", ERROR_INVALID_PARAMETER},
    {"everyone", L"WD", L"S-1-1-0", 0},
    {"everyone_any_case", L"wD", L"S-1-1-0", 0},
    {"creator_owner", L"CO", L"S-1-3-0", 0},
    {"creator_group", L"CG", L"S-1-3-1", 0},
    {"owner_rights", L"OW", L"S-1-3-4", 0},
    {"network", L"NU", L"S-1-5-2", 0},
    {"interactive", L"IU", L"S-1-5-4", 0},
    {"service", L"SU", L"S-1-5-6", 0},
    {"anonymous", L"AN", L"S-1-5-7", 0},
    {"enterprise_controllers", L"ED", L"S-1-5-9", 0},
    {"self", L"PS", L"S-1-5-10", 0},
    {"authenticated_users", L"AU", L"S-1-5-11", 0},
    {"restricted_code", L"RC", L"S-1-5-12", 0},
    {"local_system", L"SY", L"S-1-5-18", 0},
    {"local_service", L"LS", L"S-1-5-19", 0},
    {"network_service", L"NS", L"S-1-5-20", 0},
    {"local_administrator", L"LA", L"S-1-5-21-*-*-*-500", 0},
    {"local_guest", L"LG", L"S-1-5-21-*-*-*-501", 0},
    {"backup_operators", L"BO", L"S-1-5-32-551", 0},
    {"administrators", L"BA", L"S-1-5-32-544", 0},
    {"users", L"BU", L"S-1-5-32-545", 0},
    {"guests", L"BG", L"S-1-5-32-546", 0},
    {"power_users", L"PU", L"S-1-5-32-547", 0},
    {"account_operators", L"AO", L"S-1-5-32-548", 0},
    {"server_operators", L"SO", L"S-1-5-32-549", 0},
    {"print_operators", L"PO", L"S-1-5-32-550", 0},
    {"replicator", L"RE", L"S-1-5-32-552", 0},
    {"pre_windows_2000", L"RU", L"S-1-5-32-554", 0},
    {"remote_desktop_users", L"RD", L"S-1-5-32-555", 0},
    {"network_configuration_operators", L"NO", L"S-1-5-32-556", 0},
    {"alias_with_more_text", L"WDX", L"", ERROR_INVALID_SID},
    {"unknown_alias", L"ZZ", L"", ERROR_INVALID_SID},
};

class SidTextContract : public ::testing::TestWithParam<SidTextRow> {};

TEST_P(SidTextContract, Holds) {
  const SidTextRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  PSID sid = nullptr;
  SetLastError(0);
  BOOL ok = ConvertStringSidToSidW(row.text, &sid);
  bool expected = row.sid[0] != L'\0';
  ASSERT_EQ(ok != FALSE, expected) << "error " << GetLastError();
  if (!expected) {
    EXPECT_EQ(GetLastError(), row.lastError);
    return;
  }
  ASSERT_NE(sid, nullptr);
  std::wstring text = TextOf(sid);
  EXPECT_TRUE(Matches(text, row.sid)) << contract::Show(text);
  EXPECT_EQ(LocalFree(sid), nullptr);
}

CONTRACT_TABLE(SidTextContract, kSidTexts)

// ConvertSidToStringSidW on the bytes of a SID: its text, or for a SID that is not valid a
// failure that hands out no text to free. An authority below 2^32 is shown in decimal, a larger
// one as "0x" and twelve hexadecimal digits.
struct SidBytesRow {
  const char* name;
  std::vector<BYTE> bytes;
  const wchar_t* text = L"";  // empty: the call fails
  Where where = Everywhere();
};

std::vector<BYTE> SidBytes(BYTE revision, BYTE count, uint64_t authority = 5) {
  std::vector<BYTE> bytes = {revision, count};
  for (int shift = 40; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<BYTE>(authority >> shift));
  }
  bytes.resize(bytes.size() + 4u * count, 0);
  if (count > 0) bytes[8] = 7;  // the first sub-authority, little-endian
  return bytes;
}

const Where kWineAuthority =
    NotUnderWine("Wine shows an authority of 32 bits as a signed number and fails on a larger one");

const SidBytesRow kSidBytes[] = {
    {"revision_2", SidBytes(2, 1)},
    {"sixteen_sub_authorities", SidBytes(1, 16)},
    {"authority_of_32_bits", SidBytes(1, 1, 0xFFFFFFFF), L"S-1-4294967295-7", kWineAuthority},
    {"authority_past_32_bits", SidBytes(1, 1, 0x100000000), L"S-1-0x000100000000-7",
     kWineAuthority},
    {"authority_of_48_bits", SidBytes(1, 1, 0x123456789ABC), L"S-1-0x123456789abc-7",
     kWineAuthority},
};

class SidBytesContract : public ::testing::TestWithParam<SidBytesRow> {};

TEST_P(SidBytesContract, Holds) {
  const SidBytesRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  std::vector<BYTE> sid = row.bytes;
  LPWSTR text = nullptr;
  SetLastError(0);
  BOOL ok = ConvertSidToStringSidW(sid.data(), &text);
  if (row.text[0] != L'\0') {
    ASSERT_TRUE(ok) << GetLastError();
    EXPECT_EQ(std::wstring(text), row.text) << contract::Show(text);
    EXPECT_EQ(LocalFree(text), nullptr);
    return;
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
  EXPECT_EQ(text, nullptr);
}

CONTRACT_TABLE(SidBytesContract, kSidBytes)

// LookupAccountNameW with the size probe the program makes, then with the sizes it reports.
struct NameToSidRow {
  const char* name;
  const wchar_t* account;
  const wchar_t* sid;  // "": not mapped
  const wchar_t* domain;
  SID_NAME_USE use;
  Where where = Everywhere();
};

const NameToSidRow kNameToSid[] = {
    {"everyone_any_case", L"EVERYONE", L"S-1-1-0", L"", SidTypeWellKnownGroup},
    {"administrators", L"Administrators", L"S-1-5-32-544", L"BUILTIN", SidTypeAlias},
    {"unknown", L"NoSuchAccount-4711", L"", L"", SidTypeUser},
    {"unknown_in_builtin", L"BUILTIN\\NoSuchAlias-4711", L"", L"", SidTypeUser},
};

void ExpectNameToSid(const NameToSidRow& row, const wchar_t* system = nullptr) {
  DWORD cbSid = 0;
  DWORD cchDomain = 0;
  SID_NAME_USE use = SidTypeUnknown;
  SetLastError(0);
  BOOL ok = LookupAccountNameW(system, row.account, nullptr, &cbSid, nullptr, &cchDomain, &use);
  EXPECT_FALSE(ok);
  if (row.sid[0] == L'\0') {
    EXPECT_EQ(GetLastError(), ERROR_NONE_MAPPED);
    return;
  }
  ASSERT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(cchDomain, std::wstring(row.domain).size() + 1);
  ASSERT_GE(cbSid, 8u);
  // One byte short of the SID: still too small, with the same sizes.
  std::vector<BYTE> sid(cbSid);
  std::vector<wchar_t> domain(cchDomain + 4, L'\x7F');
  DWORD cbShort = cbSid - 1;
  DWORD cchAgain = cchDomain;
  EXPECT_FALSE(LookupAccountNameW(system, row.account, sid.data(), &cbShort, domain.data(),
                                  &cchAgain, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(cbShort, cbSid);
  // The reported sizes: the SID and the domain with its null; the length comes back.
  DWORD cbFit = cbSid;
  DWORD cchFit = cchDomain;
  ASSERT_TRUE(
      LookupAccountNameW(system, row.account, sid.data(), &cbFit, domain.data(), &cchFit, &use));
  EXPECT_EQ(cbFit, cbSid);
  EXPECT_EQ(cchFit, cchDomain - 1);
  EXPECT_EQ(std::wstring(domain.data()), row.domain);
  EXPECT_EQ(use, row.use);
  EXPECT_EQ(TextOf(sid.data()), row.sid);
  EXPECT_EQ(8u + 4u * sid[1], cbSid) << "the size of the SID itself";
}

class NameToSidContract : public ::testing::TestWithParam<NameToSidRow> {};

TEST_P(NameToSidContract, Holds) {
  CONTRACT_SKIP_UNLESS_IT_HOLDS(GetParam().where);
  ExpectNameToSid(GetParam());
}

CONTRACT_TABLE(NameToSidContract, kNameToSid)

// The program names the system to LookupAccountNameW: this computer by its DNS name in upper
// case. Every row holds for it as for no name.
TEST(NameToSidContract, HoldsForThisComputerByItsDnsName) {
  std::wstring server;
  ASSERT_NO_FATAL_FAILURE(contract::ServerNameOfThisComputer(server));
  if (testing::Test::IsSkipped()) return;
  for (const NameToSidRow& row : kNameToSid) {
    if (!contract::WhyNot(row.where, contract::ThisSide()).empty()) continue;
    SCOPED_TRACE(row.name);
    ExpectNameToSid(row, server.c_str());
  }
}

// LookupAccountSidW with the program's buffers, and with buffers that are too small.
enum class SidBuffers { Ample, NameShort, DomainShort, Probe };

struct SidToNameRow {
  const char* name;
  const wchar_t* sid;
  SidBuffers buffers;
  const wchar_t* account;  // "": not mapped
  const wchar_t* domain;
  SID_NAME_USE use;
  Where where = Everywhere();
};

const SidToNameRow kSidToName[] = {
    {"builtin_domain", L"S-1-5-32", SidBuffers::Ample, L"BUILTIN", L"BUILTIN", SidTypeDomain},
    {"name_short", L"S-1-5-32-544", SidBuffers::NameShort, L"Administrators", L"BUILTIN",
     SidTypeAlias, NotUnderWine("Wine succeeds without room for the null")},
    {"domain_short", L"S-1-5-32-544", SidBuffers::DomainShort, L"Administrators", L"BUILTIN",
     SidTypeAlias, NotUnderWine("Wine succeeds without room for the null")},
    {"probe", L"S-1-5-32-544", SidBuffers::Probe, L"Administrators", L"BUILTIN", SidTypeAlias},
    {"unmapped", L"S-1-5-21-1-2-3-4", SidBuffers::Ample, L"", L"", SidTypeUnknown},
};

void ExpectSidToName(const SidToNameRow& row) {
  PSID sid = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(row.sid, &sid));
  const size_t cchAccount = std::wstring(row.account).size();
  const size_t cchDomain = std::wstring(row.domain).size();
  std::vector<wchar_t> name(260, L'\0');
  std::vector<wchar_t> domain(260, L'\0');
  DWORD cchName = 260;
  DWORD cchDom = 260;
  bool buffers = true;
  switch (row.buffers) {
    case SidBuffers::Ample:
      break;
    case SidBuffers::NameShort:
      cchName = static_cast<DWORD>(cchAccount);
      break;
    case SidBuffers::DomainShort:
      cchDom = static_cast<DWORD>(cchDomain);
      break;
    case SidBuffers::Probe:
      cchName = cchDom = 0;
      buffers = false;
      break;
  }
  SID_NAME_USE use = SidTypeUnknown;
  SetLastError(0);
  BOOL ok = LookupAccountSidW(nullptr, sid, buffers ? name.data() : nullptr, &cchName,
                              buffers ? domain.data() : nullptr, &cchDom, &use);
  LocalFree(sid);
  if (row.account[0] == L'\0') {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), ERROR_NONE_MAPPED);
    return;
  }
  if (row.buffers != SidBuffers::Ample) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(cchName, cchAccount + 1);
    EXPECT_EQ(cchDom, cchDomain + 1);
    return;
  }
  ASSERT_TRUE(ok) << GetLastError();
  EXPECT_EQ(cchName, cchAccount);
  EXPECT_EQ(cchDom, cchDomain);
  EXPECT_EQ(std::wstring(name.data()), row.account);
  EXPECT_EQ(std::wstring(domain.data()), row.domain);
  EXPECT_EQ(use, row.use);
}

class SidToNameContract : public ::testing::TestWithParam<SidToNameRow> {};

TEST_P(SidToNameContract, Holds) {
  CONTRACT_SKIP_UNLESS_IT_HOLDS(GetParam().where);
  ExpectSidToName(GetParam());
}

CONTRACT_TABLE(SidToNameContract, kSidToName)

// Every well-known SID the program may find in a token, named both ways as the two tables above
// ask: LookupAccountSidW gives its domain, name and kind, and LookupAccountNameW the SID back for
// the name with its domain.
struct WellKnownRow {
  const char* name;
  const wchar_t* sid;
  const wchar_t* domain;
  const wchar_t* account;
  SID_NAME_USE use;
  Where where = Everywhere();
};

constexpr SID_NAME_USE kGroup = SidTypeWellKnownGroup;
constexpr SID_NAME_USE kAlias = SidTypeAlias;
constexpr const wchar_t* kNt = L"NT AUTHORITY";
constexpr const wchar_t* kBuiltin = L"BUILTIN";
const Where kUnknownToWine = NotUnderWine("Wine does not know this SID (1332)");
const WellKnownRow kWellKnown[] = {
    {"everyone", L"S-1-1-0", L"", L"Everyone", kGroup},
    {"local", L"S-1-2-0", L"", L"LOCAL", kGroup},
    {"console_logon", L"S-1-2-1", L"", L"CONSOLE LOGON", kGroup, kUnknownToWine},
    {"creator_owner", L"S-1-3-0", L"", L"CREATOR OWNER", kGroup},
    {"creator_group", L"S-1-3-1", L"", L"CREATOR GROUP", kGroup},
    {"owner_rights", L"S-1-3-4", L"", L"OWNER RIGHTS", kGroup, kUnknownToWine},
    {"network", L"S-1-5-2", kNt, L"NETWORK", kGroup},
    {"interactive", L"S-1-5-4", kNt, L"INTERACTIVE", kGroup},
    {"service", L"S-1-5-6", kNt, L"SERVICE", kGroup},
    {"anonymous", L"S-1-5-7", kNt, L"ANONYMOUS LOGON", kGroup},
    {"enterprise_controllers", L"S-1-5-9", kNt, L"ENTERPRISE DOMAIN CONTROLLERS", kGroup},
    {"self", L"S-1-5-10", kNt, L"SELF", kGroup},
    {"authenticated_users", L"S-1-5-11", kNt, L"Authenticated Users", kGroup},
    {"restricted", L"S-1-5-12", kNt, L"RESTRICTED", kGroup},
    {"this_organization", L"S-1-5-15", kNt, L"This Organization", kGroup},
    {"system", L"S-1-5-18", kNt, L"SYSTEM", kGroup},
    {"local_service", L"S-1-5-19", kNt, L"LOCAL SERVICE", kGroup},
    {"network_service", L"S-1-5-20", kNt, L"NETWORK SERVICE", kGroup},
    {"local_account", L"S-1-5-113", kNt, L"Local account", kGroup, kUnknownToWine},
    {"ntlm_authentication", L"S-1-5-64-10", kNt, L"NTLM Authentication", kGroup},
    {"administrators", L"S-1-5-32-544", kBuiltin, L"Administrators", kAlias},
    {"users", L"S-1-5-32-545", kBuiltin, L"Users", kAlias},
    {"guests", L"S-1-5-32-546", kBuiltin, L"Guests", kAlias},
    {"power_users", L"S-1-5-32-547", kBuiltin, L"Power Users", kAlias},
    {"account_operators", L"S-1-5-32-548", kBuiltin, L"Account Operators", kAlias},
    {"server_operators", L"S-1-5-32-549", kBuiltin, L"Server Operators", kAlias},
    {"print_operators", L"S-1-5-32-550", kBuiltin, L"Print Operators", kAlias},
    {"backup_operators", L"S-1-5-32-551", kBuiltin, L"Backup Operators", kAlias},
    {"replicator", L"S-1-5-32-552", kBuiltin, L"Replicator", kAlias,
     NotUnderWine("Wine names it Replicators")},
    {"pre_windows_2000", L"S-1-5-32-554", kBuiltin, L"Pre-Windows 2000 Compatible Access", kAlias},
    {"remote_desktop_users", L"S-1-5-32-555", kBuiltin, L"Remote Desktop Users", kAlias},
    {"network_operators", L"S-1-5-32-556", kBuiltin, L"Network Configuration Operators", kAlias},
};

class WellKnownContract : public ::testing::TestWithParam<WellKnownRow> {};

TEST_P(WellKnownContract, Holds) {
  const WellKnownRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  ExpectSidToName({row.name, row.sid, SidBuffers::Ample, row.account, row.domain, row.use});
  std::wstring qualified = std::wstring(row.domain).empty()
                               ? std::wstring(row.account)
                               : std::wstring(row.domain) + L"\\" + row.account;
  ExpectNameToSid({row.name, qualified.c_str(), row.sid, row.domain, row.use});
}

CONTRACT_TABLE(WellKnownContract, kWellKnown)

// The user who runs the program is a user whose SID names them again.
TEST(AccountContract, TheCurrentUserNamesItselfBothWays) {
  wchar_t user[256] = {};
  DWORD cchUser = 256;
  ASSERT_TRUE(GetUserNameW(user, &cchUser));
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD cbSid = sizeof(sid);
  wchar_t domain[256] = {};
  DWORD cchDomain = 256;
  SID_NAME_USE use = SidTypeUnknown;
  ASSERT_TRUE(LookupAccountNameW(nullptr, user, sid, &cbSid, domain, &cchDomain, &use))
      << GetLastError();
  EXPECT_EQ(use, SidTypeUser);
  wchar_t name[256] = {};
  DWORD cchName = 256;
  wchar_t domainAgain[256] = {};
  DWORD cchDomainAgain = 256;
  ASSERT_TRUE(LookupAccountSidW(nullptr, sid, name, &cchName, domainAgain, &cchDomainAgain, &use));
  EXPECT_EQ(std::wstring(name), std::wstring(user));
  EXPECT_EQ(std::wstring(domainAgain), std::wstring(domain));
  EXPECT_EQ(use, SidTypeUser);
}

// Account names are the same account in any letter case.
CONTRACT_TEST(AccountContract, TheCurrentUserInUpperCase,
              NotUnderWine("LookupAccountNameW compares names in their case")) {
  const std::wstring user = contract::CurrentUser();
  const std::wstring names[2] = {user, contract::UpperCase(user)};
  std::vector<BYTE> sids[2];
  for (int i = 0; i < 2; ++i) {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD cbSid = sizeof(sid);
    wchar_t domain[256] = {};
    DWORD cchDomain = 256;
    SID_NAME_USE use = SidTypeUnknown;
    ASSERT_TRUE(
        LookupAccountNameW(nullptr, names[i].c_str(), sid, &cbSid, domain, &cchDomain, &use))
        << GetLastError();
    EXPECT_EQ(use, SidTypeUser);
    sids[i].assign(sid, sid + cbSid);
  }
  EXPECT_EQ(sids[1], sids[0]);
}

// Tokens: the process has one to query; a thread that does not impersonate has none.
TEST(TokenContract, OpensTheProcessTokenAndNoThreadToken) {
  EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)));
  EXPECT_EQ(GetCurrentThread(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)));
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  EXPECT_TRUE(CloseHandle(token));
  // No handle comes back. (Wine clears the out-handle first; Windows' kernel writes it only on
  // success, so a value it held may stay; the program clears it itself.)
  HANDLE thread = nullptr;
  SetLastError(0);
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &thread));
  EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
  EXPECT_EQ(thread, nullptr);
}

// GetTokenInformation(TokenGroups): a probe reports the size; one byte short fails; the size
// holds the record, whose SIDs lie inside the buffer; Everyone is among the groups.
TEST(TokenContract, GroupsAfterASizeProbe) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD cbNeeded = 0;
  SetLastError(0);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &cbNeeded));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GE(cbNeeded, sizeof(TOKEN_GROUPS));
  std::vector<BYTE> buffer(cbNeeded);
  DWORD cbAgain = 0;
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.data(), cbNeeded - 1, &cbAgain));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(cbAgain, cbNeeded);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), cbNeeded, &cbAgain));
  EXPECT_EQ(cbAgain, cbNeeded);
  EXPECT_TRUE(CloseHandle(token));
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool everyone = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const BYTE* sid = static_cast<const BYTE*>(groups->Groups[i].Sid);
    ASSERT_GE(sid, buffer.data());
    ASSERT_LT(sid, buffer.data() + buffer.size());
    everyone = everyone || TextOf(groups->Groups[i].Sid) == L"S-1-1-0";
  }
  EXPECT_TRUE(everyone);
}

// LookupPrivilegeValueW for every name the program asks about: Windows' fixed LUIDs.
struct PrivilegeValueRow {
  const char* name;
  const wchar_t* privilege;
  DWORD luid;  // 0: the system does not know the name
  Where where = Everywhere();
};

const PrivilegeValueRow kPrivilegeValues[] = {
    {"create_token", L"SeCreateTokenPrivilege", 2},
    {"assign_primary_token", L"SeAssignPrimaryTokenPrivilege", 3},
    {"lock_memory", L"SeLockMemoryPrivilege", 4},
    {"increase_quota", L"SeIncreaseQuotaPrivilege", 5},
    {"machine_account", L"SeMachineAccountPrivilege", 6},
    {"tcb", L"SeTcbPrivilege", 7},
    {"security", L"SeSecurityPrivilege", 8},
    {"take_ownership", L"SeTakeOwnershipPrivilege", 9},
    {"load_driver", L"SeLoadDriverPrivilege", 10},
    {"system_profile", L"SeSystemProfilePrivilege", 11},
    {"systemtime", L"SeSystemtimePrivilege", 12},
    {"profile_single_process", L"SeProfileSingleProcessPrivilege", 13},
    {"increase_base_priority", L"SeIncreaseBasePriorityPrivilege", 14},
    {"create_pagefile", L"SeCreatePagefilePrivilege", 15},
    {"create_permanent", L"SeCreatePermanentPrivilege", 16},
    {"backup", L"SeBackupPrivilege", 17},
    {"restore", L"SeRestorePrivilege", 18},
    {"shutdown", L"SeShutdownPrivilege", 19},
    {"debug", L"SeDebugPrivilege", 20},
    {"audit", L"SeAuditPrivilege", 21},
    {"system_environment", L"SeSystemEnvironmentPrivilege", 22},
    {"change_notify", L"SeChangeNotifyPrivilege", 23},
    {"remote_shutdown", L"SeRemoteShutdownPrivilege", 24},
    {"undock", L"SeUndockPrivilege", 25},
    {"sync_agent", L"SeSyncAgentPrivilege", 26},
    {"enable_delegation", L"SeEnableDelegationPrivilege", 27},
    {"manage_volume", L"SeManageVolumePrivilege", 28},
    {"impersonate", L"SeImpersonatePrivilege", 29},
    {"create_global", L"SeCreateGlobalPrivilege", 30},
    {"any_case", L"sechangenotifyprivilege", 23},
    {"unsolicited_input", L"SeUnsolicitedInputPrivilege", 0},
    {"unknown", L"SeNoSuchPrivilege", 0},
};

class PrivilegeValueContract : public ::testing::TestWithParam<PrivilegeValueRow> {};

TEST_P(PrivilegeValueContract, Holds) {
  const PrivilegeValueRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  LUID luid{0xDEAD, 0};
  SetLastError(0);
  BOOL known = LookupPrivilegeValueW(nullptr, row.privilege, &luid);
  EXPECT_EQ(known != FALSE, row.luid != 0);
  if (row.luid == 0) {
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
    return;
  }
  EXPECT_EQ(luid.LowPart, row.luid);
  EXPECT_EQ(luid.HighPart, 0);
}

CONTRACT_TABLE(PrivilegeValueContract, kPrivilegeValues)

// LookupPrivilegeDisplayNameW: the text, then a buffer too small by the null.
struct DisplayNameRow {
  const char* name;
  const wchar_t* privilege;
  const wchar_t* display;  // "": the system does not know the name
  Where where = NotUnderWine("LookupPrivilegeDisplayNameW fails without an error");
};

const DisplayNameRow kDisplayNames[] = {
    {"take_ownership", L"SeTakeOwnershipPrivilege", L"Take ownership of files or other objects"},
    {"shutdown", L"SeShutdownPrivilege", L"Shut down the system"},
    {"any_case", L"sechangenotifyprivilege", L"Bypass traverse checking"},
    {"enable_delegation", L"SeEnableDelegationPrivilege",
     L"Enable computer and user accounts to be trusted for delegation"},
    {"unsolicited_input", L"SeUnsolicitedInputPrivilege", L""},
};

class DisplayNameContract : public ::testing::TestWithParam<DisplayNameRow> {};

TEST_P(DisplayNameContract, Holds) {
  const DisplayNameRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  std::wstring display(row.display);
  wchar_t text[256];
  DWORD cch = 256;
  DWORD language = 0;
  SetLastError(0);
  BOOL named = LookupPrivilegeDisplayNameW(nullptr, row.privilege, text, &cch, &language);
  if (display.empty()) {
    EXPECT_FALSE(named);
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
    return;
  }
  ASSERT_TRUE(named) << GetLastError();
  EXPECT_EQ(std::wstring(text), display);
  EXPECT_EQ(cch, display.size());
  DWORD cchShort = static_cast<DWORD>(display.size());
  SetLastError(0);
  EXPECT_FALSE(LookupPrivilegeDisplayNameW(nullptr, row.privilege, text, &cchShort, &language));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(cchShort, display.size() + 1);
}

CONTRACT_TABLE(DisplayNameContract, kDisplayNames)

// The tokens the privilege check works on: PrivilegeCheck takes a client's impersonation token
// at the identification level or above, and refuses a primary token such as the process's own; a
// copy of the process token made by DuplicateToken is an impersonation token. Each call asks the
// handle for its own access: TOKEN_DUPLICATE to copy, TOKEN_QUERY to check or read.
enum class TokenUse { Copy, PrivilegeCheck, Groups };
constexpr int kNoCopy = -1;

struct TokenUseRow {
  const char* name;
  DWORD access;   // what the process token is opened for
  int copyLevel;  // kNoCopy: the call gets the process token itself; else DuplicateToken's level
  TokenUse use;
  DWORD error;  // the call's last error; ERROR_SUCCESS when it succeeds
  Where where = Everywhere();
};

const TokenUseRow kTokenUses[] = {
    {"check_an_identification_copy", TOKEN_DUPLICATE, SecurityIdentification,
     TokenUse::PrivilegeCheck, ERROR_SUCCESS},
    {"check_an_impersonation_copy", TOKEN_DUPLICATE, SecurityImpersonation,
     TokenUse::PrivilegeCheck, ERROR_SUCCESS},
    {"check_an_anonymous_copy", TOKEN_DUPLICATE, SecurityAnonymous, TokenUse::PrivilegeCheck,
     ERROR_BAD_IMPERSONATION_LEVEL},
    {"check_the_primary_token", TOKEN_QUERY, kNoCopy, TokenUse::PrivilegeCheck,
     ERROR_NO_IMPERSONATION_TOKEN, NotUnderWine("Wine checks a primary token")},
    {"check_needs_query_access", TOKEN_DUPLICATE, kNoCopy, TokenUse::PrivilegeCheck,
     ERROR_ACCESS_DENIED},
    {"copy_needs_duplicate_access", TOKEN_QUERY, SecurityIdentification, TokenUse::Copy,
     ERROR_ACCESS_DENIED},
    {"groups_need_query_access", TOKEN_DUPLICATE, kNoCopy, TokenUse::Groups, ERROR_ACCESS_DENIED},
    {"groups_of_a_copy", TOKEN_DUPLICATE, SecurityIdentification, TokenUse::Groups,
     ERROR_INSUFFICIENT_BUFFER},
};

DWORD ErrorOf(BOOL ok) {
  return ok ? ERROR_SUCCESS : GetLastError();
}

class TokenUseContract : public ::testing::TestWithParam<TokenUseRow> {};

TEST_P(TokenUseContract, Holds) {
  const TokenUseRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  HANDLE process = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), row.access, &process));
  HANDLE token = process;
  HANDLE copy = nullptr;
  bool copied = false;
  DWORD error = ERROR_SUCCESS;
  if (row.copyLevel != kNoCopy) {
    auto level = static_cast<SECURITY_IMPERSONATION_LEVEL>(row.copyLevel);
    SetLastError(0);
    copied = DuplicateToken(process, level, &copy) != FALSE;
    error = ErrorOf(copied);
    token = copy;
  }
  if (error == ERROR_SUCCESS && row.use == TokenUse::PrivilegeCheck) {
    PRIVILEGE_SET set{};
    set.PrivilegeCount = 1;
    set.Privilege[0].Luid.LowPart = 23;  // SeChangeNotifyPrivilege
    BOOL held = 2;
    SetLastError(0);
    error = ErrorOf(PrivilegeCheck(token, &set, &held));
    if (error == ERROR_SUCCESS) {
      EXPECT_TRUE(held == TRUE || held == FALSE);
    }
  } else if (error == ERROR_SUCCESS && row.use == TokenUse::Groups) {
    DWORD cbNeeded = 0;
    SetLastError(0);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &cbNeeded));
    error = GetLastError();
  }
  EXPECT_EQ(error, row.error);
  if (copied) {
    EXPECT_TRUE(CloseHandle(copy));
  }
  EXPECT_TRUE(CloseHandle(process));
}

CONTRACT_TABLE(TokenUseContract, kTokenUses)

// PrivilegeCheck answers for the token's enabled privileges only: an unknown LUID is not held,
// and the mark on the privilege agrees with the answer.
TEST(PrivilegeCheckContract, MarksWhatItFindsEnabled) {
  HANDLE process = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &process));
  HANDLE token = nullptr;
  ASSERT_TRUE(DuplicateToken(process, SecurityIdentification, &token));
  EXPECT_TRUE(CloseHandle(process));
  for (DWORD luid : {DWORD{23}, DWORD{19}, DWORD{0x7777}}) {
    PRIVILEGE_SET set{};
    set.PrivilegeCount = 1;
    set.Control = 0;
    set.Privilege[0].Luid.LowPart = luid;
    BOOL held = 2;
    ASSERT_TRUE(PrivilegeCheck(token, &set, &held)) << luid;
    EXPECT_TRUE(held == TRUE || held == FALSE);
    EXPECT_EQ((set.Privilege[0].Attributes & SE_PRIVILEGE_USED_FOR_ACCESS) != 0, held == TRUE);
    if (luid == 0x7777) {
      EXPECT_FALSE(held);
    }
  }
  EXPECT_TRUE(CloseHandle(token));
}

// Windows enables SeChangeNotifyPrivilege in every token. The stand-in gives it with the power to
// pass through any folder (CAP_DAC_READ_SEARCH or CAP_DAC_OVERRIDE) in the host's own user
// namespace (whose namespace file has a fixed inode number), which a test run by root has.
bool PassesThroughFolders() {
#ifdef _WIN32
  return true;
#else
  struct stat entry {};
  if (stat("/proc/self/ns/user", &entry) != 0 || entry.st_ino != 0xEFFFFFFD) return false;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("CapEff:", 0) == 0) {
      return ((std::stoull(line.substr(7), nullptr, 16) >> 1) & 3) != 0;  // bits 1 and 2
    }
  }
  return false;
#endif
}

// A privilege the token has enabled is held, and marked as used for access.
TEST(PrivilegeCheckContract, HoldsAnEnabledPrivilege) {
  if (!PassesThroughFolders()) GTEST_SKIP() << "the test process cannot pass through every folder";
  HANDLE process = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &process));
  HANDLE token = nullptr;
  ASSERT_TRUE(DuplicateToken(process, SecurityIdentification, &token));
  EXPECT_TRUE(CloseHandle(process));
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Privilege[0].Luid.LowPart = 23;  // SeChangeNotifyPrivilege
  BOOL held = 2;
  ASSERT_TRUE(PrivilegeCheck(token, &set, &held));
  EXPECT_EQ(held, TRUE);
  EXPECT_NE(set.Privilege[0].Attributes & SE_PRIVILEGE_USED_FOR_ACCESS, 0u);
  EXPECT_TRUE(CloseHandle(token));
}

}  // namespace
