#include "host/NssDirectory.h"

#include <grp.h>
#include <pwd.h>
#include <shadow.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "host/FileDescriptor.h"
#include "host/HostFiles.h"
#include "host/Nsswitch.h"
#include "host/NssRetry.h"

namespace compat {
namespace {

const char* OrEmpty(const char* text) {
  return text == nullptr ? "" : text;
}

void CopyUser(const passwd& entry, UserEntry& user) {
  user.name = OrEmpty(entry.pw_name);
  user.passwordField = ClassifyPasswordField(OrEmpty(entry.pw_passwd));
  user.gecos = OrEmpty(entry.pw_gecos);
  user.home = OrEmpty(entry.pw_dir);
  user.shell = OrEmpty(entry.pw_shell);
  user.uid = entry.pw_uid;
  user.gid = entry.pw_gid;
}

void CopyGroup(const group& entry, GroupEntry& out) {
  out.name = OrEmpty(entry.gr_name);
  out.gid = entry.gr_gid;
  out.members.clear();
  for (char** member = entry.gr_mem; member != nullptr && *member != nullptr; ++member) {
    out.members.emplace_back(*member);
  }
}

// The password hash itself is classified here and never kept.
void CopyShadow(const spwd& entry, ShadowEntry& out) {
  out.passwordField = ClassifyPasswordField(OrEmpty(entry.sp_pwdp));
  out.lastChange = entry.sp_lstchg;
  out.maxDays = entry.sp_max;
  out.inactiveDays = entry.sp_inact;
  out.expireDay = entry.sp_expire;
}

// Answers from the remembered lookups, or asks and remembers the answer (not a failure).
template <typename Key, typename Entry, typename Map, typename Lookup>
Found Remember(Map& remembered, const Key& key, Entry& entry, Lookup lookup) {
  auto it = remembered.find(key);
  if (it != remembered.end()) {
    if (it->second.answer == Found::Yes) entry = it->second.entry;
    return it->second.answer;
  }
  Found answer = lookup(entry);
  if (answer != Found::Failed) {
    remembered.emplace(typename Map::key_type(key), typename Map::mapped_type{answer, entry});
  }
  return answer;
}

// RAII for the enumeration streams of NSS (setpwent/endpwent and setspent/endspent).
template <void (*Open)(), void (*Close)()>
class Enumeration {
 public:
  Enumeration() { Open(); }
  ~Enumeration() { Close(); }
  Enumeration(const Enumeration&) = delete;
  Enumeration& operator=(const Enumeration&) = delete;
};

constexpr const char* kPasswd = "/etc/passwd";
constexpr const char* kGroup = "/etc/group";
constexpr const char* kShadow = "/etc/shadow";

bool FilesAlone(const std::vector<std::string>& sources) {
  return sources.size() == 1 && sources.front() == "files";
}

// The first entry of a file's picked lines that matches; Failed when the file cannot be read.
template <typename Entry, typename Scan, typename Match>
Found FirstIn(const char* path, Scan scan, const LinePick& pick, Match match, Entry& found,
              int& error) {
  bool seen = false;
  Found answer = scan(
      path,
      [&](const Entry& entry) {
        if (!match(entry)) return true;
        found = entry;
        seen = true;
        return false;
      },
      pick);
  if (answer == Found::Failed) {
    error = errno;
    return answer;
  }
  return seen ? Found::Yes : Found::No;
}

LinePick NamePicks(std::string_view name) {
  return [name](std::string_view line) { return NameOfLine(line) == name; };
}

LinePick IdPicks(uint32_t id) {
  return [id](std::string_view line) {
    uint32_t lineId = 0;
    return IdOfLine(line, lineId) && lineId == id;
  };
}

// Reads the entries of many keys in one pass of a file: the first entry of each key is
// remembered, and a key without one is remembered as found nowhere.
template <typename Key, typename Entry, typename Map, typename Scan, typename KeyOfLine,
          typename KeyOf>
Found RememberAll(const char* path, Scan scan, std::vector<Key> keys, Map& remembered,
                  KeyOfLine keyOfLine, KeyOf keyOf, int& error) {
  keys.erase(std::remove_if(keys.begin(), keys.end(),
                            [&](const Key& key) { return remembered.count(key) > 0; }),
             keys.end());
  if (keys.empty()) return Found::Yes;
  auto wanted = [&](const auto& key) { return std::find(keys.begin(), keys.end(), key); };
  Found answer = scan(
      path,
      [&](const Entry& entry) {
        auto it = wanted(keyOf(entry));
        if (it != keys.end()) {
          remembered.emplace(*it, typename Map::mapped_type{Found::Yes, entry});
          keys.erase(it);
        }
        return !keys.empty();
      },
      [&](std::string_view line) {
        auto key = keyOfLine(line);
        return key && wanted(*key) != keys.end();
      });
  if (answer == Found::Failed) {
    error = errno;
    return answer;
  }
  for (const Key& key : keys) remembered.emplace(key, typename Map::mapped_type{Found::No, {}});
  return Found::Yes;
}

std::optional<std::string_view> NameKey(std::string_view line) {
  return NameOfLine(line);
}

std::optional<uint32_t> IdKey(std::string_view line) {
  uint32_t id = 0;
  return IdOfLine(line, id) ? std::optional<uint32_t>(id) : std::nullopt;
}

}  // namespace

NssDirectory::NssDirectory()
    : passwdFiles_(FilesAlone(Nsswitch::OfHost().passwd)),
      groupFiles_(FilesAlone(Nsswitch::OfHost().group)),
      shadowFiles_(FilesAlone(Nsswitch::OfHost().shadow)) {}

Found NssDirectory::Answer(int error, bool found) {
  if (found) return Found::Yes;
  if (MeansNotFound(error)) return Found::No;
  lastError_ = error;
  return Found::Failed;
}

Found NssDirectory::FindUser(std::string_view name, UserEntry& user) {
  return Remember(usersByName_, name, user, [&](UserEntry& e) { return LookupUser(name, e); });
}

Found NssDirectory::FindUserById(uint32_t uid, UserEntry& user) {
  return Remember(usersById_, uid, user, [&](UserEntry& e) { return LookupUserById(uid, e); });
}

Found NssDirectory::FindGroup(std::string_view name, GroupEntry& group) {
  return Remember(groupsByName_, name, group, [&](GroupEntry& e) { return LookupGroup(name, e); });
}

Found NssDirectory::FindGroupById(uint32_t gid, GroupEntry& group) {
  return Remember(groupsById_, gid, group, [&](GroupEntry& e) { return LookupGroupById(gid, e); });
}

Found NssDirectory::LookupUser(std::string_view name, UserEntry& user) {
  if (passwdFiles_) {
    return FirstIn(
        kPasswd, ScanUsers, NamePicks(name), [&](const UserEntry& e) { return e.name == name; },
        user, lastError_);
  }
  std::string key(name);
  passwd entry{};
  passwd* result = nullptr;
  int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
    return getpwnam_r(key.c_str(), &entry, buffer, size, &result);
  });
  if (result != nullptr && IsInclusionRule(OrEmpty(result->pw_name))) result = nullptr;
  if (result != nullptr) CopyUser(entry, user);
  return Answer(error, result != nullptr);
}

