// The direct reader of the account files: the input is read as passwd, group and shadow at once
// (through a memory file, as the reader reads a file), and every entry must agree with the keys
// that lookups read from its raw line before parsing it, so that a lookup never passes over the
// line that answers it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <string_view>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  compat::FileDescriptor file(memfd_create("accounts", 0));
  if (!file.valid()) return 0;
  if (size > 0 && write(file.get(), data, size) != static_cast<ssize_t>(size)) return 0;
  std::string path = "/proc/self/fd/" + std::to_string(file.get());

  // Line by line: a parsed entry has the name and id its raw line shows.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    size_t newline = text.find('\n');
    std::string_view line = Content(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
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
