#include <gtest/gtest.h>

#include <array>

#include "Actions/Actions.h"
#include "ProgramRun.h"
#include "SDDL/SDDL.h"

namespace {

// A record whose every field is set, with texts that must print as they stand.
struct FullRecord {
  std::array<BYTE, 21> hours;
  USER_INFO_3 record{};

  FullRecord() {
    for (size_t i = 0; i < hours.size(); ++i) hours[i] = static_cast<BYTE>(i * 12);
    record.usri3_name = const_cast<LPWSTR>(L"Alice");
    record.usri3_password_age = 3 * 86400 + 5;
    record.usri3_priv = USER_PRIV_ADMIN;
    record.usri3_home_dir = const_cast<LPWSTR>(L"C:\\Users\\alice");
    record.usri3_comment = const_cast<LPWSTR>(L"it's 100% me");
    record.usri3_flags = 0x10201;
    record.usri3_script_path = const_cast<LPWSTR>(L"logon.cmd");
    record.usri3_auth_flags = 0x5;
    record.usri3_full_name = const_cast<LPWSTR>(L"Alice Liddell");
    record.usri3_usr_comment = const_cast<LPWSTR>(L"%s%d");
    record.usri3_parms = const_cast<LPWSTR>(L"");
    record.usri3_workstations = const_cast<LPWSTR>(L"WS1,WS2");
    record.usri3_last_logon = 1199188800;  // noon, 1 January 2008
    record.usri3_last_logoff = 0;
    record.usri3_acct_expires = TIMEQ_FOREVER;
    record.usri3_max_storage = 1048576;
    record.usri3_units_per_week = 168;
    record.usri3_logon_hours = hours.data();
    record.usri3_bad_pw_count = 2;
    record.usri3_num_logons = 0;
    record.usri3_logon_server = const_cast<LPWSTR>(L"\\\\*");
    record.usri3_country_code = 49;
    record.usri3_code_page = 1252;
    record.usri3_user_id = 1001;
    record.usri3_primary_group_id = 513;
    record.usri3_profile = const_cast<LPWSTR>(L"\\\\server\\profiles\\alice");
    record.usri3_home_dir_drive = const_cast<LPWSTR>(L"H:");
    record.usri3_password_expired = 1;
  }
};

class UserInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddName(L"alice", L"HOST", L"S-1-5-21-1-2-3-1001", SidTypeUser);
    BindSddlFunctions();
    ComputerName = L"HOST.EXAMPLE.TEST";
  }
  std::vector<std::string> Print(const USER_INFO_3& record) {
    PrintUserInfo(record);
    return SplitLines(modules.Finish());
  }

  compat::ScriptedMachine machine;
  ScriptedModules modules{machine};
};

TEST_F(UserInfo, PrintsThirtyOneLines) {
  FullRecord full;
  PrintUserInfo(full.record);
  EXPECT_EQ(modules.Finish(),
            Lines({
                "Username: HOST.EXAMPLE.TEST\\Alice",
                "  SID: S-1-5-21-1-2-3-1001",
                "  Days since last password change: 3",
                "  Privilege: 2 (USER_PRIV_ADMIN)",
                "  Home directory: C:\\Users\\alice",
                "  Comment: 'it's 100% me'",
                "  Flags: 66049 (UF_SCRIPT, UF_NORMAL_ACCOUNT, UF_DONT_EXPIRE_PASSWD)",
                "  Script path: logon.cmd",
                "  Operator privilege: 5 (AF_OP_PRINT, AF_OP_SERVER)",
                "  Full name: Alice Liddell",
                "  User comment: '%s%d'",
                "  Parms: ''",
                "  Workstations: WS1,WS2",
                "  Last logon time: 01 January 2008 12:00:00",
                "  Last logoff time: unknown",
                "  Account expires: never",
                "  Maximum discspace: 1048576 bytes",
                "  Units per week: 168",
                "  Logonhours: 0x 0 0x C 0x18 0x24 0x30 0x3C 0x48",
                "              0x54 0x60 0x6C 0x78 0x84 0x90 0x9C",
                "              0xA8 0xB4 0xC0 0xCC 0xD8 0xE4 0xF0",
                "  Bad password count: 2",
                "  Total logins count: 0",
                "  Logonserver: \\\\*",
                "  Countrycode: 49",
                "  Codepage: 1252",
                "  User ID: 1001",
                "  Primary Group ID: 513",
                "  Profile path: \\\\server\\profiles\\alice",
                "  Home directory: H:",
                "  Password is expired",
            }));
}