Found NssDirectory::LookupUserById(uint32_t uid, UserEntry& user) {
  if (passwdFiles_) {
    return FirstIn(
        kPasswd, ScanUsers, IdPicks(uid), [&](const UserEntry& e) { return e.uid == uid; }, user,
        lastError_);
  }
  passwd entry{};
  passwd* result = nullptr;
  int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
    return getpwuid_r(uid, &entry, buffer, size, &result);
  });
  if (result != nullptr && IsInclusionRule(OrEmpty(result->pw_name))) result = nullptr;
  if (result != nullptr) CopyUser(entry, user);
  return Answer(error, result != nullptr);
}

Found NssDirectory::LookupGroup(std::string_view name, GroupEntry& out) {
  if (groupFiles_) {
    return FirstIn(
        kGroup, ScanGroups, NamePicks(name), [&](const GroupEntry& e) { return e.name == name; },
        out, lastError_);
  }
  std::string key(name);
  group entry{};
  group* result = nullptr;
  int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
    return getgrnam_r(key.c_str(), &entry, buffer, size, &result);
  });
  if (result != nullptr && IsInclusionRule(OrEmpty(result->gr_name))) result = nullptr;
  if (result != nullptr) CopyGroup(entry, out);
  return Answer(error, result != nullptr);
}

