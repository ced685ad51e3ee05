#include "MemoryDirectory.h"

#include <algorithm>

namespace compat {

UserEntry& MemoryDirectory::AddUser(const std::string& name, uint32_t uid, uint32_t gid) {
  UserEntry user;
  user.name = name;
  user.passwordField = PasswordField::InShadow;
  user.home = "/home/" + name;
  user.shell = "/bin/sh";
  user.uid = uid;
  user.gid = gid;
  users.push_back(user);
  return users.back();
}

void MemoryDirectory::AddRootAliceAndBob() {
  AddUser("root", 0, 0);
  AddUser("alice", 1001, 1001);
  AddUser("bob", 1002, 100);
  AddGroup("root", 0);
  AddGroup("alice", 1001);
}

GroupEntry& MemoryDirectory::AddGroup(const std::string& name, uint32_t gid,
                                      std::vector<std::string> members) {
  groups.push_back(GroupEntry{name, gid, std::move(members)});
  return groups.back();
}

bool MemoryDirectory::Failing() {
  if (failWith == 0) return false;
  lastError_ = failWith;
  return true;
}

template <typename Entry, typename Key>
Found MemoryDirectory::FindIn(const std::vector<Entry>& list, Key Entry::*field, const Key& key,
                              Entry& found) {
  if (Failing()) return Found::Failed;
  auto it = std::find_if(list.begin(), list.end(), [&](const Entry& e) { return e.*field == key; });
  if (it == list.end()) return Found::No;
  found = *it;
  return Found::Yes;
}

Found MemoryDirectory::FindUser(std::string_view name, UserEntry& user) {
  return FindIn(users, &UserEntry::name, std::string(name), user);
}
Found MemoryDirectory::FindUserById(uint32_t uid, UserEntry& user) {
  return FindIn(users, &UserEntry::uid, uid, user);
}
Found MemoryDirectory::FindGroup(std::string_view name, GroupEntry& group) {
  return FindIn(groups, &GroupEntry::name, std::string(name), group);
}
Found MemoryDirectory::FindGroupById(uint32_t gid, GroupEntry& group) {
  return FindIn(groups, &GroupEntry::gid, gid, group);
}

Found MemoryDirectory::GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) {
  if (Failing()) return Found::Failed;
  gids = {user.gid};
  for (const GroupEntry& entry : groups) {
    if (std::find(entry.members.begin(), entry.members.end(), user.name) != entry.members.end()) {
      gids.push_back(entry.gid);
    }
  }
  return Found::Yes;
}

bool MemoryDirectory::ForEachUser(const std::function<void(const UserEntry&)>& visit) {
  if (Failing()) return false;
  for (const UserEntry& entry : users) visit(entry);
  return true;
}

bool MemoryDirectory::ForEachGroup(const std::function<void(const GroupEntry&)>& visit) {
  if (Failing()) return false;
  for (const GroupEntry& entry : groups) visit(entry);
  return true;
}

namespace {

class MemoryShadowStream : public ShadowStream {
 public:
  MemoryShadowStream(const std::vector<std::pair<std::string, ShadowEntry>>& entries,
                     size_t failsAfter, size_t& entriesRead)
      : entries_(entries), failsAfter_(failsAfter), entriesRead_(entriesRead) {}
  Found Next(std::string& name, ShadowEntry& entry) override {
    if (next_ == failsAfter_) return Found::Failed;
    if (next_ == entries_.size()) return Found::No;
    name = entries_[next_].first;
    entry = entries_[next_].second;
    ++next_;
    ++entriesRead_;
    return Found::Yes;
  }

 private:
  const std::vector<std::pair<std::string, ShadowEntry>>& entries_;
  size_t failsAfter_;
  size_t& entriesRead_;
  size_t next_ = 0;
};

}  // namespace

std::unique_ptr<ShadowStream> MemoryDirectory::OpenShadow() {
  return std::make_unique<MemoryShadowStream>(shadow, failWith != 0 ? 0 : shadowFailsAfter,
                                              shadowEntriesRead);
}

}  // namespace compat
