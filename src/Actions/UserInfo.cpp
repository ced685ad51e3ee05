// The account details section: the 31 lines of the account's level-3 record.
#include <array>
#include <cstring>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"
#include "SecUtils/SecUtils.h"

namespace {

constexpr DWORD kAlwaysUnknown = 0xFFFFFFFF;

std::wstring Text(LPCWSTR text) {
  return text == nullptr ? std::wstring() : std::wstring(text);
}

void WriteLogonHours(const std::array<BYTE, 21>& hours) {
  for (int line = 0; line < 3; ++line) {
    const BYTE* b = hours.data() + 7 * line;
    WriteColoredFormat(line == 0 ? L"  Logonhours: 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x"
                                 : L"              0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x",
                       {b[0], b[1], b[2], b[3], b[4], b[5], b[6]});
  }
}

}  // namespace

void ShowUserInfo(const std::wstring& userName) {
  NetApiBufferGuard buffer;
  NET_API_STATUS status =
      NetUserGetInfo(ComputerNameArgument(), userName.c_str(), 3, buffer.Receive());
  if (status != NERR_Success) RaiseNetStatus(status, "NetUserGetInfo", userName);
  if (!buffer) throw Error("Unknown response from NetUserGetInfo: 0");
  PrintUserInfo(*reinterpret_cast<const USER_INFO_3*>(buffer.get()));
}

void PrintUserInfo(const USER_INFO_3& r) {
  WriteColoredFormat(L"Username: %s\\%s", {ComputerName, r.usri3_name});
  WriteColoredFormat(L"  SID: %s", {AccountNameToSidText(Text(r.usri3_name), ComputerName)});
  WriteColoredFormat(L"  Days since last password change: %d", {r.usri3_password_age / 86400});
  WriteColoredFormat(L"  Privilege: %s", {PrivilegeLevelText(r.usri3_priv)});
  WriteColoredFormat(L"  Home directory: %s", {r.usri3_home_dir});
  WriteColoredFormat(L"  Comment: '%s'", {r.usri3_comment});
  WriteColoredFormat(L"  Flags: %d (%s)", {r.usri3_flags, UserFlagsText(r.usri3_flags)});
  WriteColoredFormat(L"  Script path: %s", {r.usri3_script_path});
  WriteColoredFormat(L"  Operator privilege: %d (%s)",
                     {r.usri3_auth_flags, OperatorFlagsText(r.usri3_auth_flags)});
  WriteColoredFormat(L"  Full name: %s", {r.usri3_full_name});
  WriteColoredFormat(L"  User comment: '%s'", {r.usri3_usr_comment});
  WriteColoredFormat(L"  Parms: '%s'", {r.usri3_parms});
  WriteColoredFormat(L"  Workstations: %s", {r.usri3_workstations});
  WriteColoredFormat(L"  Last logon time: %s", {NetTimeText(r.usri3_last_logon)});
  WriteColoredFormat(L"  Last logoff time: %s", {NetTimeText(r.usri3_last_logoff)});
  WriteColoredFormat(L"  Account expires: %s", {NetTimeText(r.usri3_acct_expires)});
  if (r.usri3_max_storage == USER_MAXSTORAGE_UNLIMITED) {
    WriteColoredLine("  Maximum discspace: unlimited");
  } else {
    WriteColoredFormat(L"  Maximum discspace: %d bytes", {r.usri3_max_storage});
  }
  WriteColoredFormat(L"  Units per week: %d", {r.usri3_units_per_week});
  // Without a block of its own the record allows every hour, as Windows does.
  std::array<BYTE, 21> hours;
  hours.fill(0xFF);
  if (r.usri3_logon_hours != nullptr) std::memcpy(hours.data(), r.usri3_logon_hours, hours.size());
  WriteLogonHours(hours);
  if (r.usri3_bad_pw_count == kAlwaysUnknown) {
    WriteColoredLine("  Bad password count: unknown");
  } else {
    WriteColoredFormat(L"  Bad password count: %d", {r.usri3_bad_pw_count});
  }
  if (r.usri3_num_logons == kAlwaysUnknown) {
    WriteColoredLine("  Total logins count: unknown");
  } else {
    WriteColoredFormat(L"  Total logins count: %d", {r.usri3_num_logons});
  }
  WriteColoredFormat(L"  Logonserver: %s", {r.usri3_logon_server});
  WriteColoredFormat(L"  Countrycode: %d", {r.usri3_country_code});
  WriteColoredFormat(L"  Codepage: %d", {r.usri3_code_page});
  WriteColoredFormat(L"  User ID: %d", {r.usri3_user_id});
  WriteColoredFormat(L"  Primary Group ID: %d", {r.usri3_primary_group_id});
  WriteColoredFormat(L"  Profile path: %s", {r.usri3_profile});
  WriteColoredFormat(L"  Home directory: %s", {r.usri3_home_dir_drive});
  WriteColoredLine(r.usri3_password_expired != 0 ? "  Password is expired"
                                                 : "  Password is not expired");
}
