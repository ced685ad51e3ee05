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
#include "host/CtrlSignals.h"
#include "host/Nsswitch.h"
#include "host/NssRetry.h"

namespace compat {
namespace {

const char* OrEmpty(const char* text) {
  return text == nullptr ? "" : text;
}

std::string_view NameOf(const passwd& entry) {
  return OrEmpty(entry.pw_name);
}
std::string_view NameOf(const group& entry) {
  return OrEmpty(entry.gr_name);
}

void Copy(const passwd& entry, UserEntry& user) {
  user.name = OrEmpty(entry.pw_name);
  user.passwordField = ClassifyPasswordField(OrEmpty(entry.pw_passwd));
  user.gecos = OrEmpty(entry.pw_gecos);
  user.home = OrEmpty(entry.pw_dir);
  user.shell = OrEmpty(entry.pw_shell);
  user.uid = entry.pw_uid;
  user.gid = entry.pw_gid;
}

void Copy(const group& entry, GroupEntry& out) {
  out.name = OrEmpty(entry.gr_name);
  out.gid = entry.gr_gid;
  out.members.clear();
  for (char** member = entry.gr_mem; member != nullptr && *member != nullptr; ++member) {
    out.members.emplace_back(*member);
  }
}

// The password hash itself is classified here and never kept.
void Copy(const spwd& entry, ShadowEntry& out) {
  out.passwordField = ClassifyPasswordField(OrEmpty(entry.sp_pwdp));
  out.lastChange = entry.sp_lstchg;
  out.maxDays = entry.sp_max;
  out.inactiveDays = entry.sp_inact;
  out.expireDay = entry.sp_expire;
}

// The keys an entry is looked up by, and the raw lines that may hold an entry of a key.
bool HasKey(const UserEntry& user, std::string_view name) {
  return user.name == name;
}
bool HasKey(const UserEntry& user, uint32_t uid) {
  return user.uid == uid;
}
bool HasKey(const GroupEntry& group, std::string_view name) {
  return group.name == name;
}
bool HasKey(const GroupEntry& group, uint32_t gid) {
  return group.gid == gid;
}
std::optional<std::string_view> KeyOfLine(std::string_view line, std::string_view) {
  return NameOfLine(line);
}
std::optional<uint32_t> KeyOfLine(std::string_view line, uint32_t) {
  uint32_t id = 0;
  return IdOfLine(line, id) ? std::optional<uint32_t>(id) : std::nullopt;
}
template <typename Key>
LinePick Picks(Key key) {
  return [key](std::string_view line) { return KeyOfLine(line, key) == key; };
}

// RAII for the enumeration streams of NSS (setpwent/endpwent and the like).
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

// Whether a source that reads the database's file is named: the files module, or the compat
// module, which reads the same file.
bool ReadsTheFile(const std::vector<std::string>& sources) {
  return std::find_if(sources.begin(), sources.end(), [](const std::string& source) {
           return source == "files" || source == "compat";
         }) != sources.end();
}

template <typename Entry>
using Scan = Found (*)(const char*, const std::function<bool(const Entry&)>&, const LinePick&);

// The first entry of a key in a file; Failed when the file cannot be read.
template <typename Entry, typename Key>
Found FirstIn(const char* path, Scan<Entry> scan, Key key, Entry& found, int& error) {
  bool seen = false;
  Found answer = scan(
      path,
      [&](const Entry& entry) {
        if (!HasKey(entry, key)) return true;
        found = entry;
        seen = true;
        return false;
      },
      Picks(key));
  if (answer == Found::Failed) error = errno;
  return answer == Found::Failed ? answer : seen ? Found::Yes : Found::No;
}

// Reads the entries of many keys in one pass of a file: the first entry of each key is
// remembered, and a key without one is remembered as found nowhere.
template <typename Key, typename Entry, typename Map>
Found RememberAll(const char* path, Scan<Entry> scan, std::vector<Key> keys, Map& remembered,
                  int& error) {
  keys.erase(std::remove_if(keys.begin(), keys.end(),
                            [&](const Key& key) { return remembered.count(key) > 0; }),
             keys.end());
  if (keys.empty()) return Found::Yes;
  // Every line's key is looked for among the wanted ones: a sorted copy makes that a binary
  // search, for the hundreds of groups of a user in a file of any length.
  std::vector<Key> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  Found answer = scan(
      path,
      [&](const Entry& entry) {
        auto it = std::find_if(keys.begin(), keys.end(),
                               [&](const Key& key) { return HasKey(entry, key); });
        if (it != keys.end()) {
          remembered.emplace(*it, typename Map::mapped_type{Found::Yes, entry});
          keys.erase(it);
        }
        return !keys.empty();
      },
      [&](std::string_view line) {
        auto key = KeyOfLine(line, Key{});
        return key && std::binary_search(sorted.begin(), sorted.end(), *key);
      });
  if (answer == Found::Failed) {
    error = errno;
    return answer;
  }
  for (const Key& key : keys) remembered.emplace(key, typename Map::mapped_type{Found::No, {}});
  return Found::Yes;
}

// Every entry of a file, or of its picked lines.
template <typename Entry>
bool ScanAll(const char* path, Scan<Entry> scan, const std::function<void(const Entry&)>& visit,
             const LinePick& pick, int& error) {
  Found answer = scan(
      path,
      [&](const Entry& entry) {
        visit(entry);
        return true;
      },
      pick);
  if (answer == Found::Failed) error = errno;
  return answer != Found::Failed;
}

// One reentrant NSS lookup (getpwnam_r and the like) into an entry; an inclusion rule of the
// compat format is no entry.
template <typename Record, typename Arg, typename Entry>
Found AskNss(int (*call)(Arg, Record*, char*, size_t, Record**), Arg arg, std::vector<char>& buffer,
             Entry& out, int& lastError) {
  Record record{};
  Record* result = nullptr;
  int error = CallWithGrowingBuffer(
      buffer, [&](char* data, size_t size) { return call(arg, &record, data, size, &result); });
  if (result != nullptr && IsInclusionRule(NameOf(record))) result = nullptr;
  if (result != nullptr) {
    Copy(record, out);
    return Found::Yes;
  }
  if (MeansNotFound(error)) return Found::No;
  lastError = error;
  return Found::Failed;
}

// The entry of a key: from the remembered lookups, else from the database's file or NSS, and
// remembered unless the source failed.
template <typename Key, typename Entry, typename Map, typename Record, typename Arg>
Found LookUp(Map& remembered, const Key& key, Entry& entry, bool files, const char* path,
             Scan<Entry> scan, int (*call)(Arg, Record*, char*, size_t, Record**), Arg arg,
             std::vector<char>& buffer, int& lastError) {
  auto it = remembered.find(key);
  if (it != remembered.end()) {
    if (it->second.answer == Found::Yes) entry = it->second.entry;
    return it->second.answer;
  }
  Found answer = files ? FirstIn(path, scan, key, entry, lastError)
                       : AskNss(call, arg, buffer, entry, lastError);
  if (answer != Found::Failed) {
    remembered.emplace(typename Map::key_type(key), typename Map::mapped_type{answer, entry});
  }
  return answer;
}

// Every record an NSS enumeration hands out, inclusion rules left out; false when a source
// failed on the way (ENOENT marks the end).
template <typename Record, void (*Open)(), void (*Close)(),
          int (*Next)(Record*, char*, size_t, Record**)>
bool WalkNss(std::vector<char>& buffer, int& lastError,
             const std::function<void(const Record&)>& visit) {
  Enumeration<Open, Close> stream;
  for (;;) {
    Record record{};
    Record* result = nullptr;
    int error = CallWithGrowingBuffer(
        buffer, [&](char* data, size_t size) { return Next(&record, data, size, &result); });
    if (result == nullptr) {
      if (error == ENOENT || error == 0) return true;
      lastError = error;
      return false;
    }
    if (!IsInclusionRule(NameOf(record))) visit(record);
  }
}

// Every entry whose name is picked (with no pick, every entry) from the database's file, where
// only the lines of picked names are parsed, or from NSS.
template <typename Record, void (*Open)(), void (*Close)(),
          int (*Next)(Record*, char*, size_t, Record**), typename Entry>
bool ForEachNamed(bool files, const char* path, Scan<Entry> scan,
                  const AccountDirectory::NamePick& named,
                  const std::function<void(const Entry&)>& visit, std::vector<char>& buffer,
                  int& lastError) {
  if (files) {
    LinePick pick;
    if (named) pick = [&](std::string_view line) { return named(NameOfLine(line)); };
    return ScanAll<Entry>(path, scan, visit, pick, lastError);
  }
  Entry entry;
  return WalkNss<Record, Open, Close, Next>(buffer, lastError, [&](const Record& record) {
    if (named && !named(NameOf(record))) return;
    Copy(record, entry);
    visit(entry);
  });
}

}  // namespace

NssDirectory::NssDirectory()
    : passwdFiles_(FilesAlone(Nsswitch::OfHost().passwd)),
      groupFiles_(FilesAlone(Nsswitch::OfHost().group)),
      shadowFiles_(FilesAlone(Nsswitch::OfHost().shadow)) {
  // A source other than the files may wait for its daemon: control signals are answered as they
  // come from then on.
  if (!passwdFiles_ || !groupFiles_ || !shadowFiles_) TakeControlSignalsOnAThread();
}

bool NssDirectory::PasswdUnreadable() {
  return !passwdFiles_ && Unreadable(kPasswd, Nsswitch::OfHost().passwd, passwdOpenError_);
}

bool NssDirectory::GroupUnreadable() {
  return !groupFiles_ && Unreadable(kGroup, Nsswitch::OfHost().group, groupOpenError_);
}

bool NssDirectory::Unreadable(const char* path, const std::vector<std::string>& sources,
                              int& openError) {
  if (openError < 0) {
    openError = 0;
    // A missing file holds no entry, and one that is no regular file is the modules' to read;
    // only a file the caller may not open hides entries.
    if (ReadsTheFile(sources) && !OpenRegularFile(path).valid() && errno != ENOENT &&
        errno != EINVAL) {
      openError = errno;
    }
  }
  if (openError != 0) lastError_ = openError;
  return openError != 0;
}

Found NssDirectory::FindUser(std::string_view name, UserEntry& user) {
  if (PasswdUnreadable()) return Found::Failed;
  std::string key(name);
  return LookUp(usersByName_, name, user, passwdFiles_, kPasswd, ScanUsers, getpwnam_r, key.c_str(),
                buffer_, lastError_);
}

Found NssDirectory::FindUserById(uint32_t uid, UserEntry& user) {
  if (PasswdUnreadable()) return Found::Failed;
  return LookUp(usersById_, uid, user, passwdFiles_, kPasswd, ScanUsers, getpwuid_r, uid, buffer_,
                lastError_);
}

Found NssDirectory::FindGroup(std::string_view name, GroupEntry& group) {
  if (GroupUnreadable()) return Found::Failed;
  std::string key(name);
  return LookUp(groupsByName_, name, group, groupFiles_, kGroup, ScanGroups, getgrnam_r,
                key.c_str(), buffer_, lastError_);
}

Found NssDirectory::FindGroupById(uint32_t gid, GroupEntry& group) {
  if (GroupUnreadable()) return Found::Failed;
  return LookUp(groupsById_, gid, group, groupFiles_, kGroup, ScanGroups, getgrgid_r, gid, buffer_,
                lastError_);
}

Found NssDirectory::GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) {
  if (groupFiles_) {
    // As getgrouplist: the primary group, then every group that lists the user, each once.
    gids.assign(1, user.gid);
    auto pick = [&](std::string_view line) { return MembersMayHold(line, user.name); };
    return ScanAll<GroupEntry>(
               kGroup, ScanGroups,
               [&](const GroupEntry& group) {
                 bool member = std::find(group.members.begin(), group.members.end(), user.name) !=
                               group.members.end();
                 if (member && std::find(gids.begin(), gids.end(), group.gid) == gids.end()) {
                   gids.push_back(group.gid);
                 }
               },
               pick, lastError_)
               ? Found::Yes
               : Found::Failed;
  }
  if (GroupUnreadable()) return Found::Failed;
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
    if (RememberAll(kGroup, ScanGroups, names, groupsByName_, lastError_) == Found::Failed) {
      return Found::Failed;
    }
  } else if (GroupUnreadable()) {
    return Found::Failed;
  } else if (Nsswitch::OfHost().GroupEnumerationFindsAll()) {
    // One walk through the groups instead of a lookup per name, each of which reads the whole
    // group file when the name is not there; none for names already known.
    std::vector<std::string> left;
    for (const std::string& name : names) {
      if (groupsByName_.count(name) == 0) left.push_back(name);
    }
    GroupEntry found;
    bool complete =
        left.empty() ||
        WalkNss<::group, setgrent, endgrent, getgrent_r>(
            buffer_, lastError_, [&](const ::group& entry) {
              auto it = std::find(left.begin(), left.end(), NameOf(entry));
              if (it == left.end()) return;
              Copy(entry, found);
              groupsByName_.emplace(found.name, Remembered<GroupEntry>{Found::Yes, found});
              left.erase(it);
            });
    if (!complete) return Found::Failed;
    for (const std::string& name : left) {
      if (!Nsswitch::OfHost().GroupEnumerationLeavesOut(name)) {
        groupsByName_.emplace(name, Remembered<GroupEntry>{Found::No, {}});
      }
    }
  }
  return AccountDirectory::FindGroupsNamed(names, groups);
}

