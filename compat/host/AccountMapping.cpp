#include "host/AccountMapping.h"

#include <iterator>

#include "host/HostText.h"

namespace compat {
namespace {

int64_t Today(const HostAccountFacts& facts) {
  return facts.now / kSecondsPerDay;
}

// The password field that decides a password logon: passwd's own, unless it says the
// password is kept in shadow.
PasswordField EffectivePasswordField(const HostAccountFacts& facts) {
  if (facts.user->passwordField != PasswordField::InShadow) return facts.user->passwordField;
  return facts.shadow ? facts.shadow->passwordField : PasswordField::Unknown;
}

// A time field of the record: seconds since 1970 as an unsigned 32-bit number. Nothing
// (0 or before) is "not known"; a time past the field's range (February 2106) is "never".
DWORD NetTime(int64_t seconds) {
  if (seconds <= 0) return 0;
  if (seconds >= static_cast<int64_t>(TIMEQ_FOREVER)) return TIMEQ_FOREVER;
  return static_cast<DWORD>(seconds);
}

std::string_view FullNameOf(std::string_view gecos) {
  return gecos.substr(0, gecos.find(','));
}

// The other GECOS fields (room, phones, other), without the empty fields at their end that
// adduser leaves: "Alice,,," has no comment at all.
std::string_view UserCommentOf(std::string_view gecos) {
  size_t comma = gecos.find(',');
  if (comma == std::string_view::npos) return std::string_view();
  std::string_view rest = gecos.substr(comma + 1);
  while (!rest.empty() && rest.back() == ',') rest.remove_suffix(1);
  return rest;
}

// A maximum password age of this many days or more means the password never expires; shadow
// tools write 99999 for "no limit".
constexpr int64_t kNoMaximumAgeDays = 99999;

// A day count of shadow as sums and products take it. NSS modules other than files hand out a
// long, and an LDAP value may lie millions of years ahead: a day past the last one a time field
// holds (February 2106) counts as that day, which changes no answer and keeps every sum and
// product in range.
constexpr int64_t kLastDay = int64_t{0xFFFFFFFF} / kSecondsPerDay + 1;

int64_t Day(int64_t day) {
  return day < kLastDay ? day : kLastDay;
}

// The shadow rules behind the flags, computed as PAM computes them when the user logs in, for the
// day counts shadow tools write (-1 for an empty field, else 0 or more). A count the C library
// wrapped below -1 (a number of 2^31 or more in the file) counts as unset here, where PAM would
// take it as a day long past (an account expired, a password to change). The rules apply wherever
// shadow holds an entry for the user, also where passwd's own password field does not defer to
// shadow (where PAM would not look at the entry).
bool IsPasswordExpired(const ShadowEntry& shadow, int64_t today) {
  if (shadow.lastChange == 0) return true;
  return shadow.lastChange > 0 && shadow.maxDays >= 0 &&
         today - Day(shadow.lastChange) > Day(shadow.maxDays);
}

bool IsAccountExpired(const ShadowEntry& shadow, int64_t today) {
  return shadow.expireDay >= 0 && today >= shadow.expireDay;
}

bool IsDisabledByInactivity(const ShadowEntry& shadow, int64_t today) {
  return shadow.lastChange > 0 && shadow.maxDays >= 0 && shadow.inactiveDays >= 0 &&
         today - Day(shadow.lastChange) > Day(shadow.maxDays) + Day(shadow.inactiveDays);
}

bool PasswordNeverExpires(const ShadowEntry& shadow) {
  return shadow.lastChange < 0 || shadow.maxDays < 0 || shadow.maxDays >= kNoMaximumAgeDays;
}

DWORD FlagsOf(const HostAccountFacts& facts) {
  // Windows sets UF_SCRIPT on every account it reports.
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  PasswordField password = EffectivePasswordField(facts);
  if (password == PasswordField::Locked) flags |= UF_ACCOUNTDISABLE;
  if (password == PasswordField::Empty) flags |= UF_PASSWD_NOTREQD;
  if (facts.shadow) {
    const ShadowEntry& shadow = *facts.shadow;
    int64_t today = Today(facts);
    if (IsAccountExpired(shadow, today) || IsDisabledByInactivity(shadow, today)) {
      flags |= UF_ACCOUNTDISABLE;
    }
    if (PasswordNeverExpires(shadow)) flags |= UF_DONT_EXPIRE_PASSWD;
    if (IsPasswordExpired(shadow, today)) flags |= UF_PASSWORD_EXPIRED;
  }
  return flags;
}

DWORD PrivilegeOf(const HostAccountFacts& facts) {
  if (facts.administrator) return USER_PRIV_ADMIN;
  if (facts.user->uid == facts.guestUid) return USER_PRIV_GUEST;
  return USER_PRIV_USER;
}

DWORD PasswordAgeOf(const HostAccountFacts& facts) {
  if (!facts.shadow || facts.shadow->lastChange <= 0) return 0;
  int64_t age = facts.now - Day(facts.shadow->lastChange) * kSecondsPerDay;
  if (age <= 0) return 0;
  return age >= 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(age);
}

DWORD AccountExpiresOf(const HostAccountFacts& facts) {
  if (!facts.shadow || facts.shadow->expireDay < 0) return TIMEQ_FOREVER;
  return NetTime(Day(facts.shadow->expireDay) * kSecondsPerDay);
}

using Facts = HostAccountFacts;
using Record = AccountRecord;

// The account record as the host keeps it, field by field, in the order of USER_INFO_3.
constexpr AccountFieldRule kRules[] = {
    {"usri3_name", "passwd: name",
     [](const Facts& f, Record& r) { AssignWideFromHost(f.user->name, r.name); }},
    {"usri3_password", "never handed out", nullptr},
    {"usri3_password_age", "shadow: now - last change; 0 when unknown or the change is forced",
     [](const Facts& f, Record& r) { r.passwordAge = PasswordAgeOf(f); }},
    {"usri3_priv",
     "ADMIN for the administrators (uid 0; sudo, wheel, admin by name or primary group; Domain "
     "Admins); GUEST for the overflow uid (nobody); "
     "USER otherwise",
     [](const Facts& f, Record& r) { r.priv = PrivilegeOf(f); }},
    {"usri3_home_dir", "passwd: home directory",
     [](const Facts& f, Record& r) { AssignWideFromHost(f.user->home, r.homeDir); }},
    {"usri3_comment", "not kept", nullptr},
    {"usri3_flags",
     "UF_SCRIPT | UF_NORMAL_ACCOUNT; UF_ACCOUNTDISABLE: password \"!...\" (locked), account "
     "expired, or inactive past the password's expiry (\"*\", the field of service accounts "
     "that never had a password, does not disable: they run and log on by other means); "
     "UF_PASSWD_NOTREQD: empty password; "
     "UF_DONT_EXPIRE_PASSWD: no aging (empty last change), maximum age unset or >= 99999 days; "
     "UF_PASSWORD_EXPIRED: as usri3_password_expired",
     [](const Facts& f, Record& r) { r.flags = FlagsOf(f); }},
    {"usri3_script_path", "passwd: shell",
     [](const Facts& f, Record& r) { AssignWideFromHost(f.user->shell, r.scriptPath); }},
    {"usri3_auth_flags", "not kept", nullptr},
    {"usri3_full_name", "passwd: GECOS up to the first comma",
     [](const Facts& f, Record& r) { AssignWideFromHost(FullNameOf(f.user->gecos), r.fullName); }},
    {"usri3_usr_comment", "passwd: GECOS after the first comma, empty trailing fields dropped",
     [](const Facts& f, Record& r) {
       AssignWideFromHost(UserCommentOf(f.user->gecos), r.usrComment);
     }},
    {"usri3_parms", "not kept", nullptr},
    {"usri3_workstations", "not kept", nullptr},
    {"usri3_last_logon", "lastlog: time of the uid's record; 0 when there is none",
     [](const Facts& f, Record& r) { r.lastLogon = NetTime(f.lastLogon.value_or(0)); }},
    {"usri3_last_logoff", "not kept", nullptr},
    {"usri3_acct_expires", "shadow: expire day; TIMEQ_FOREVER when empty or unknown",
     [](const Facts& f, Record& r) { r.acctExpires = AccountExpiresOf(f); }},
    {"usri3_max_storage", "not kept", nullptr},
    {"usri3_units_per_week", "not kept", nullptr},
    {"usri3_logon_hours", "not kept", nullptr},
    {"usri3_bad_pw_count", "not kept", nullptr},
    {"usri3_num_logons", "not kept", nullptr},
    {"usri3_logon_server", "\\\\* (any logon server), as Windows answers for a local account",
     [](const Facts&, Record& r) {
       // A listing maps every account into one record: once set, the text stays.
       constexpr std::wstring_view kAnyLogonServer = L"\\\\*";
       if (r.logonServer != kAnyLogonServer) r.logonServer = kAnyLogonServer;
     }},
    {"usri3_country_code", "not kept", nullptr},
    {"usri3_code_page", "not kept", nullptr},
    {"usri3_user_id", "passwd: uid", [](const Facts& f, Record& r) { r.userId = f.user->uid; }},
    {"usri3_primary_group_id", "passwd: gid",
     [](const Facts& f, Record& r) { r.primaryGroupId = f.user->gid; }},
    {"usri3_profile", "not kept", nullptr},
    {"usri3_home_dir_drive", "not kept", nullptr},
    {"usri3_password_expired",
     "shadow: last change 0 (change forced) or last change + maximum age before today",
     [](const Facts& f, Record& r) {
       r.passwordExpired = f.shadow && IsPasswordExpired(*f.shadow, Today(f)) ? 1 : 0;
     }},
};

}  // namespace

const AccountFieldRule* AccountFieldRules(size_t& count) {
  count = std::size(kRules);
  return kRules;
}

AccountRecord MapAccountRecord(const HostAccountFacts& facts) {
  AccountRecord record;
  MapAccountRecordInto(facts, record);
  return record;
}

void MapAccountRecordInto(const HostAccountFacts& facts, AccountRecord& record) {
  for (const AccountFieldRule& rule : kRules) {
    if (rule.apply != nullptr) rule.apply(facts, record);
  }
}

}  // namespace compat