// The lines of the full record with one change, printed by modules of their own.
template <typename Change>
std::vector<std::string> PrintChanged(Change change) {
  compat::ScriptedMachine local;
  local.AddName(L"alice", L"HOST", L"S-1-5-21-1-2-3-1001", SidTypeUser);
  ScriptedModules localModules(local);
  BindSddlFunctions();
  ComputerName = L"HOST.EXAMPLE.TEST";
  FullRecord full;
  change(full.record);
  PrintUserInfo(full.record);
  return SplitLines(localModules.Finish());
}

// The flags line: each name with its own bit, in the order of the bits; bits without a name add
// nothing.
TEST_F(UserInfo, ShowsEachFlag) {
  const struct {
    DWORD flags;
    const char* expected;
  } cases[] = {
      {0, "  Flags: 0 ()"},
      {0x0201, "  Flags: 513 (UF_SCRIPT, UF_NORMAL_ACCOUNT)"},
      {0x0004, "  Flags: 4 ()"},
      {0xC400, "  Flags: 50176 ()"},
      {0x2000002, "  Flags: 33554434 (UF_ACCOUNTDISABLE)"},
      {0x1800000,
       "  Flags: 25165824 (UF_PASSWORD_EXPIRED, UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION)"},
      {0xFFFFFFFF,
       "  Flags: -1 (UF_SCRIPT, UF_ACCOUNTDISABLE, UF_HOMEDIR_REQUIRED, UF_LOCKOUT, "
       "UF_PASSWD_NOTREQD, UF_PASSWD_CANT_CHANGE, UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED, "
       "UF_TEMP_DUPLICATE_ACCOUNT, UF_NORMAL_ACCOUNT, UF_INTERDOMAIN_TRUST_ACCOUNT, "
       "UF_WORKSTATION_TRUST_ACCOUNT, UF_SERVER_TRUST_ACCOUNT, UF_DONT_EXPIRE_PASSWD, "
       "UF_MNS_LOGON_ACCOUNT, UF_SMARTCARD_REQUIRED, UF_TRUSTED_FOR_DELEGATION, UF_NOT_DELEGATED, "
       "UF_USE_DES_KEY_ONLY, UF_DONT_REQUIRE_PREAUTH, UF_PASSWORD_EXPIRED, "
       "UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION)"},
      {0x0008, "  Flags: 8 (UF_HOMEDIR_REQUIRED)"},
      {0x0010, "  Flags: 16 (UF_LOCKOUT)"},
      {0x0040, "  Flags: 64 (UF_PASSWD_CANT_CHANGE)"},
      {0x0080, "  Flags: 128 (UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED)"},
      {0x0100, "  Flags: 256 (UF_TEMP_DUPLICATE_ACCOUNT)"},
      {0x0800, "  Flags: 2048 (UF_INTERDOMAIN_TRUST_ACCOUNT)"},
      {0x1000, "  Flags: 4096 (UF_WORKSTATION_TRUST_ACCOUNT)"},
      {0x2000, "  Flags: 8192 (UF_SERVER_TRUST_ACCOUNT)"},
      {0x20000, "  Flags: 131072 (UF_MNS_LOGON_ACCOUNT)"},
      {0x40000, "  Flags: 262144 (UF_SMARTCARD_REQUIRED)"},
      {0x80000, "  Flags: 524288 (UF_TRUSTED_FOR_DELEGATION)"},
      {0x100000, "  Flags: 1048576 (UF_NOT_DELEGATED)"},
      {0x200000, "  Flags: 2097152 (UF_USE_DES_KEY_ONLY)"},
      {0x400000, "  Flags: 4194304 (UF_DONT_REQUIRE_PREAUTH)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines =
        PrintChanged([&c](USER_INFO_3& record) { record.usri3_flags = c.flags; });
    ASSERT_EQ(lines.size(), 31u) << c.expected;
    EXPECT_EQ(lines[6], c.expected);
  }
}

// One field changed from the full record: the line that shows it.
TEST_F(UserInfo, ShowsEachFieldValue) {
  struct Case {
    void (*change)(USER_INFO_3&);
    size_t line;
    const char* expected;
  };
  const Case cases[] = {
      {[](USER_INFO_3& r) { r.usri3_auth_flags = 0; }, 8, "  Operator privilege: 0 ()"},
      {[](USER_INFO_3& r) { r.usri3_auth_flags = 0xF; }, 8,
       "  Operator privilege: 15 (AF_OP_PRINT, AF_OP_COMM, AF_OP_SERVER, AF_OP_ACCOUNTS)"},
      {[](USER_INFO_3& r) { r.usri3_priv = 0; }, 3, "  Privilege: 0 (USER_PRIV_GUEST)"},
      {[](USER_INFO_3& r) { r.usri3_priv = 1; }, 3, "  Privilege: 1 (USER_PRIV_USER)"},
      {[](USER_INFO_3& r) { r.usri3_priv = 3; }, 3, "  Privilege: 3 (USER_PRIV_ADMIN)"},
      // The level is a signed 32-bit number, as every other number of the record.
      {[](USER_INFO_3& r) { r.usri3_priv = 0xFFFFFFFF; }, 3, "  Privilege: -1 (USER_PRIV_ADMIN)"},
      {[](USER_INFO_3& r) { r.usri3_priv = 0x80000000; }, 3,
       "  Privilege: Unknown Privs level: -2147483648"},
      {[](USER_INFO_3& r) { r.usri3_priv = 4; }, 3, "  Privilege: Unknown Privs level: 4"},
      {[](USER_INFO_3& r) { r.usri3_priv = 5; }, 3, "  Privilege: 5 (USER_PRIV_USER)"},
      {[](USER_INFO_3& r) { r.usri3_password_age = 86399; }, 2,
       "  Days since last password change: 0"},
      {[](USER_INFO_3& r) { r.usri3_password_age = 86400; }, 2,
       "  Days since last password change: 1"},
      {[](USER_INFO_3& r) { r.usri3_password_age = 172799; }, 2,
       "  Days since last password change: 1"},
      {[](USER_INFO_3& r) { r.usri3_password_age = 0xFFFFFFFF; }, 2,
       "  Days since last password change: 49710"},
      {[](USER_INFO_3& r) { r.usri3_last_logon = 1; }, 13,
       "  Last logon time: 01 January 1970 00:00:01"},
      {[](USER_INFO_3& r) { r.usri3_last_logon = 0xFFFFFFFE; }, 13,
       "  Last logon time: 07 February 2106 06:28:14"},
      {[](USER_INFO_3& r) { r.usri3_last_logon = 0; }, 13, "  Last logon time: unknown"},
      {[](USER_INFO_3& r) { r.usri3_last_logon = 0xFFFFFFFF; }, 13, "  Last logon time: never"},
      {[](USER_INFO_3& r) { r.usri3_acct_expires = 951782400; }, 15,
       "  Account expires: 29 February 2000 00:00:00"},
      {[](USER_INFO_3& r) { r.usri3_max_storage = USER_MAXSTORAGE_UNLIMITED; }, 16,
       "  Maximum discspace: unlimited"},
      {[](USER_INFO_3& r) { r.usri3_max_storage = 0; }, 16, "  Maximum discspace: 0 bytes"},
      {[](USER_INFO_3& r) { r.usri3_bad_pw_count = 0xFFFFFFFF; }, 21,
       "  Bad password count: unknown"},
      {[](USER_INFO_3& r) { r.usri3_bad_pw_count = 0; }, 21, "  Bad password count: 0"},
      {[](USER_INFO_3& r) { r.usri3_num_logons = 0xFFFFFFFF; }, 22,
       "  Total logins count: unknown"},
      {[](USER_INFO_3& r) { r.usri3_num_logons = 7; }, 22, "  Total logins count: 7"},
      {[](USER_INFO_3& r) { r.usri3_comment = const_cast<LPWSTR>(L""); }, 5, "  Comment: ''"},
      {[](USER_INFO_3& r) { r.usri3_comment = nullptr; }, 5, "  Comment: ''"},
      {[](USER_INFO_3& r) { r.usri3_home_dir_drive = const_cast<LPWSTR>(L""); }, 29,
       "  Home directory: "},
      {[](USER_INFO_3& r) { r.usri3_password_expired = 0; }, 30, "  Password is not expired"},
      {[](USER_INFO_3& r) { r.usri3_country_code = 0xFFFFFFFF; }, 24, "  Countrycode: -1"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = PrintChanged(c.change);
    ASSERT_EQ(lines.size(), 31u) << c.expected;
    EXPECT_EQ(lines[c.line], c.expected);
  }
}

TEST_F(UserInfo, ShowsLogonHourBlocks) {
  struct Case {
    BYTE fill;
    const char* first;
    const char* continuation;
  };
  const Case cases[] = {
      {0xFF, "  Logonhours: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF",
       "              0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF"},
      {0x00, "  Logonhours: 0x 0 0x 0 0x 0 0x 0 0x 0 0x 0 0x 0",
       "              0x 0 0x 0 0x 0 0x 0 0x 0 0x 0 0x 0"},
      {0x0A, "  Logonhours: 0x A 0x A 0x A 0x A 0x A 0x A 0x A",
       "              0x A 0x A 0x A 0x A 0x A 0x A 0x A"},
  };
  for (const Case& c : cases) {
    compat::ScriptedMachine local;
    local.AddName(L"alice", L"HOST", L"S-1-5-21-1-2-3-1001", SidTypeUser);
    ScriptedModules localModules(local);
    BindSddlFunctions();
    FullRecord full;
    full.hours.fill(c.fill);
    PrintUserInfo(full.record);
    std::vector<std::string> lines = SplitLines(localModules.Finish());
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[18], c.first);
    EXPECT_EQ(lines[19], c.continuation);
    EXPECT_EQ(lines[20], c.continuation);
  }
}

TEST_F(UserInfo, AllowsEveryHourWhenTheRecordHasNoBlock) {
  FullRecord full;
  full.record.usri3_logon_hours = nullptr;
  std::vector<std::string> lines = Print(full.record);
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines[18], "  Logonhours: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF");
}