Found NssDirectory::LookupGroupById(uint32_t gid, GroupEntry& out) {
  if (groupFiles_) {
    return FirstIn(
        kGroup, ScanGroups, IdPicks(gid), [&](const GroupEntry& e) { return e.gid == gid; }, out,
        lastError_);
  }
  group entry{};
  group* result = nullptr;
  int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
    return getgrgid_r(gid, &entry, buffer, size, &result);
  });
  if (result != nullptr && IsInclusionRule(OrEmpty(result->gr_name))) result = nullptr;
  if (result != nullptr) CopyGroup(entry, out);
  return Answer(error, result != nullptr);
}

Found NssDirectory::GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) {
  if (groupFiles_) {
    // As getgrouplist: the primary group, then every group that lists the user, each once.
    gids.assign(1, user.gid);
    Found answer = ScanGroups(
        kGroup,
        [&](const GroupEntry& group) {
          bool member = std::find(group.members.begin(), group.members.end(), user.name) !=
                        group.members.end();
          if (member && std::find(gids.begin(), gids.end(), group.gid) == gids.end()) {
            gids.push_back(group.gid);
          }
          return true;
        },
        [&](std::string_view line) { return MembersMayHold(line, user.name); });
    if (answer == Found::Failed) lastError_ = errno;
    return answer == Found::Failed ? answer : Found::Yes;
  }
  std::vector<gid_t> list(64);
  for (;;) {
    int count = static_cast<int>(list.size());
    if (getgrouplist(user.name.c_str(), user.gid, list.data(), &count) >= 0) {
      gids.assign(list.begin(), list.begin() + count);
      return Found::Yes;
    }
    // The list was too small; count is the size it needs.
    if (count <= static_cast<int>(list.size()) || count > NGROUPS_MAX * 16) {
      lastError_ = ENOMEM;
      return Found::Failed;
    }
    list.resize(static_cast<size_t>(count));
  }
}

Found NssDirectory::FindGroupsNamed(const std::vector<std::string>& names,
                                    std::vector<GroupEntry>& groups) {
  if (groupFiles_) {
    Found answer = RememberAll<std::string, GroupEntry>(
        kGroup, ScanGroups, names, groupsByName_, NameKey,
        [](const GroupEntry& group) { return group.name; }, lastError_);
    if (answer == Found::Failed) return answer;
  } else if (Nsswitch::OfHost().GroupEnumerationFindsAll()) {
    // One walk through the groups instead of a lookup per name, each of which reads the whole
    // group file when the name is not there.
    std::vector<std::string> left = names;
    GroupEntry found;
    bool complete = WalkNssGroups([&](const group& entry) {
      auto it = std::find(left.begin(), left.end(), OrEmpty(entry.gr_name));
      if (it == left.end()) return;
      CopyGroup(entry, found);
      groupsByName_.emplace(found.name, Remembered<GroupEntry>{Found::Yes, found});
      left.erase(it);
    });
    if (!complete) return Found::Failed;
    for (const std::string& name : left) {
      groupsByName_.emplace(name, Remembered<GroupEntry>{Found::No, {}});
    }
  }
  return AccountDirectory::FindGroupsNamed(names, groups);
}

Found NssDirectory::LookUpUsersNamed(const std::vector<std::string>& names) {
  if (!passwdFiles_) return AccountDirectory::LookUpUsersNamed(names);
  return RememberAll<std::string, UserEntry>(
      kPasswd, ScanUsers, names, usersByName_, NameKey,
      [](const UserEntry& user) { return user.name; }, lastError_);
}

Found NssDirectory::LookUpGroupIds(const std::vector<uint32_t>& gids) {
  if (!groupFiles_) return AccountDirectory::LookUpGroupIds(gids);
  return RememberAll<uint32_t, GroupEntry>(
      kGroup, ScanGroups, gids, groupsById_, IdKey,
      [](const GroupEntry& group) { return group.gid; }, lastError_);
}

bool NssDirectory::ShadowReadable() {
  if (shadowReadable_ < 0) {
    const std::vector<std::string>& sources = Nsswitch::OfHost().shadow;
    bool files = std::find(sources.begin(), sources.end(), "files") != sources.end();
    shadowReadable_ = !files || OpenRegularFile(kShadow).valid() ? 1 : 0;
  }
  return shadowReadable_ == 1;
}

