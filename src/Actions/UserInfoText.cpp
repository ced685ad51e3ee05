// Texts of the account details: privilege level and the two flag lists.
#include <cstdint>

#include "Actions/Actions.h"

namespace {

struct NamedFlag {
  const wchar_t* name;
  DWORD mask;
};

constexpr NamedFlag kUserFlags[] = {
    {L"UF_SCRIPT", 0x0001},
    {L"UF_ACCOUNTDISABLE", 0x0002},
    {L"UF_HOMEDIR_REQUIRED", 0x0008},
    {L"UF_LOCKOUT", 0x0010},
    {L"UF_PASSWD_NOTREQD", 0x0020},
    {L"UF_PASSWD_CANT_CHANGE", 0x0040},
    {L"UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED", 0x0080},
    {L"UF_TEMP_DUPLICATE_ACCOUNT", 0x0100},
    {L"UF_NORMAL_ACCOUNT", 0x0200},
    {L"UF_INTERDOMAIN_TRUST_ACCOUNT", 0x0800},
    {L"UF_WORKSTATION_TRUST_ACCOUNT", 0x1000},
    {L"UF_SERVER_TRUST_ACCOUNT", 0x2000},
    {L"UF_DONT_EXPIRE_PASSWD", 0x10000},
    {L"UF_MNS_LOGON_ACCOUNT", 0x20000},
    {L"UF_SMARTCARD_REQUIRED", 0x40000},
    {L"UF_TRUSTED_FOR_DELEGATION", 0x80000},
    {L"UF_NOT_DELEGATED", 0x100000},
    {L"UF_USE_DES_KEY_ONLY", 0x200000},
    {L"UF_DONT_REQUIRE_PREAUTH", 0x400000},
    {L"UF_PASSWORD_EXPIRED", 0x800000},
    {L"UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION", 0x1000000},
};

constexpr NamedFlag kOperatorFlags[] = {
    {L"AF_OP_PRINT", 0x0001},
    {L"AF_OP_COMM", 0x0002},
    {L"AF_OP_SERVER", 0x0004},
    {L"AF_OP_ACCOUNTS", 0x0008},
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
