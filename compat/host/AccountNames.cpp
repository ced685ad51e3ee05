#include "host/AccountNames.h"

#include <iterator>
#include <utility>

#include "host/HostText.h"
#include "host/NssErrors.h"

namespace compat {
namespace {

constexpr uint64_t kUnixAuthority = 22;
constexpr DWORD kUnixUsers = 1;
constexpr DWORD kUnixGroups = 2;

// The well-known and built-in SIDs the host answers for, with Windows' names and domains.
struct WellKnownName {
  const wchar_t* sid;
  const wchar_t* domain;
  const wchar_t* name;
  SID_NAME_USE use;
};

constexpr WellKnownName kWellKnownNames[] = {
    {L"S-1-1-0", L"", L"Everyone", SidTypeWellKnownGroup},
    {L"S-1-5-32", kBuiltinDomain, kBuiltinDomain, SidTypeDomain},
    {L"S-1-5-32-544", kBuiltinDomain, kAdministratorsAlias, SidTypeAlias},
    {L"S-1-22-1", kUnixUserDomain, kUnixUserDomain, SidTypeDomain},
    {L"S-1-22-2", kUnixGroupDomain, kUnixGroupDomain, SidTypeDomain},
};

SidValue UnixSid(DWORD kind, uint32_t id) {
  SidValue sid;
  sid.authority = kUnixAuthority;
  sid.subAuthorities = {kind, id};
  return sid;
}

void Answer(AccountLookup& found, SidValue sid, std::wstring name, std::wstring domain,
            SID_NAME_USE use) {
  found.sid = std::move(sid);
  found.name = std::move(name);
  found.domain = std::move(domain);
  found.use = use;
}

DWORD AnswerWellKnown(const WellKnownName& entry, AccountLookup& found) {
  Answer(found, SidFromText(entry.sid), entry.name, entry.domain, entry.use);
  return ERROR_SUCCESS;
}

// A well-known or built-in name; with a domain, only the names of that domain.
const WellKnownName* FindWellKnownName(std::wstring_view name, const std::wstring_view* domain) {
  for (const WellKnownName& entry : kWellKnownNames) {
    if (domain != nullptr && !SameNameIgnoringCase(*domain, entry.domain)) continue;
    if (SameNameIgnoringCase(name, entry.name)) return &entry;
  }
  return nullptr;
}

DWORD ErrorOf(Found answer, const AccountDirectory& directory) {
  return answer == Found::No ? ERROR_NONE_MAPPED : WindowsErrorOfNss(directory.LastError());
}

}  // namespace

SidValue UnixUserSid(uint32_t uid) {
  return UnixSid(kUnixUsers, uid);
}
SidValue UnixGroupSid(uint32_t gid) {
  return UnixSid(kUnixGroups, gid);
}
SidValue EveryoneSid() {
  return SidFromText(L"S-1-1-0");
}
SidValue AdministratorsSid() {
  return SidFromText(L"S-1-5-32-544");
}

AccountNames::AccountNames(AccountDirectory& directory, UINT codePage,
                           std::function<bool(std::wstring_view)> isComputerName)
    : directory_(directory), codePage_(codePage), isComputerName_(std::move(isComputerName)) {}

DWORD AccountNames::LookupUnixUser(std::wstring_view name, AccountLookup& found) {
  std::optional<std::string> hostName = HostNameOf(codePage_, name);
  if (!hostName || hostName->empty()) return ERROR_NONE_MAPPED;
  UserEntry user;
  Found answer = directory_.FindUser(*hostName, user);
  if (answer != Found::Yes) return ErrorOf(answer, directory_);
  Answer(found, UnixUserSid(user.uid), WideFromHost(codePage_, user.name), kUnixUserDomain,
         SidTypeUser);
  return ERROR_SUCCESS;
}

DWORD AccountNames::LookupUnixGroup(std::wstring_view name, AccountLookup& found) {
  std::optional<std::string> hostName = HostNameOf(codePage_, name);
  if (!hostName || hostName->empty()) return ERROR_NONE_MAPPED;
  GroupEntry group;
  Found answer = directory_.FindGroup(*hostName, group);
  if (answer != Found::Yes) return ErrorOf(answer, directory_);
  Answer(found, UnixGroupSid(group.gid), WideFromHost(codePage_, group.name), kUnixGroupDomain,
         SidTypeGroup);
  return ERROR_SUCCESS;
}

DWORD AccountNames::LookupBare(std::wstring_view name, AccountLookup& found) {
  DWORD error = LookupUnixUser(name, found);
  if (error != ERROR_NONE_MAPPED) return error;
  if (const WellKnownName* entry = FindWellKnownName(name, nullptr)) {
    return AnswerWellKnown(*entry, found);
  }
  return LookupUnixGroup(name, found);
}

DWORD AccountNames::LookupName(std::wstring_view name, AccountLookup& found) {
  size_t backslash = name.find(L'\\');
  if (backslash == std::wstring_view::npos) return LookupBare(name, found);
  std::wstring_view domain = name.substr(0, backslash);
  std::wstring_view account = name.substr(backslash + 1);
  if (domain.empty()) return LookupBare(account, found);
  if (SameNameIgnoringCase(domain, kUnixUserDomain)) return LookupUnixUser(account, found);
  if (SameNameIgnoringCase(domain, kUnixGroupDomain)) return LookupUnixGroup(account, found);
  if (const WellKnownName* entry = FindWellKnownName(account, &domain)) {
    return AnswerWellKnown(*entry, found);
  }
  if (isComputerName_ && isComputerName_(domain)) {
    DWORD error = LookupUnixUser(account, found);
    return error == ERROR_NONE_MAPPED ? LookupUnixGroup(account, found) : error;
  }
  // No domain the host knows: a Linux account name may itself hold a backslash ("back\slash"),
  // which no Windows name can, so the whole text is looked up as a name.
  return LookupBare(name, found);
}

DWORD AccountNames::LookupSid(const SidValue& sid, AccountLookup& found) {
  if (sid.authority == kUnixAuthority && sid.subAuthorities.size() == 2) {
    uint32_t id = sid.subAuthorities[1];
    if (sid.subAuthorities[0] == kUnixUsers) {
      UserEntry user;
      Found answer = directory_.FindUserById(id, user);
      if (answer != Found::Yes) return ErrorOf(answer, directory_);
      Answer(found, sid, WideFromHost(codePage_, user.name), kUnixUserDomain, SidTypeUser);
      return ERROR_SUCCESS;
    }
    if (sid.subAuthorities[0] == kUnixGroups) {
      GroupEntry group;
      Found answer = directory_.FindGroupById(id, group);
      if (answer != Found::Yes) return ErrorOf(answer, directory_);
      Answer(found, sid, WideFromHost(codePage_, group.name), kUnixGroupDomain, SidTypeGroup);
      return ERROR_SUCCESS;
    }
  }
  for (const WellKnownName& entry : kWellKnownNames) {
    if (SidFromText(entry.sid) == sid) return AnswerWellKnown(entry, found);
  }
  return ERROR_NONE_MAPPED;
}

std::wstring AccountNames::ListedName(std::wstring_view name, std::wstring_view domain,
                                      const SidValue& sid) {
  AccountLookup found;
  if (LookupName(name, found) == ERROR_SUCCESS && found.sid == sid) return std::wstring(name);
  return std::wstring(domain) + L"\\" + std::wstring(name);
}

}  // namespace compat