Found NssDirectory::LookUpUsersNamed(const std::vector<std::string>& names) {
  if (!passwdFiles_) return AccountDirectory::LookUpUsersNamed(names);
  return RememberAll(kPasswd, ScanUsers, names, usersByName_, lastError_);
}

Found NssDirectory::LookUpGroupIds(const std::vector<uint32_t>& gids) {
  if (!groupFiles_) return AccountDirectory::LookUpGroupIds(gids);
  return RememberAll(kGroup, ScanGroups, gids, groupsById_, lastError_);
}

bool NssDirectory::ShadowReadable() {
  if (shadowReadable_ < 0) {
    bool file = ReadsTheFile(Nsswitch::OfHost().shadow);
    shadowReadable_ = !file || OpenRegularFile(kShadow).valid() ? 1 : 0;
  }
  return shadowReadable_ == 1;
}

bool NssDirectory::ForEachUser(const std::function<void(const UserEntry&)>& visit) {
  return ForEachUserNamed(nullptr, visit);
}

bool NssDirectory::ForEachGroup(const std::function<void(const GroupEntry&)>& visit) {
  return ForEachGroupNamed(nullptr, visit);
}

bool NssDirectory::ForEachUserNamed(const NamePick& named,
                                    const std::function<void(const UserEntry&)>& visit) {
  if (PasswdUnreadable()) return false;
  return ForEachNamed<passwd, setpwent, endpwent, getpwent_r>(passwdFiles_, kPasswd, ScanUsers,
                                                              named, visit, buffer_, lastError_);
}

bool NssDirectory::ForEachGroupNamed(const NamePick& named,
                                     const std::function<void(const GroupEntry&)>& visit) {
  if (GroupUnreadable()) return false;
  return ForEachNamed<::group, setgrent, endgrent, getgrent_r>(groupFiles_, kGroup, ScanGroups,
                                                               named, visit, buffer_, lastError_);
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
    Copy(record, entry);
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
      Picks(name));
  return found;
}

}  // namespace compat
