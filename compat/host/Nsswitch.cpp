#include "host/Nsswitch.h"

#include <algorithm>
#include <sstream>

#include "host/FileDescriptor.h"

namespace compat {
namespace {

// The sources of one line ("passwd: files [NOTFOUND=return] systemd"), without the actions
// (which may hold blanks: "[ NOTFOUND = return ]").
std::vector<std::string> SourcesOf(std::string_view line, bool& actions) {
  std::vector<std::string> sources;
  std::istringstream words{std::string(line)};
  std::string word;
  bool inAction = false;
  while (words >> word) {
    if (word.front() == '[') inAction = actions = true;
    if (!inAction) sources.push_back(word);
    if (word.back() == ']') inAction = false;
  }
  return sources;
}

}  // namespace

Nsswitch Nsswitch::Parse(std::string_view text) {
  // A database without a line is looked up as glibc does: the account databases in their files
  // alone, host names in DNS first.
  Nsswitch result{{"files"}, {"files"}, {"files"}, {"dns", "files"}, {}};
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    line.resize(std::min(line.size(), line.find('#')));
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string database;
    std::istringstream(line.substr(0, colon)) >> database;
    bool actions = false;
    std::vector<std::string> sources = SourcesOf(std::string_view(line).substr(colon + 1), actions);
    if (actions) result.withActions.push_back(database);
    if (database == "passwd") result.passwd = sources;
    if (database == "group") result.group = sources;
    if (database == "shadow") result.shadow = sources;
    if (database == "hosts") result.hosts = sources;
  }
  return result;
}

bool Nsswitch::GroupEnumerationFindsAll() const {
  bool enumerating = std::all_of(group.begin(), group.end(), [](const std::string& source) {
    return source == "files" || source == "systemd";
  });
  return enumerating &&
         std::find(withActions.begin(), withActions.end(), "group") == withActions.end();
}

bool Nsswitch::GroupEnumerationLeavesOut(std::string_view name) const {
  bool systemd = std::find(group.begin(), group.end(), "systemd") != group.end();
  return systemd && (name == "root" || name == "nogroup" || name == "nobody");
}

bool Nsswitch::HostLookupStaysLocal() const {
  return std::all_of(hosts.begin(), hosts.end(), [](const std::string& source) {
    return source == "files" || source == "myhostname";
  });
}

const Nsswitch& Nsswitch::OfHost() {
  static const Nsswitch host = [] {
    return Parse(ReadRegularFile("/etc/nsswitch.conf").value_or(""));
  }();
  return host;
}

}  // namespace compat
