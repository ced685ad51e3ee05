// The direct reader of the account files: the input is read as passwd, group and shadow at once
// (through a memory file, as the reader reads a file, behind comment lines that make a line of
// the input span two of the reader's reads). A walk must give the entries of the input's lines,
// and every entry must agree with the keys that lookups read from its raw line before parsing
// it, so that a lookup never passes over the line that answers it.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/FileDescriptor.h"
#include "host/HostFiles.h"

namespace {

using compat::Found;
using compat::GroupEntry;
using compat::ShadowEntry;
using compat::UserEntry;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The line as the reader hands it to a pick: after its leading blanks.
std::string_view Content(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || (line.front() >= '\t' && line.front() <= '\r'))) {
    line.remove_prefix(1);
  }
  return line;
}

// An entry as one text of its fields, to compare walks.
std::string Key(const UserEntry& user) {
  return user.name + ':' + std::to_string(static_cast<int>(user.passwordField)) + ':' +
         std::to_string(user.uid) + ':' + std::to_string(user.gid) + ':' + user.gecos + ':' +
         user.home + ':' + user.shell;
}
std::string Key(const GroupEntry& group) {
  std::string key = group.name + ':' + std::to_string(group.gid) + ':';
  for (const std::string& member : group.members) key += member + ',';
  return key;
}

// The entry that a scan visits first when only the lines that `pick` lets through are parsed.
template <typename Entry>
Entry FirstPicked(Found (*scan)(const char*, const std::function<bool(const Entry&)>&,
                                const compat::LinePick&),
                  const std::string& path, const compat::LinePick& pick) {
  Entry found;
  Found answer = scan(
      path.c_str(),
      [&](const Entry& e) {
        found = e;
        return false;
      },
      pick);
  Check(answer == Found::No);
  return found;
}

// Comment lines that bring the input's start to `length` bytes before the end of the reader's
// first read, so that a line of the input spans two reads.
std::string Filler(size_t length) {
  std::string filler;
  while (length > 0) {
    size_t line = std::min<size_t>(length, 128);
    filler += line == 1 ? std::string("\n") : "#" + std::string(line - 2, 'x') + "\n";
    length -= line;
  }
  return filler;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  compat::FileDescriptor file(memfd_create("accounts", 0));
  if (!file.valid()) return 0;
  constexpr size_t kFirstRead = compat::LineReader::kFirstBuffer;
  size_t split = size == 0 ? 0 : data[0] * 37 % (size + 1);  // where the first read ends
  std::string filler = Filler(kFirstRead - std::min(split, kFirstRead));
  if (write(file.get(), filler.data(), filler.size()) != static_cast<ssize_t>(filler.size())) {
    return 0;
  }
  if (size > 0 && write(file.get(), data, size) != static_cast<ssize_t>(size)) return 0;
  std::string path = "/proc/self/fd/" + std::to_string(file.get());

  // Line by line: a parsed entry has the name and id its raw line shows. The entries of the lines
  // the files module reads (up to a null byte, and no comment) are what a walk must give.
  std::vector<std::string> users, groups;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    size_t newline = text.find('\n');
    std::string_view line = Content(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    std::string_view read = Content(line.substr(0, line.find('\0')));
    if (!read.empty() && read.front() != '#') {
      UserEntry user;
      GroupEntry group;
      if (compat::ParsePasswdLine(read, user)) users.push_back(Key(user));
      if (compat::ParseGroupLine(read, group)) groups.push_back(Key(group));
    }
    UserEntry user;
    GroupEntry group;
    std::string name;
    ShadowEntry shadow;
    uint32_t id = 0;
    if (compat::ParsePasswdLine(line, user)) {
      Check(compat::NameOfLine(line) == user.name);
      Check(compat::IdOfLine(line, id) && id == user.uid);
    }
    if (compat::ParseGroupLine(line, group)) {
      Check(compat::NameOfLine(line) == group.name);
      Check(compat::IdOfLine(line, id) && id == group.gid);
      for (const std::string& member : group.members) {
        Check(compat::MembersMayHold(line, member));
      }
    }
    if (compat::ParseShadowLine(line, name, shadow)) Check(compat::NameOfLine(line) == name);
  }

  // A walk reads every line whole, also the one that spans two reads.
  std::vector<std::string> walkedUsers, walkedGroups;
  Found usersWalked = compat::ScanUsers(path.c_str(), [&](const UserEntry& user) {
    walkedUsers.push_back(Key(user));
    return true;
  });
  Found groupsWalked = compat::ScanGroups(path.c_str(), [&](const GroupEntry& group) {
    walkedGroups.push_back(Key(group));
    return true;
  });
  Check(usersWalked == Found::Yes && groupsWalked == Found::Yes);
  Check(walkedUsers == users && walkedGroups == groups);

  // A lookup through picked lines finds the entry that a walk over every entry finds first.
  std::map<std::string, UserEntry> firstByName;
  std::map<uint32_t, GroupEntry> firstById;
  compat::ScanUsers(path.c_str(), [&](const UserEntry& user) {
    firstByName.emplace(user.name, user);
    return firstByName.size() < 8;
  });
  compat::ScanGroups(path.c_str(), [&](const GroupEntry& group) {
    firstById.emplace(group.gid, group);
    return firstById.size() < 8;
  });
  for (const auto& [key, first] : firstByName) {
    const std::string& name = key;
    UserEntry found = FirstPicked<UserEntry>(
        compat::ScanUsers, path,
        [&name](std::string_view line) { return compat::NameOfLine(line) == name; });
    Check(found.uid == first.uid && found.shell == first.shell);
  }
  for (const auto& [key, first] : firstById) {
    uint32_t gid = key;
    GroupEntry found =
        FirstPicked<GroupEntry>(compat::ScanGroups, path, [gid](std::string_view line) {
          uint32_t id = 0;
          return compat::IdOfLine(line, id) && id == gid;
        });
    Check(found.name == first.name && found.members == first.members);
  }
  compat::ShadowFileStream stream(path.c_str());
  std::string name;
  ShadowEntry shadow;
  while (stream.Next(name, shadow) == Found::Yes) {
  }
  return 0;
}
