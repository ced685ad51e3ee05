// Texts of the account details: privilege level and the two flag lists.
#include <cstdint>

#include "Actions/Actions.h"

namespace {

struct NamedFlag {
  const wchar_t* name;
  DWORD mask;
};

// A flag under the platform's own name for it, which is also the text shown.
#define NAMED_FLAG(name) \
  { L"" #name, name }

constexpr NamedFlag kUserFlags[] = {
    NAMED_FLAG(UF_SCRIPT),
    NAMED_FLAG(UF_ACCOUNTDISABLE),
    NAMED_FLAG(UF_HOMEDIR_REQUIRED),
    NAMED_FLAG(UF_LOCKOUT),
    NAMED_FLAG(UF_PASSWD_NOTREQD),
    NAMED_FLAG(UF_PASSWD_CANT_CHANGE),
    NAMED_FLAG(UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED),
    NAMED_FLAG(UF_TEMP_DUPLICATE_ACCOUNT),
    NAMED_FLAG(UF_NORMAL_ACCOUNT),
    NAMED_FLAG(UF_INTERDOMAIN_TRUST_ACCOUNT),
    NAMED_FLAG(UF_WORKSTATION_TRUST_ACCOUNT),
    NAMED_FLAG(UF_SERVER_TRUST_ACCOUNT),
    NAMED_FLAG(UF_DONT_EXPIRE_PASSWD),
    NAMED_FLAG(UF_MNS_LOGON_ACCOUNT),
    NAMED_FLAG(UF_SMARTCARD_REQUIRED),
    NAMED_FLAG(UF_TRUSTED_FOR_DELEGATION),
    NAMED_FLAG(UF_NOT_DELEGATED),
    NAMED_FLAG(UF_USE_DES_KEY_ONLY),
    NAMED_FLAG(UF_DONT_REQUIRE_PREAUTH),
    NAMED_FLAG(UF_PASSWORD_EXPIRED),
    NAMED_FLAG(UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION),
};

constexpr NamedFlag kOperatorFlags[] = {
    NAMED_FLAG(AF_OP_PRINT),
    NAMED_FLAG(AF_OP_COMM),
    NAMED_FLAG(AF_OP_SERVER),
    NAMED_FLAG(AF_OP_ACCOUNTS),
};

#undef NAMED_FLAG

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
