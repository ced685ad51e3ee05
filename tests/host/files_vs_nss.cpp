// The account files as the direct reader reads them and as NSS's files module reads them, in one
// form, so that a test can hold the two to the same answers: every entry of passwd, group and
// shadow in order, and the lookups by name and id of every name and id the files hold (and of a
// few they do not), memberships and shadow entries by name.
//
//   files_vs_nss direct|nss      (the files are /etc/passwd, /etc/group and /etc/shadow)
#include <grp.h>
#include <pwd.h>
#include <shadow.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/HostFiles.h"
#include "host/NssDirectory.h"

namespace {

using compat::GroupEntry;
using compat::ShadowEntry;
using compat::UserEntry;

void Print(const UserEntry& u) {
  std::printf("passwd\t%s\t%d\t%u\t%u\t%s\t%s\t%s\n", u.name.c_str(),
              static_cast<int>(u.passwordField), u.uid, u.gid, u.gecos.c_str(), u.home.c_str(),
              u.shell.c_str());
}

void Print(const GroupEntry& g) {
  std::printf("group\t%s\t%u", g.name.c_str(), g.gid);
  for (const std::string& member : g.members) std::printf("\t[%s]", member.c_str());
  std::printf("\n");
}

void Print(const std::string& name, const ShadowEntry& s) {
  std::printf("shadow\t%s\t%d\t%lld\t%lld\t%lld\t%lld\n", name.c_str(),
              static_cast<int>(s.passwordField), static_cast<long long>(s.lastChange),
              static_cast<long long>(s.maxDays), static_cast<long long>(s.inactiveDays),
              static_cast<long long>(s.expireDay));
}

UserEntry FromNss(const passwd& p) {
  UserEntry u;
  u.name = p.pw_name;
  u.passwordField = compat::ClassifyPasswordField(p.pw_passwd);
  u.uid = p.pw_uid;
  u.gid = p.pw_gid;
  u.gecos = p.pw_gecos;
  u.home = p.pw_dir;
  u.shell = p.pw_shell;
  return u;
}

GroupEntry FromNss(const group& g) {
  GroupEntry out{g.gr_name, g.gr_gid, {}};
  for (char** m = g.gr_mem; *m != nullptr; ++m) out.members.emplace_back(*m);
  return out;
}

ShadowEntry FromNss(const spwd& s) {
  ShadowEntry out;
  out.passwordField = compat::ClassifyPasswordField(s.sp_pwdp);
  out.lastChange = s.sp_lstchg;
  out.maxDays = s.sp_max;
  out.inactiveDays = s.sp_inact;
  out.expireDay = s.sp_expire;
  return out;
}

template <typename Entry>
void PrintAnswer(compat::Found answer, const Entry& entry) {
  if (answer == compat::Found::Yes) {
    Print(entry);
  } else {
    std::printf("none\n");
  }
}

// Every lookup the program makes, of every name and id the files hold and of some they do not:
// the direct side asks the directory (which reads the files), the other asks NSS itself.
void Lookups(bool direct, const std::set<std::string>& userNames, const std::set<uint32_t>& uids,
             const std::set<std::string>& groupNames, const std::set<uint32_t>& gids,
             const std::set<std::string>& shadowNames) {
  compat::NssDirectory directory;
  // Half of the lookups are asked in one batch first, as a report asks for them.
  std::vector<std::string> batchNames(userNames.begin(), userNames.end());
  batchNames.resize(batchNames.size() / 2);
  std::vector<uint32_t> batchIds(gids.begin(), gids.end());
  batchIds.resize(batchIds.size() / 2);
  if (direct) {
    directory.LookUpUsersNamed(batchNames);
    directory.LookUpGroupIds(batchIds);
  }
  UserEntry user;
  GroupEntry group;
  for (const std::string& name : userNames) {
    std::printf("user named %s: ", name.c_str());
    if (direct) {
      PrintAnswer(directory.FindUser(name, user), user);
    } else if (passwd* p = getpwnam(name.c_str())) {
      Print(FromNss(*p));
    } else {
      std::printf("none\n");
    }
    // Memberships, as getgrouplist gives them.
    std::printf("groups of %s:", name.c_str());
    passwd* p = getpwnam(name.c_str());
    if (p == nullptr) {
      std::printf(" none\n");
      continue;
    }
    std::vector<uint32_t> ids;
    if (direct) {
      directory.GroupIdsOf(FromNss(*p), ids);
    } else {
      std::vector<gid_t> list(256);
      int count = static_cast<int>(list.size());
      if (getgrouplist(name.c_str(), p->pw_gid, list.data(), &count) >= 0) {
        ids.assign(list.begin(), list.begin() + count);
      }
    }
    for (uint32_t id : ids) std::printf(" %u", id);
    std::printf("\n");
  }
  for (uint32_t id : uids) {
    std::printf("user id %u: ", id);
    if (direct) {
      PrintAnswer(directory.FindUserById(id, user), user);
    } else if (passwd* p = getpwuid(id)) {
      Print(FromNss(*p));
    } else {
      std::printf("none\n");
    }
  }
  for (const std::string& name : groupNames) {
    std::printf("group named %s: ", name.c_str());
    if (direct) {
      PrintAnswer(directory.FindGroup(name, group), group);
    } else if (struct group* g = getgrnam(name.c_str())) {
      Print(FromNss(*g));
    } else {
      std::printf("none\n");
    }
  }
  for (uint32_t id : gids) {
    std::printf("group id %u: ", id);
    if (direct) {
      PrintAnswer(directory.FindGroupById(id, group), group);
    } else if (struct group* g = getgrgid(id)) {
      Print(FromNss(*g));
    } else {
      std::printf("none\n");
    }
  }
  for (const std::string& name : shadowNames) {
    if (direct) {
      std::optional<ShadowEntry> entry = directory.FindShadow(name);
      if (entry) {
        Print(name, *entry);
      } else {
        std::printf("shadow %s: none\n", name.c_str());
      }
    } else if (spwd* s = getspnam(name.c_str())) {
      Print(name, FromNss(*s));
    } else {
      std::printf("shadow %s: none\n", name.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool direct = argc == 2 && std::strcmp(argv[1], "direct") == 0;
  std::set<std::string> names{"nobody-here", "Root", "dup", "  spaced", "+", "-evil"};
  std::set<uint32_t> ids{4242, 4294967295u};
  std::set<std::string> groupNames{"nobody-here", "Users", "+"};
  std::set<uint32_t> gids{4242};
  std::set<std::string> shadowNames{"nobody-here", "Root", "+evil"};
  // Inclusion rules of the compat format are no entries on either side.
  if (direct) {
    compat::ScanUsers("/etc/passwd", [&](const UserEntry& u) {
      Print(u);
      names.insert(u.name);
      ids.insert(u.uid);
      return true;
    });
  } else {
    setpwent();
    while (passwd* p = getpwent()) {
      if (compat::IsInclusionRule(p->pw_name)) continue;
      Print(FromNss(*p));
      names.insert(p->pw_name);
      ids.insert(p->pw_uid);
    }
    endpwent();
  }
  auto noteGroup = [&](const GroupEntry& g) {
    Print(g);
    groupNames.insert(g.name);
    gids.insert(g.gid);
    names.insert(g.members.begin(), g.members.end());
  };
  if (direct) {
    compat::ScanGroups("/etc/group", [&](const GroupEntry& g) {
      noteGroup(g);
      return true;
    });
  } else {
    setgrent();
    while (group* g = getgrent()) {
      if (!compat::IsInclusionRule(g->gr_name)) noteGroup(FromNss(*g));
    }
    endgrent();
  }
  if (direct) {
    compat::ShadowFileStream stream("/etc/shadow");
    std::string name;
    ShadowEntry entry;
    while (stream.Next(name, entry) == compat::Found::Yes) {
      Print(name, entry);
      shadowNames.insert(name);
    }
  } else {
    setspent();
    while (spwd* s = getspent()) {
      if (compat::IsInclusionRule(s->sp_namp)) continue;
      Print(s->sp_namp, FromNss(*s));
      shadowNames.insert(s->sp_namp);
    }
    endspent();
  }
  Lookups(direct, names, ids, groupNames, gids, shadowNames);
  return 0;
}
