// Names and SIDs of the host, as Samba shows a Unix host to Windows: a user is S-1-22-1-<uid>
// in the domain "Unix User", a group S-1-22-2-<gid> in "Unix Group"; the well-known and
// built-in SIDs keep Windows' values, names and domains. A bare name is a user first, then a
// well-known or built-in name, then a group, so that a name never stands for two SIDs.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "LetterCase.h"
#include "Machine.h"
#include "host/AccountDirectory.h"

namespace compat {

constexpr const wchar_t* kUnixUserDomain = L"Unix User";
constexpr const wchar_t* kUnixGroupDomain = L"Unix Group";
constexpr const wchar_t* kBuiltinDomain = L"BUILTIN";
constexpr const wchar_t* kAdministratorsAlias = L"Administrators";

SidValue UnixUserSid(uint32_t uid);
SidValue UnixGroupSid(uint32_t gid);
SidValue EveryoneSid();
SidValue AdministratorsSid();

class AccountNames {
 public:
  // isComputerName: whether a domain part names this computer ("HOST\alice").
  AccountNames(AccountDirectory& directory, UINT codePage,
               std::function<bool(std::wstring_view)> isComputerName);

  // ERROR_SUCCESS, ERROR_NONE_MAPPED, or the error of a source that could not be asked.
  DWORD LookupName(std::wstring_view name, AccountLookup& found);
  DWORD LookupSid(const SidValue& sid, AccountLookup& found);

  // The name under which a listed account or group is found again: the bare name when a
  // lookup of it gives the SID, otherwise "domain\name".
  std::wstring ListedName(std::wstring_view name, std::wstring_view domain, const SidValue& sid);

 private:
  DWORD LookupBare(std::wstring_view name, AccountLookup& found);
  DWORD LookupUnixUser(std::wstring_view name, AccountLookup& found);
  DWORD LookupUnixGroup(std::wstring_view name, AccountLookup& found);

  AccountDirectory& directory_;
  UINT codePage_;
  std::function<bool(std::wstring_view)> isComputerName_;
};

}  // namespace compat