TEST(UserInfoStatus, AFailedRequestPrintsNothingOfTheSection) {
  struct Case {
    NET_API_STATUS status;
    const char* message;
  };
  const Case cases[] = {
      {ERROR_ACCESS_DENIED, "Access Denied"},
      {NERR_UserNotFound, "User: \"nobody\" does not exist"},
      {NERR_InvalidComputer, "Computer: \"HOST.EXAMPLE.TEST\" does not exist"},
      {ERROR_BAD_NETPATH, "Unknown response from NetUserGetInfo: 53"},
      {0x80000001u, "Unknown response from NetUserGetInfo: -2147483647"},
  };
  for (const Case& c : cases) {
    compat::ScriptedMachine machine;
    machine.getAccountStatus = c.status;
    ProgramRun run = RunProgram(machine, L"userlens NoBody");
    EXPECT_EQ(run.output, Lines({"", c.message, ""})) << c.status;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(machine.getAccountServers, std::vector<std::wstring>{L"HOST.EXAMPLE.TEST"});
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST(NetTimeText, UsesTheLocalesMonthsAndTimeFormat) {
  // The scripted computer's locale: English month names, "HH:mm:ss", AM and PM.
  compat::ScriptedNames names;
  compat::InForce<compat::Names> scope(names);
  const DateFormat english = ReadDateFormat();
  DateFormat german = english;
  german.monthNames[2] = L"M\u00e4rz";
  german.longTimeFormat = L"H.mm' Uhr'";
  DateFormat american = english;
  american.longTimeFormat = L"h:mm:ss tt";

  struct Case {
    const DateFormat* format;
    DWORD seconds;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {&english, 0, L"unknown"},
      {&english, 0xFFFFFFFF, L"never"},
      {&english, 1, L"01 January 1970 00:00:01"},
      {&english, 0xFFFFFFFE, L"07 February 2106 06:28:14"},
      {&english, 1199188800, L"01 January 2008 12:00:00"},
      {&english, 1709164799, L"28 February 2024 23:59:59"},
      {&english, 1709164800, L"29 February 2024 00:00:00"},
      {&english, 4107542400u, L"01 March 2100 00:00:00"},
      {&german, 1710000000, L"09 M\u00e4rz 2024 16.00 Uhr"},
      {&american, 1199188800, L"01 January 2008 12:00:00 PM"},
      {&american, 1199145600, L"01 January 2008 12:00:00 AM"},
      {&american, 1199178245, L"01 January 2008 9:04:05 AM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NetTimeText(c.seconds, *c.format), c.expected) << c.seconds;
  }
}

// A letter of the time picture once pads nothing; twice, to two digits; "t" is the first letter of
// the designator, "tt" all of it.
TEST(NetTimeText, ReadsOneAndTwoLettersOfThePicture) {
  compat::ScriptedNames names;
  compat::InForce<compat::Names> scope(names);
  DateFormat format = ReadDateFormat();
  const struct {
    const wchar_t* picture;
    const wchar_t* expected;
  } cases[] = {
      {L"hh:mm:ss tt", L"01 January 2008 09:04:05 AM"},
      {L"H:m:s t", L"01 January 2008 9:4:5 A"},
      {L"HH:mm:ss", L"01 January 2008 09:04:05"},
  };
  for (const auto& c : cases) {
    format.longTimeFormat = c.picture;
    EXPECT_EQ(NetTimeText(1199178245, format), c.expected) << c.picture;
  }
}

TEST(ReadDateFormat, FallsBackWhereTheLocaleHasNone) {
  compat::ScriptedMachine machine;
  machine.locale.monthNames = {L"Januar",    L"Februar", L"M\u00E4rz", L"April",
                               L"Mai",       L"Juni",    L"Juli",      L"August",
                               L"September", L"Oktober", L"November",  L"Dezember"};
  machine.locale.monthNames[4] = L"";
  machine.locale.longTimeFormat = L"";
  compat::MachineScope scope(machine);
  DateFormat format = ReadDateFormat();
  // One name missing: all twelve are the English ones, never a mix.
  EXPECT_EQ(format.monthNames[0], L"January");
  EXPECT_EQ(format.monthNames[4], L"May");
  EXPECT_EQ(format.monthNames[11], L"December");
  EXPECT_EQ(format.longTimeFormat, L"HH:mm:ss");
  machine.locale.monthNames[4] = L"Mai";
  machine.locale.monthNames[0] = L"Januar";
  machine.locale.longTimeFormat = L"HH:mm";
  format = ReadDateFormat();
  EXPECT_EQ(format.monthNames[0], L"Januar");
  EXPECT_EQ(format.longTimeFormat, L"HH:mm");
}

}  // namespace
