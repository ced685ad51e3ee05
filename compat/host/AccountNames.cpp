#include "host/AccountNames.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "host/HostText.h"
#include "host/NssErrors.h"

namespace compat {
namespace {

constexpr uint64_t kUnixAuthority = 22;
constexpr DWORD kUnixUsers = 1;
constexpr DWORD kUnixGroups = 2;

SidValue UnixSid(DWORD kind, uint32_t id) {
  SidValue sid;
  sid.authority = kUnixAuthority;
  sid.subAuthorities = {kind, id};
  return sid;
}

DWORD Answer(AccountLookup& found, SidValue sid, std::wstring name, std::wstring domain,
             SID_NAME_USE use) {
  found.sid = std::move(sid);
  found.name = std::move(name);
  found.domain = std::move(domain);
  found.use = use;
  return ERROR_SUCCESS;
}

DWORD AnswerWellKnown(const WellKnownSid& entry, AccountLookup& found) {
  return Answer(found, SidFromText(entry.sid), entry.name, entry.domain, entry.use);
}

DWORD AnswerDomain(const DomainName& name, AccountLookup& found) {
  return Answer(found, name.sid, name.name, name.domain, name.use);
}

DWORD ErrorOf(Found answer, const AccountDirectory& directory) {
  return answer == Found::No ? ERROR_NONE_MAPPED : WindowsErrorOfNss(directory.LastError());
}

// Whether a host name, read as host text, is equal to an upper-case name ignoring case. ASCII
// names (nearly all) are compared byte by byte: no other character's upper case is ASCII.
bool EqualsFolded(std::string_view hostName, std::wstring_view folded) {
  bool ascii = std::all_of(hostName.begin(), hostName.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) return UpperCased(WideFromHost(hostName)) == folded;
  return std::equal(hostName.begin(), hostName.end(), folded.begin(), folded.end(),
                    [](char c, wchar_t f) { return ToUpperCase(static_cast<wchar_t>(c)) == f; });
}

bool IsNumber(std::wstring_view text) {
  bool digits =
      !text.empty() && text.size() <= 10 &&
      std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  return digits && std::stoull(std::wstring(text)) <= 0xFFFFFFFFull;
}

}  // namespace

SidValue EveryoneSid() {
  return SidFromText(L"S-1-1-0");
}
SidValue AdministratorsSid() {
  return SidFromText(L"S-1-5-32-544");
}

AccountNames::AccountNames(AccountDirectory& directory,
                           std::function<bool(std::wstring_view)> isComputerName,
                           DomainLink* domain)
    : directory_(directory), isComputerName_(std::move(isComputerName)), domain_(domain) {}

const DomainAccount* AccountNames::DomainAccountOf(const UserEntry& user) {
  return domain_ != nullptr ? domain_->Account(user) : nullptr;
}

SidValue AccountNames::GroupSid(uint32_t gid, std::string_view name) {
  std::optional<DomainName> mapped = domain_ != nullptr ? domain_->Group(gid, name) : std::nullopt;
  return mapped ? mapped->sid : UnixSid(kUnixGroups, gid);
}

Found AccountNames::OnlyMatch(std::wstring_view name, bool users, std::string& hostName) {
  std::wstring folded = UpperCased(name);
  Matches& matches = users ? userMatches_ : groupMatches_;
  auto known = matches.find(folded);
  if (known == matches.end()) {
    std::optional<std::string> only;
    bool several = false;
    auto take = [&](const std::string& candidate) {
      if (!only) {
        only = candidate;
      } else if (*only != candidate) {
        several = true;
      }
    };
    auto named = [&](std::string_view candidate) { return EqualsFolded(candidate, folded); };
    bool complete =
        users ? directory_.ForEachUserNamed(named, [&](const UserEntry& u) { take(u.name); })
              : directory_.ForEachGroupNamed(named, [&](const GroupEntry& g) { take(g.name); });
    if (!complete) return Found::Failed;
    if (several) only.reset();
    known = matches.emplace(std::move(folded), std::move(only)).first;
  }
  if (!known->second) return Found::No;
  hostName = *known->second;
  return Found::Yes;
}

// The bytes a name can have on the host: its UTF-8, and for a name read from bytes that are no
// UTF-8, its Latin-1.
using Spellings = std::vector<std::string>;
static Spellings HostSpellings(std::wstring_view name) {
  Spellings spellings;
  std::optional<std::string> utf8 = HostNameOf(name);
  if (!utf8 || utf8->empty()) return spellings;
  spellings.push_back(*utf8);
  std::string latin1;
  for (wchar_t c : name) {
    if (static_cast<uint32_t>(c) > 0xFF) return spellings;
    latin1 += static_cast<char>(c);
  }
  if (latin1 != *utf8) spellings.push_back(latin1);
  return spellings;
}

static Found FindOne(AccountDirectory& directory, const std::string& name, UserEntry& user) {
  return directory.FindUser(name, user);
}
static Found FindOne(AccountDirectory& directory, const std::string& name, GroupEntry& group) {
  return directory.FindGroup(name, group);
}

// Exactly: an entry whose name reads as the name. Ignoring case: the only one equal ignoring case;
// a domain's source (winbind, sss) matches names ignoring case itself and need not list its
// accounts, so where there is a domain, the entry it answers equal ignoring case is the one.
template <typename Entry>
Found AccountNames::Find(std::wstring_view name, Match match, Entry& entry) {
  if (name.empty()) return Found::No;  // an empty name names nothing, not a group without one
  bool exactly = match == Match::Exactly;
  for (const std::string& spelling :
       exactly || domain_ != nullptr ? HostSpellings(name) : Spellings()) {
    Found answer = FindOne(directory_, spelling, entry);
    if (answer != Found::Yes) {
      if (answer == Found::Failed) return answer;
      continue;
    }
    std::wstring found = WideFromHost(entry.name);
    if (exactly ? found == name : SameNameIgnoringCase(found, name)) return answer;
  }
  if (exactly) return Found::No;
  std::string hostName;
  Found answer = OnlyMatch(name, std::is_same_v<Entry, UserEntry>, hostName);
  return answer == Found::Yes ? FindOne(directory_, hostName, entry) : answer;
}

Found AccountNames::FindUser(std::wstring_view name, UserEntry& user) {
  Found answer = Find(name, Match::Exactly, user);
  return answer == Found::No ? Find(name, Match::IgnoringCase, user) : answer;
}

DWORD AccountNames::LookupUnixUser(std::wstring_view name, Match match, AccountLookup& found) {
  UserEntry user;
  Found answer = Find(name, match, user);
  if (answer != Found::Yes) return ErrorOf(answer, directory_);
  if (const DomainAccount* account = DomainAccountOf(user)) {
    return AnswerDomain(account->user, found);
  }
  return Answer(found, UnixSid(kUnixUsers, user.uid), WideFromHost(user.name), kUnixUserDomain,
                SidTypeUser);
}

DWORD AccountNames::LookupUnixGroup(std::wstring_view name, Match match, bool byGid,
                                    AccountLookup& found) {
  GroupEntry group;
  Found answer = Find(name, match, group);
  // In the Unix Group domain a number that names no group is a gid, as Samba writes a group
  // without a name.
  if (answer == Found::No && byGid && match == Match::IgnoringCase && IsNumber(name)) {
    answer =
        directory_.FindGroupById(static_cast<uint32_t>(std::stoull(std::wstring(name))), group);
  }
  if (answer != Found::Yes) return ErrorOf(answer, directory_);
  std::optional<DomainName> mapped =
      domain_ != nullptr ? domain_->Group(group.gid, group.name) : std::nullopt;
  if (mapped) return AnswerDomain(*mapped, found);
  return Answer(found, UnixSid(kUnixGroups, group.gid), WideFromHost(group.name), kUnixGroupDomain,
                SidTypeGroup);
}

// The well-known names a bare name finds, in any case as on Windows: those of no domain
// (Everyone), the BUILTIN domain and its Administrators alias, the one built-in group the host
// has members in. The others are found with their domain ("BUILTIN\Users").
static const WellKnownSid* BareWellKnown(std::wstring_view name) {
  const WellKnownSid* entry = FindWellKnownName(name, nullptr);
  bool bare = entry != nullptr && (*entry->domain == L'\0' || entry->use == SidTypeDomain ||
                                   SidFromText(entry->sid) == AdministratorsSid());
  return bare ? entry : nullptr;
}

// A user, a well-known name, a group, in this order; users and groups first as they are
// written, then ignoring case.
DWORD AccountNames::LookupBare(std::wstring_view name, AccountLookup& found) {
  for (Match match : {Match::Exactly, Match::IgnoringCase}) {
    DWORD error = LookupUnixUser(name, match, found);
    if (error != ERROR_NONE_MAPPED) return error;
    const WellKnownSid* entry = match == Match::Exactly ? BareWellKnown(name) : nullptr;
    if (entry != nullptr) return AnswerWellKnown(*entry, found);
    error = LookupUnixGroup(name, match, false, found);
    if (error != ERROR_NONE_MAPPED) return error;
  }
  return ERROR_NONE_MAPPED;
}

DWORD AccountNames::LookupName(std::wstring_view name, AccountLookup& found) {
  size_t backslash = name.find(L'\\');
  if (backslash == std::wstring_view::npos) return LookupBare(name, found);
  std::wstring_view domain = name.substr(0, backslash);
  std::wstring_view account = name.substr(backslash + 1);
  if (domain.empty()) return LookupBare(account, found);
  auto either = [&](auto lookup) {
    DWORD error = lookup(Match::Exactly);
    return error == ERROR_NONE_MAPPED ? lookup(Match::IgnoringCase) : error;
  };
  if (SameNameIgnoringCase(domain, kUnixUserDomain)) {
    return either([&](Match m) { return LookupUnixUser(account, m, found); });
  }
  if (SameNameIgnoringCase(domain, kUnixGroupDomain)) {
    return either([&](Match m) { return LookupUnixGroup(account, m, true, found); });
  }
  if (const WellKnownSid* entry = FindWellKnownName(account, &domain)) {
    return AnswerWellKnown(*entry, found);
  }
  if (isComputerName_ && isComputerName_(domain)) {
    return either([&](Match m) {
      DWORD error = LookupUnixUser(account, m, found);
      return error == ERROR_NONE_MAPPED ? LookupUnixGroup(account, m, false, found) : error;
    });
  }
  if (std::optional<DomainName> known = domain_ ? domain_->LookupName(name) : std::nullopt) {
    return AnswerDomain(*known, found);
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
      return Answer(found, sid, WideFromHost(user.name), kUnixUserDomain, SidTypeUser);
    }
    if (sid.subAuthorities[0] == kUnixGroups) {
      GroupEntry group;
      Found answer = directory_.FindGroupById(id, group);
      if (answer != Found::Yes) return ErrorOf(answer, directory_);
      return Answer(found, sid, GroupName(group), kUnixGroupDomain, SidTypeGroup);
    }
  }
  if (sid == SidFromText(L"S-1-22-1")) {
    return Answer(found, sid, kUnixUserDomain, kUnixUserDomain, SidTypeDomain);
  }
  if (sid == SidFromText(L"S-1-22-2")) {
    return Answer(found, sid, kUnixGroupDomain, kUnixGroupDomain, SidTypeDomain);
  }
  if (const WellKnownSid* entry = FindWellKnownSid(sid)) return AnswerWellKnown(*entry, found);
  if (std::optional<DomainName> known = domain_ ? domain_->LookupSid(sid) : std::nullopt) {
    return AnswerDomain(*known, found);
  }
  return ERROR_NONE_MAPPED;
}

