// An account directory made of data, for tests of what the host machine makes of its users
// and groups. Users and groups are found by exact name, as NSS finds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/AccountDirectory.h"

namespace compat {

class MemoryDirectory : public AccountDirectory {
 public:
  std::vector<UserEntry> users;
  std::vector<GroupEntry> groups;
  std::vector<std::pair<std::string, ShadowEntry>> shadow;  // in the order a walk reads it
  int failWith = 0;                    // every lookup fails with this errno when set
  size_t shadowFailsAfter = SIZE_MAX;  // a shadow walk fails after this many entries
  size_t shadowEntriesRead = 0;

  UserEntry& AddUser(const std::string& name, uint32_t uid, uint32_t gid);
  // The accounts the tables start from: root (0), alice (1001) with her private group, and bob
  // (1002), whose primary group is users (100), which each table adds with its own members.
  void AddRootAliceAndBob();
  GroupEntry& AddGroup(const std::string& name, uint32_t gid,
                       std::vector<std::string> members = {});

  Found FindUser(std::string_view name, UserEntry& user) override;
  Found FindUserById(uint32_t uid, UserEntry& user) override;
  Found FindGroup(std::string_view name, GroupEntry& group) override;
  Found FindGroupById(uint32_t gid, GroupEntry& group) override;
  // Like getgrouplist: the primary group first, then every group that lists the user.
  Found GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) override;
  bool ForEachUser(const std::function<void(const UserEntry&)>& visit) override;
  bool ForEachGroup(const std::function<void(const GroupEntry&)>& visit) override;
  std::unique_ptr<ShadowStream> OpenShadow() override;

 private:
  bool Failing();
  // The first entry whose field holds the key.
  template <typename Entry, typename Key>
  Found FindIn(const std::vector<Entry>& list, Key Entry::*field, const Key& key, Entry& found);
};

}  // namespace compat
