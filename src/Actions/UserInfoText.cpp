// Texts of the account details: privilege level and the two flag lists.
#include <cstdint>

#include "Actions/Actions.h"

namespace {

struct NamedFlag {
  const wchar_t* name;
  DWORD mask;
};

constexpr NamedFlag kUserFlags[] = {
    {L"UF_SCRIPT", UF_SCRIPT},
    {L"UF_ACCOUNTDISABLE", UF_ACCOUNTDISABLE},
    {L"UF_HOMEDIR_REQUIRED", UF_HOMEDIR_REQUIRED},
    {L"UF_LOCKOUT", UF_LOCKOUT},
    {L"UF_PASSWD_NOTREQD", UF_PASSWD_NOTREQD},
    {L"UF_PASSWD_CANT_CHANGE", UF_PASSWD_CANT_CHANGE},
    {L"UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED", UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED},
    {L"UF_TEMP_DUPLICATE_ACCOUNT", UF_TEMP_DUPLICATE_ACCOUNT},
    {L"UF_NORMAL_ACCOUNT", UF_NORMAL_ACCOUNT},
    {L"UF_INTERDOMAIN_TRUST_ACCOUNT", UF_INTERDOMAIN_TRUST_ACCOUNT},
    {L"UF_WORKSTATION_TRUST_ACCOUNT", UF_WORKSTATION_TRUST_ACCOUNT},
    {L"UF_SERVER_TRUST_ACCOUNT", UF_SERVER_TRUST_ACCOUNT},
    {L"UF_DONT_EXPIRE_PASSWD", UF_DONT_EXPIRE_PASSWD},
    {L"UF_MNS_LOGON_ACCOUNT", UF_MNS_LOGON_ACCOUNT},
    {L"UF_SMARTCARD_REQUIRED", UF_SMARTCARD_REQUIRED},
    {L"UF_TRUSTED_FOR_DELEGATION", UF_TRUSTED_FOR_DELEGATION},
    {L"UF_NOT_DELEGATED", UF_NOT_DELEGATED},
    {L"UF_USE_DES_KEY_ONLY", UF_USE_DES_KEY_ONLY},
    {L"UF_DONT_REQUIRE_PREAUTH", UF_DONT_REQUIRE_PREAUTH},
    {L"UF_PASSWORD_EXPIRED", UF_PASSWORD_EXPIRED},
    {L"UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION", UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION},
};

constexpr NamedFlag kOperatorFlags[] = {
    {L"AF_OP_PRINT", AF_OP_PRINT},
    {L"AF_OP_COMM", AF_OP_COMM},
    {L"AF_OP_SERVER", AF_OP_SERVER},
    {L"AF_OP_ACCOUNTS", AF_OP_ACCOUNTS},
};

template <size_t N>
std::wstring FlagList(DWORD value, const NamedFlag (&table)[N]) {
  std::wstring list;
  for (const NamedFlag& flag : table) list += FlagText(value, flag.mask, flag.name);
  if (!list.empty()) list.resize(list.size() - 2);  // the last ", "
  return list;
}

std::wstring Signed(DWORD value) {
  return std::to_wstring(static_cast<int32_t>(value));
}

}  // namespace

std::wstring PrivilegeLevelText(DWORD level) {
  if ((level & USER_PRIV_ADMIN) == USER_PRIV_ADMIN) return Signed(level) + L" (USER_PRIV_ADMIN)";
  if ((level & USER_PRIV_USER) == USER_PRIV_USER) return Signed(level) + L" (USER_PRIV_USER)";
  if (level == USER_PRIV_GUEST) return Signed(level) + L" (USER_PRIV_GUEST)";
  return L"Unknown Privs level: " + Signed(level);
}

std::wstring FlagText(DWORD value, DWORD mask, std::wstring_view name) {
  if ((value & mask) != mask) return std::wstring();
  return std::wstring(name) + L", ";
}

std::wstring UserFlagsText(DWORD flags) {
  return FlagList(flags, kUserFlags);
}

std::wstring OperatorFlagsText(DWORD flags) {
  return FlagList(flags, kOperatorFlags);
}
