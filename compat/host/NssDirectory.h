// The host's users and groups as NSS gives them (passwd, group, shadow, initgroups). A database
// that nsswitch.conf gives to files alone is read from its file directly (HostFiles), which is
// the same answer many times faster.
#pragma once

#include <map>

#include "host/AccountDirectory.h"

namespace compat {

// Lookups are remembered for the life of the object (one run of the program): a report asks for
// the same user and groups several times, and with large files every NSS lookup is a scan.
class NssDirectory : public AccountDirectory {
 public:
  NssDirectory();
  Found FindUser(std::string_view name, UserEntry& user) override;
  Found FindUserById(uint32_t uid, UserEntry& user) override;
  Found FindGroup(std::string_view name, GroupEntry& group) override;
  Found FindGroupById(uint32_t gid, GroupEntry& group) override;
  Found GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) override;
  Found FindGroupsNamed(const std::vector<std::string>& names,
                        std::vector<GroupEntry>& groups) override;
  Found LookUpUsersNamed(const std::vector<std::string>& names) override;
  Found LookUpGroupIds(const std::vector<uint32_t>& gids) override;
  bool ForEachUser(const std::function<void(const UserEntry&)>& visit) override;
  bool ForEachGroup(const std::function<void(const GroupEntry&)>& visit) override;
  bool ForEachUserNamed(const NamePick& named,
                        const std::function<void(const UserEntry&)>& visit) override;
  bool ForEachGroupNamed(const NamePick& named,
                         const std::function<void(const GroupEntry&)>& visit) override;
  std::unique_ptr<ShadowStream> OpenShadow() override;
  std::optional<ShadowEntry> FindShadow(std::string_view name) override;

 private:
  template <typename Entry>
  struct Remembered {
    Found answer;
    Entry entry;
  };

  // Whether the caller can read shadow: false when nsswitch.conf names its file and the caller
  // cannot open it (NSS would then go on to a source that makes records up).
  bool ShadowReadable();
  // Whether NSS's answers for passwd or group cannot stand: where nsswitch.conf names the file
  // (files or compat) among other sources and the caller cannot open it (no permission), glibc
  // passes over the file and the other sources answer "none" for every account it holds. The
  // database then fails with that error, as it does where the file is its one source (and is read
  // directly, which fails by itself: then these are false).
  bool PasswdUnreadable();
  bool GroupUnreadable();
  bool Unreadable(const char* path, const std::vector<std::string>& sources, int& openError);

  std::map<std::string, Remembered<UserEntry>, std::less<>> usersByName_;
  std::map<uint32_t, Remembered<UserEntry>> usersById_;
  std::map<std::string, Remembered<GroupEntry>, std::less<>> groupsByName_;
  std::map<uint32_t, Remembered<GroupEntry>> groupsById_;

  std::vector<char> buffer_;  // kept between lookups, so a large record is grown for only once
  int shadowReadable_ = -1;   // not asked yet
  int passwdOpenError_ = -1;  // not asked yet; else the error that opening the file gave, or 0
  int groupOpenError_ = -1;
  // The databases read from their files directly.
  bool passwdFiles_;
  bool groupFiles_;
  bool shadowFiles_;
};

}  // namespace compat
