// The privileges the stand-in knows: Windows' programmatic names, LUIDs and display names.
#pragma once

#include <string_view>

#include "win32/base.h"

namespace compat {

struct PrivilegeInfo {
  const wchar_t* name;
  DWORD luid;
  const wchar_t* displayName;
};

// Every privilege the stand-in knows. Like current Windows, it does not know the obsolete
// SeUnsolicitedInputPrivilege.
const PrivilegeInfo* FindPrivilegeByName(std::wstring_view name);  // case-insensitive
const PrivilegeInfo* FindPrivilegeByLuid(DWORD luid);

}  // namespace compat