bool NssDirectory::ForEachUser(const std::function<void(const UserEntry&)>& visit) {
  if (passwdFiles_) {
    Found answer = ScanUsers(kPasswd, [&](const UserEntry& user) {
      visit(user);
      return true;
    });
    if (answer == Found::Failed) lastError_ = errno;
    return answer != Found::Failed;
  }
  Enumeration<setpwent, endpwent> stream;
  UserEntry user;
  for (;;) {
    passwd entry{};
    passwd* result = nullptr;
    int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
      return getpwent_r(&entry, buffer, size, &result);
    });
    if (result == nullptr) {
      // ENOENT marks the end of the list.
      if (error == ENOENT || error == 0) return true;
      lastError_ = error;
      return false;
    }
    if (IsInclusionRule(OrEmpty(entry.pw_name))) continue;
    CopyUser(entry, user);
    visit(user);
  }
}

bool NssDirectory::ForEachGroup(const std::function<void(const GroupEntry&)>& visit) {
  if (groupFiles_) {
    Found answer = ScanGroups(kGroup, [&](const GroupEntry& group) {
      visit(group);
      return true;
    });
    if (answer == Found::Failed) lastError_ = errno;
    return answer != Found::Failed;
  }
  GroupEntry out;
  return WalkNssGroups([&](const group& entry) {
    CopyGroup(entry, out);
    visit(out);
  });
}

bool NssDirectory::WalkNssGroups(const std::function<void(const group&)>& visit) {
  Enumeration<setgrent, endgrent> stream;
  for (;;) {
    group entry{};
    group* result = nullptr;
    int error = CallWithGrowingBuffer(buffer_, [&](char* buffer, size_t size) {
      return getgrent_r(&entry, buffer, size, &result);
    });
    if (result == nullptr) {
      if (error == ENOENT || error == 0) return true;
      lastError_ = error;
      return false;
    }
    if (!IsInclusionRule(OrEmpty(entry.gr_name))) visit(entry);
  }
}

bool NssDirectory::ForEachUserNamed(const NamePick& named,
                                    const std::function<void(const UserEntry&)>& visit) {
  if (!passwdFiles_) return AccountDirectory::ForEachUserNamed(named, visit);
  Found answer = ScanUsers(
      kPasswd,
      [&](const UserEntry& user) {
        visit(user);
        return true;
      },
      [&](std::string_view line) { return named(NameOfLine(line)); });
  if (answer == Found::Failed) lastError_ = errno;
  return answer != Found::Failed;
}

bool NssDirectory::ForEachGroupNamed(const NamePick& named,
                                     const std::function<void(const GroupEntry&)>& visit) {
  if (!groupFiles_) return AccountDirectory::ForEachGroupNamed(named, visit);
  Found answer = ScanGroups(
      kGroup,
      [&](const GroupEntry& group) {
        visit(group);
        return true;
      },
      [&](std::string_view line) { return named(NameOfLine(line)); });
  if (answer == Found::Failed) lastError_ = errno;
  return answer != Found::Failed;
}

namespace {

// The NSS shadow stream (setspent, getspent_r, endspent); one at a time, like NSS's own.
class NssShadowStream : public ShadowStream {
 public:
  Found Next(std::string& name, ShadowEntry& entry) override {
    spwd record{};
    spwd* result = nullptr;
    int error = CallWithGrowingBuffer(
        buffer_, [&](char* data, size_t size) { return getspent_r(&record, data, size, &result); });
    if (result == nullptr) return error == ENOENT || error == 0 ? Found::No : Found::Failed;
    name = OrEmpty(record.sp_namp);
    CopyShadow(record, entry);
    return Found::Yes;
  }

 private:
  Enumeration<setspent, endspent> stream_;
  std::vector<char> buffer_;
};

// A shadow the caller cannot read has no entry.
class EmptyShadowStream : public ShadowStream {
 public:
  Found Next(std::string&, ShadowEntry&) override { return Found::No; }
};

}  // namespace

std::unique_ptr<ShadowStream> NssDirectory::OpenShadow() {
  if (!ShadowReadable()) return std::make_unique<EmptyShadowStream>();
  if (shadowFiles_) return std::make_unique<ShadowFileStream>(kShadow);
  return std::make_unique<NssShadowStream>();
}

std::optional<ShadowEntry> NssDirectory::FindShadow(std::string_view name) {
  if (!ShadowReadable()) return std::nullopt;
  if (!shadowFiles_) return AccountDirectory::FindShadow(name);
  std::optional<ShadowEntry> found;
  ScanShadow(
      kShadow,
      [&](const std::string&, const ShadowEntry& entry) {
        found = entry;
        return false;
      },
      NamePicks(name));
  return found;
}

}  // namespace compat
