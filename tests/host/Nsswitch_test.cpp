#include "host/Nsswitch.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using compat::Nsswitch;
using Sources = std::vector<std::string>;

// What a configuration says about the account databases, and whether a walk through the groups
// finds the groups that lookups by name find (which decides how the administrator groups are
// read).
TEST(Nsswitch, SourcesActionsAndWhetherAGroupWalkFindsAll) {
  struct Case {
    const char* text;
    Sources passwd;
    Sources group;
    bool groupWalkFindsAll;
  };
  const Case cases[] = {
      {"", {"files"}, {"files"}, true},
      {"passwd: files systemd\ngroup: files systemd\n",
       {"files", "systemd"},
       {"files", "systemd"},
       true},
      {"group: files [NOTFOUND=return] systemd", {"files"}, {"files", "systemd"}, false},
      {"group:files [ NOTFOUND = return ] systemd", {"files"}, {"files", "systemd"}, false},
      {"group: sss files", {"files"}, {"sss", "files"}, false},
      {"group: files winbind # a comment", {"files"}, {"files", "winbind"}, false},
      {"# group: sss\n  group:   files  ", {"files"}, {"files"}, true},
      {"passwd: compat\nnonsense line\nshadow: files", {"compat"}, {"files"}, true},
  };
  for (const Case& c : cases) {
    Nsswitch parsed = Nsswitch::Parse(c.text);
    EXPECT_EQ(parsed.passwd, c.passwd) << c.text;
    EXPECT_EQ(parsed.group, c.group) << c.text;
    EXPECT_EQ(parsed.GroupEnumerationFindsAll(), c.groupWalkFindsAll) << c.text;
  }
}

// The groups nss-systemd makes up are found by name only, and only where it is a source.
TEST(Nsswitch, GroupsAWalkLeavesOut) {
  const Nsswitch files = Nsswitch::Parse("group: files");
  const Nsswitch systemd = Nsswitch::Parse("group: files systemd");
  for (const char* name : {"root", "nogroup", "nobody"}) {
    EXPECT_FALSE(files.GroupEnumerationLeavesOut(name)) << name;
    EXPECT_TRUE(systemd.GroupEnumerationLeavesOut(name)) << name;
  }
  EXPECT_FALSE(systemd.GroupEnumerationLeavesOut("sudo"));
}

// Whether the computer's DNS name can be asked for without a name server that could keep the
// report waiting: glibc's default for host names asks DNS first.
TEST(Nsswitch, WhetherAHostLookupStaysLocal) {
  const std::pair<const char*, bool> cases[] = {
      {"", false},
      {"passwd: files", false},
      {"hosts: files", true},
      {"hosts: files myhostname", true},
      {"hosts:files # dns", true},
      {"hosts: files dns", false},
      {"hosts: files [NOTFOUND=return] dns", false},
      {"hosts: files mdns4_minimal [NOTFOUND=return] dns myhostname", false},
      {"hosts: resolve [!UNAVAIL=return] files myhostname", false},
  };
  for (const auto& [text, local] : cases) {
    EXPECT_EQ(Nsswitch::Parse(text).HostLookupStaysLocal(), local) << text;
  }
}

}  // namespace