std::wstring AccountNames::ListedName(std::wstring_view name, std::wstring_view domain,
                                      const SidValue& sid) {
  AccountLookup found;
  if (!name.empty() && LookupName(name, found) == ERROR_SUCCESS && found.sid == sid) {
    return std::wstring(name);
  }
  return std::wstring(domain) + L"\\" + std::wstring(name);
}

std::wstring AccountNames::UserName(const UserEntry& user) {
  std::wstring name = WideFromHost(user.name);
  // Only a name with a backslash can lead elsewhere; a domain's account keeps the domain's name.
  if (name.find(L'\\') == std::wstring::npos || DomainAccountOf(user) != nullptr) return name;
  return ListedName(name, kUnixUserDomain, UnixSid(kUnixUsers, user.uid));
}

std::wstring AccountNames::GroupName(const GroupEntry& group) {
  SidValue sid = GroupSid(group.gid, group.name);
  std::wstring listed = ListedName(WideFromHost(group.name), kUnixGroupDomain, sid);
  AccountLookup found;
  if (!group.name.empty() && LookupName(listed, found) == ERROR_SUCCESS && found.sid == sid) {
    return listed;
  }
  return std::wstring(kUnixGroupDomain) + L"\\" + std::to_wstring(group.gid);
}

}  // namespace compat
