// Names and SIDs of the host, as Samba shows a Unix host to Windows: a user is S-1-22-1-<uid>
// in the domain "Unix User", a group S-1-22-2-<gid> in "Unix Group"; the well-known SIDs keep
// Windows' values, names and domains. On a host joined to a domain, an id that the host's
// identity mapping knows has the domain's SID and name instead, and DOMAIN\NAME names the
// domain's account or group. A bare name is a user first, then a well-known name, then a group,
// so that a name never stands for two SIDs. Names match as the Windows account database matches
// them: exactly first, otherwise the one name that is equal ignoring case.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "LetterCase.h"
#include "Machine.h"
#include "host/AccountDirectory.h"
#include "host/domain/DomainLink.h"

namespace compat {

constexpr const wchar_t* kUnixUserDomain = L"Unix User";
constexpr const wchar_t* kUnixGroupDomain = L"Unix Group";

SidValue EveryoneSid();
SidValue AdministratorsSid();

class AccountNames {
 public:
  // isComputerName: whether a domain part names this computer ("HOST\alice"). domain: the
  // host's identity mapping, or none.
  AccountNames(AccountDirectory& directory, std::function<bool(std::wstring_view)> isComputerName,
               DomainLink* domain = nullptr);

  // The domain's view of a user (null when the identity mapping does not know it), and the SID
  // of a group (its NSS name empty when it has no entry): the domain's, or S-1-22-2-<gid>.
  const DomainAccount* DomainAccountOf(const UserEntry& user);
  SidValue GroupSid(uint32_t gid, std::string_view name);

  // ERROR_SUCCESS, ERROR_NONE_MAPPED, or the error of a source that could not be asked.
  DWORD LookupName(std::wstring_view name, AccountLookup& found);
  DWORD LookupSid(const SidValue& sid, AccountLookup& found);

  // The name under which a listed account or group is found again and nothing else: the bare
  // name when it leads back to the SID, otherwise "domain\name". A group's name that leads
  // elsewhere either way (no name, or one it shares) is its gid: "Unix Group\6200".
  std::wstring ListedName(std::wstring_view name, std::wstring_view domain, const SidValue& sid);
  std::wstring GroupName(const GroupEntry& group);
  // The record's name of a user: the name as it stands, or "Unix User\name" where the name
  // itself would be read as another account ("unix user\root" is root).
  std::wstring UserName(const UserEntry& user);

  // The user of a name: exactly, otherwise the only one equal ignoring case.
  Found FindUser(std::wstring_view name, UserEntry& user);

 private:
  enum class Match { Exactly, IgnoringCase };
  // The user (group) of a name, matched as asked.
  template <typename Entry>
  Found Find(std::wstring_view name, Match match, Entry& entry);
  DWORD LookupBare(std::wstring_view name, AccountLookup& found);
  DWORD LookupUnixUser(std::wstring_view name, Match match, AccountLookup& found);
  DWORD LookupUnixGroup(std::wstring_view name, Match match, bool byGid, AccountLookup& found);
  // The host name of the one user (group) whose name equals name ignoring case, if there is
  // one; each name is asked once.
  Found OnlyMatch(std::wstring_view name, bool users, std::string& hostName);

  AccountDirectory& directory_;
  std::function<bool(std::wstring_view)> isComputerName_;
  DomainLink* domain_;
  // The answers of OnlyMatch by upper-case name: the host name, or none for no single match.
  using Matches = std::map<std::wstring, std::optional<std::string>, std::less<>>;
  Matches userMatches_;
  Matches groupMatches_;
};

}  // namespace compat
