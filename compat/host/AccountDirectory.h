// Where the host keeps its users and groups. NssDirectory asks NSS; tests use one made of data.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace compat {

// What a password field of passwd or shadow says about logging in with a password.
enum class PasswordField {
  Unknown,     // nothing known: no entry, or shadow cannot be read
  InShadow,    // "x" in passwd: the password is kept in shadow
  Empty,       // "": no password is needed
  Locked,      // "!..." (passwd -l, usermod -L, or useradd without a password)
  NoPassword,  // "*...": no password can match; the account is not meant to log in by one
  Usable,      // a password hash
};

PasswordField ClassifyPasswordField(std::string_view field);

// Whether a name of passwd or group is an inclusion rule of the compat format ("+", "+name",
// "-@netgroup"), not an account.
inline bool IsInclusionRule(std::string_view name) {
  return !name.empty() && (name.front() == '+' || name.front() == '-');
}

struct UserEntry {
  std::string name;
  PasswordField passwordField = PasswordField::Unknown;
  std::string gecos;
  std::string home;
  std::string shell;
  uint32_t uid = 0;
  uint32_t gid = 0;
};

struct GroupEntry {
  std::string name;
  uint32_t gid = 0;
  std::vector<std::string> members;  // the members listed by name
};

// The aging fields of shadow, in days since 1970 or days; -1 where the field is empty.
struct ShadowEntry {
  PasswordField passwordField = PasswordField::Unknown;
  int64_t lastChange = -1;
  int64_t maxDays = -1;
  int64_t inactiveDays = -1;
  int64_t expireDay = -1;
};

// The answer of a lookup. Failed: the source could not be asked (error holds errno).
enum class Found { Yes, No, Failed };

// Shadow read entry by entry, in the source's order; closed when it goes away.
class ShadowStream {
 public:
  virtual ~ShadowStream() = default;
  // Yes with the next entry; No at the end; Failed when the source failed on the way.
  virtual Found Next(std::string& name, ShadowEntry& entry) = 0;
};

class AccountDirectory {
 public:
  virtual ~AccountDirectory() = default;

  virtual Found FindUser(std::string_view name, UserEntry& user) = 0;
  virtual Found FindUserById(uint32_t uid, UserEntry& user) = 0;
  virtual Found FindGroup(std::string_view name, GroupEntry& group) = 0;
  virtual Found FindGroupById(uint32_t gid, GroupEntry& group) = 0;
  // The ids of every group the user belongs to, the primary group among them.
  virtual Found GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) = 0;
  // The first group of each name that has one; the groups of a file are read in one pass.
  virtual Found FindGroupsNamed(const std::vector<std::string>& names,
                                std::vector<GroupEntry>& groups);
  // Asks for many users by name (groups by id) at once, where the source reads them in one
  // pass and remembers the answers, so that FindUser (FindGroupById) then answers from memory.
  virtual Found LookUpUsersNamed(const std::vector<std::string>& names);
  virtual Found LookUpGroupIds(const std::vector<uint32_t>& gids);
  // Every user (group) in the source's order; false when the source failed on the way.
  virtual bool ForEachUser(const std::function<void(const UserEntry&)>& visit) = 0;
  virtual bool ForEachGroup(const std::function<void(const GroupEntry&)>& visit) = 0;
  // The same for the entries whose name is picked, which a file source reads without parsing
  // the others.
  using NamePick = std::function<bool(std::string_view name)>;
  virtual bool ForEachUserNamed(const NamePick& named,
                                const std::function<void(const UserEntry&)>& visit);
  virtual bool ForEachGroupNamed(const NamePick& named,
                                 const std::function<void(const GroupEntry&)>& visit);
  // Shadow from its first entry; a shadow the caller cannot read ends at once (then no record a
  // source yields would be true, the one a source makes up for such a caller neither).
  virtual std::unique_ptr<ShadowStream> OpenShadow() = 0;
  // The first shadow entry of a name, as the walk of OpenShadow finds it; none when there is
  // none, shadow cannot be read or fails first.
  virtual std::optional<ShadowEntry> FindShadow(std::string_view name);

  // errno of the last Failed answer.
  int LastError() const { return lastError_; }

 protected:
  int lastError_ = 0;
};

}  // namespace compat
