// The account record the host makes of passwd, shadow and lastlog.
#include "host/AccountMapping.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace compat {
namespace {

constexpr int64_t kToday = 20000;  // 4 October 2024
constexpr int64_t kNow = kToday * kSecondsPerDay + 43200;

ShadowEntry Shadow(const char* password, int64_t lastChange, int64_t maxDays,
                   int64_t inactiveDays = -1, int64_t expireDay = -1) {
  ShadowEntry entry;
  entry.passwordField = ClassifyPasswordField(password);
  entry.lastChange = lastChange;
  entry.maxDays = maxDays;
  entry.inactiveDays = inactiveDays;
  entry.expireDay = expireDay;
  return entry;
}

UserEntry User(const char* passwordField = "x", const char* gecos = "", uint32_t uid = 1000) {
  UserEntry user;
  user.name = "alice";
  user.passwordField = ClassifyPasswordField(passwordField);
  user.gecos = gecos;
  user.home = "/home/alice";
  user.shell = "/bin/bash";
  user.uid = uid;
  user.gid = 100;
  return user;
}

AccountRecord Map(const UserEntry& user, std::optional<ShadowEntry> shadow = std::nullopt,
                  bool administrator = false, std::optional<int64_t> lastLogon = std::nullopt) {
  HostAccountFacts facts;
  facts.user = &user;
  facts.shadow = shadow;
  facts.administrator = administrator;
  facts.lastLogon = lastLogon;
  facts.now = kNow;
  return MapAccountRecord(facts);
}

constexpr DWORD kBase = UF_SCRIPT | UF_NORMAL_ACCOUNT;
constexpr DWORD kDay = 86400;
constexpr int64_t kNever = INT64_MAX;

struct ShadowCase {
  const char* what;
  const char* passwdField;
  std::optional<ShadowEntry> shadow;
  DWORD flags;
  DWORD passwordAge;
  DWORD passwordExpired;
  DWORD acctExpires;
};

const ShadowCase kShadowCases[] = {
    {"shadow cannot be read", "x", std::nullopt, kBase, 0, 0, TIMEQ_FOREVER},
    {"maximum age 90 days, changed 10 days ago", "x", Shadow("$6$h", kToday - 10, 90), kBase,
     10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"maximum age 99999 never expires", "x", Shadow("$6$h", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"maximum age 99998 does", "x", Shadow("$6$h", kToday - 10, 99998), kBase, 10 * kDay + 43200, 0,
     TIMEQ_FOREVER},
    {"maximum age unset", "x", Shadow("$6$h", kToday - 10, -1), kBase | UF_DONT_EXPIRE_PASSWD,
     10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"aging off: no last change", "x", Shadow("$6$h", -1, 90), kBase | UF_DONT_EXPIRE_PASSWD, 0, 0,
     TIMEQ_FOREVER},
    {"locked hash", "x", Shadow("!$6$h", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_ACCOUNTDISABLE, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"locked without a hash", "x", Shadow("!", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_ACCOUNTDISABLE, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"star: no password logon, not locked", "x", Shadow("*", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"empty password", "x", Shadow("", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_PASSWD_NOTREQD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"change forced: last change 0", "x", Shadow("$6$h", 0, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_PASSWORD_EXPIRED, 0, 1, TIMEQ_FOREVER},
    {"expired yesterday", "x", Shadow("$6$h", kToday - 31, 30), kBase | UF_PASSWORD_EXPIRED,
     31 * kDay + 43200, 1, TIMEQ_FOREVER},
    {"last valid day", "x", Shadow("$6$h", kToday - 30, 30), kBase, 30 * kDay + 43200, 0,
     TIMEQ_FOREVER},
    {"inactive period over", "x", Shadow("$6$h", kToday - 41, 30, 10),
     kBase | UF_PASSWORD_EXPIRED | UF_ACCOUNTDISABLE, 41 * kDay + 43200, 1, TIMEQ_FOREVER},
    {"inactive period still running", "x", Shadow("$6$h", kToday - 40, 30, 10),
     kBase | UF_PASSWORD_EXPIRED, 40 * kDay + 43200, 1, TIMEQ_FOREVER},
    {"maximum age 0: expired the day after the change", "x", Shadow("$6$h", kToday - 1, 0),
     kBase | UF_PASSWORD_EXPIRED, kDay + 43200, 1, TIMEQ_FOREVER},
    {"inactive period 0: disabled the day the password expires", "x",
     Shadow("$6$h", kToday - 31, 30, 0), kBase | UF_PASSWORD_EXPIRED | UF_ACCOUNTDISABLE,
     31 * kDay + 43200, 1, TIMEQ_FOREVER},
    // PAM asks for a new password before it looks at the inactive period, which needs a maximum.
    {"change forced with an inactive period", "x", Shadow("$6$h", 0, 90, 30),
     kBase | UF_PASSWORD_EXPIRED, 0, 1, TIMEQ_FOREVER},
    {"inactive period without a maximum age", "x", Shadow("$6$h", kToday - 500, -1, 10),
     kBase | UF_DONT_EXPIRE_PASSWD, 500 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"account expires today", "x", Shadow("$6$h", kToday - 10, 99999, -1, kToday),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_ACCOUNTDISABLE, 10 * kDay + 43200, 0,
     static_cast<DWORD>(kToday* kDay)},
    {"account expires tomorrow", "x", Shadow("$6$h", kToday - 10, 99999, -1, kToday + 1),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, static_cast<DWORD>((kToday + 1) * kDay)},
    {"expire day 0 (PAM: expired)", "x", Shadow("$6$h", kToday - 10, 99999, -1, 0),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_ACCOUNTDISABLE, 10 * kDay + 43200, 0, 0},
    {"expiry past February 2106", "x", Shadow("$6$h", kToday - 10, 99999, -1, 50000),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"last change in the future", "x", Shadow("$6$h", kToday + 5, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD, 0, 0, TIMEQ_FOREVER},
    // Day counts an NSS module may hand out as a long (an LDAP value): no sum or product
    // overflows, and each means what a day past 2106 means.
    {"every day count past any date", "x", Shadow("$6$h", kNever, kNever, kNever, kNever),
     kBase | UF_DONT_EXPIRE_PASSWD, 0, 0, TIMEQ_FOREVER},
    {"ages past any date", "x", Shadow("$6$h", kToday - 10, kNever, kNever),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    // The files module wraps a number of 2^31 or more into a negative day count.
    {"day counts wrapped below -1 count as unset", "x", Shadow("$6$h", kToday - 10, -2, -2, -2),
     kBase | UF_DONT_EXPIRE_PASSWD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
    {"empty password in passwd itself", "", std::nullopt, kBase | UF_PASSWD_NOTREQD, 0, 0,
     TIMEQ_FOREVER},
    {"locked password in passwd itself", "!", std::nullopt, kBase | UF_ACCOUNTDISABLE, 0, 0,
     TIMEQ_FOREVER},
    {"passwd's own field decides over shadow's", "", Shadow("!$6$h", kToday - 10, 99999),
     kBase | UF_DONT_EXPIRE_PASSWD | UF_PASSWD_NOTREQD, 10 * kDay + 43200, 0, TIMEQ_FOREVER},
};

TEST(AccountMapping, ShadowGivesFlagsAgeAndExpiry) {
  for (const ShadowCase& c : kShadowCases) {
    SCOPED_TRACE(c.what);
    UserEntry user = User(c.passwdField);
    AccountRecord record = Map(user, c.shadow);
    EXPECT_EQ(record.flags, c.flags);
    EXPECT_EQ(record.passwordAge, c.passwordAge);
    EXPECT_EQ(record.passwordExpired, c.passwordExpired);
    EXPECT_EQ(record.acctExpires, c.acctExpires);
  }
}

TEST(AccountMapping, GecosGivesFullNameAndUserComment) {
  struct Case {
    const char* gecos;
    const wchar_t* fullName;
    const wchar_t* userComment;
  };
  const Case cases[] = {
      {"", L"", L""},
      {"Alice Liddell", L"Alice Liddell", L""},
      {"Alice Liddell,Room 12,555-1234,555-9876,staff", L"Alice Liddell",
       L"Room 12,555-1234,555-9876,staff"},
      {"PostgreSQL administrator,,,", L"PostgreSQL administrator", L""},
      {"Bob,Room 3,,", L"Bob", L"Room 3"},
      {"Bob,,555-1234,", L"Bob", L",555-1234"},
      {",Room 12", L"", L"Room 12"},
      {"J\xC3\xBCrgen Gro\xC3\x9F", L"J\u00FCrgen Gro\u00DF", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gecos);
    UserEntry user = User("x", c.gecos);
    AccountRecord record = Map(user);
    EXPECT_EQ(record.fullName, c.fullName);
    EXPECT_EQ(record.usrComment, c.userComment);
  }
}

TEST(AccountMapping, PrivilegeLevel) {
  struct Case {
    uint32_t uid;
    bool administrator;
    DWORD priv;
  };
  const Case cases[] = {
      {1000, false, USER_PRIV_USER},
      {1000, true, USER_PRIV_ADMIN},
      {65534, false, USER_PRIV_GUEST},
      {65534, true, USER_PRIV_ADMIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uid);
    UserEntry user = User("x", "", c.uid);
    EXPECT_EQ(Map(user, std::nullopt, c.administrator).priv, c.priv);
  }
}

TEST(AccountMapping, LastLogonFromLastlog) {
  UserEntry user = User();
  EXPECT_EQ(Map(user).lastLogon, 0u);
  EXPECT_EQ(Map(user, std::nullopt, false, int64_t{1700000000}).lastLogon, 1700000000u);
}

// A field the host does not keep must show Windows' value for "not known", never a guess.
TEST(AccountMapping, FieldsTheHostDoesNotKeepStayUnknown) {
  UserEntry user = User("x", "Alice,Room 1");
  AccountRecord record =
      Map(user, Shadow("!$6$h", kToday - 500, 30, 1, kToday - 1), true, int64_t{1700000000});
  // Windows' own values, written out: not the record's defaults, which the mapping starts from.
  for (const std::wstring* text : {&record.comment, &record.parms, &record.workstations,
                                   &record.profile, &record.homeDirDrive}) {
    EXPECT_EQ(*text, L"");
  }
  EXPECT_EQ(record.authFlags, 0u);
  EXPECT_EQ(record.lastLogoff, 0u);
  EXPECT_EQ(record.maxStorage, USER_MAXSTORAGE_UNLIMITED);
  EXPECT_EQ(record.unitsPerWeek, 168u);  // UNITS_PER_WEEK: hours
  EXPECT_FALSE(record.logonHours.has_value());
  EXPECT_EQ(record.badPwCount, 0xFFFFFFFFu);
  EXPECT_EQ(record.numLogons, 0xFFFFFFFFu);
  EXPECT_EQ(record.countryCode, 0u);
  EXPECT_EQ(record.codePage, 0u);
}

TEST(AccountMapping, TableNamesEveryFieldOfTheRecordOnce) {
  size_t count = 0;
  const AccountFieldRule* rules = AccountFieldRules(count);
  std::set<std::string> fields;
  for (size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(fields.insert(rules[i].field).second) << rules[i].field;
    EXPECT_NE(std::string(rules[i].source), "") << rules[i].field;
  }
  EXPECT_EQ(fields.size(), 29u);  // the fields of USER_INFO_3
}

}  // namespace
}  // namespace compat
