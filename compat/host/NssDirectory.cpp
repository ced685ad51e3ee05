#include "host/NssDirectory.h"

#include <grp.h>
#include <pwd.h>
#include <shadow.h>

#include <algorithm>
#include <climits>
#include <string>

#include "host/FileDescriptor.h"
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

}  // namespace

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

bool NssDirectory::ShadowReadable() {
  if (shadowReadable_ < 0) {
    const std::vector<std::string>& sources = Nsswitch::OfHost().shadow;
    bool files = std::find(sources.begin(), sources.end(), "files") != sources.end();
    shadowReadable_ = !files || OpenRegularFile("/etc/shadow").valid() ? 1 : 0;
  }
  return shadowReadable_ == 1;
}

bool NssDirectory::ForEachUser(const std::function<void(const UserEntry&)>& visit) {
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
  Enumeration<setgrent, endgrent> stream;
  GroupEntry out;
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
    if (IsInclusionRule(OrEmpty(entry.gr_name))) continue;
    CopyGroup(entry, out);
    visit(out);
  }
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
  return std::make_unique<NssShadowStream>();
}

}  // namespace compat
