// The domain module against scripted library answers: the fake library built beside this test
// stands in for libwbclient, libsss_nss_idmap and libnetapi, so every path runs in a real helper
// process, as in the program, without a domain.
#include "host/domain/DomainLink.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <resolv.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include "ScriptFolder.h"
#include "host/domain/Wire.h"

namespace compat {
namespace {

using std::chrono::milliseconds;

DomainName Named(const wchar_t* domain, const std::string& name) {
  DomainName named;
  named.domain = domain;
  named.name.assign(name.begin(), name.end());
  return named;
}

TEST(DomainWire, MessagesCrossASocketWholeOrNotAtAll) {
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  FileDescriptor sender(ends[0]), receiver(ends[1]);
  const domain::Message messages[] = {
      {L"account", L"", L"Ünïcode\\name", std::wstring(20000, L'x')}, {}};
  for (const domain::Message& message : messages) {
    ASSERT_TRUE(domain::SendMessage(sender.get(), message));
    EXPECT_EQ(domain::ReceiveMessage(receiver.get(), std::nullopt), message);
  }
  // A frame whose last text has no end, then a frame cut short by the end of the stream.
  const uint32_t overrun[] = {12, 'a', 0, 'b'};
  const uint32_t cut[] = {400, 'c'};
  for (const auto& bytes : {std::string(reinterpret_cast<const char*>(overrun), sizeof overrun),
                            std::string(reinterpret_cast<const char*>(cut), sizeof cut)}) {
    ASSERT_EQ(send(sender.get(), bytes.data(), bytes.size(), 0),
              static_cast<ssize_t>(bytes.size()));
  }
  EXPECT_EQ(domain::ReceiveMessage(receiver.get(), std::nullopt), std::nullopt);
  sender.Reset();
  EXPECT_EQ(domain::ReceiveMessage(receiver.get(), std::nullopt), std::nullopt);
}

TEST(DomainWire, NamesAndRecordsComeBackAsTheyWent) {
  DomainName name{SidFromText(L"S-1-5-21-1-2-3-513"), L"SAMDOM", L"Domain Users", SidTypeGroup,
                  10000};
  domain::abi::UserInfo3 info{};
  info.usri3_name = "user001";
  info.usri3_full_name = "Erin \xC3\x96tzi";
  info.usri3_flags = 0x203;
  info.usri3_acct_expires = 1804425204;
  uint8_t hours[21] = {0xFF, 0, 0x0F};
  info.usri3_logon_hours = hours;
  domain::Message message;
  domain::PutName(message, name);
  name.gid.reset();
  domain::PutName(message, name);
  domain::PutRecord(message, info);
  size_t at = 0;
  DomainName first, second;
  AccountRecord back;
  ASSERT_TRUE(domain::TakeName(message, at, first) && domain::TakeName(message, at, second));
  ASSERT_TRUE(domain::TakeRecord(message, at, back));
  EXPECT_EQ(at, message.size());
  EXPECT_EQ(first.sid, name.sid);
  EXPECT_EQ(first.Qualified(), L"SAMDOM\\Domain Users");
  EXPECT_EQ(first.use, SidTypeGroup);
  EXPECT_EQ(first.gid, 10000u);
  EXPECT_EQ(second.gid, std::nullopt);
  EXPECT_EQ(back.name, L"user001");
  EXPECT_EQ(back.fullName, L"Erin Ötzi");
  EXPECT_EQ(back.comment, L"");  // none given
  EXPECT_EQ(back.flags, 0x203u);
  EXPECT_EQ(back.acctExpires, 1804425204u);
  EXPECT_EQ(back.logonHours, (std::array<BYTE, 21>{0xFF, 0, 0x0F}));
  info.usri3_logon_hours = nullptr;
  message.clear();
  domain::PutRecord(message, info);
  at = 0;
  ASSERT_TRUE(domain::TakeRecord(message, at, back));
  EXPECT_EQ(back.logonHours, std::nullopt);
  message.pop_back();
  at = 0;
  EXPECT_FALSE(domain::TakeRecord(message, at, back));
}

TEST(DomainRecord, TheDomainsFieldsOverTheHostsButNameAndPrivilege) {
  AccountRecord host;
  host.name = L"SAMDOM\\user001";
  host.priv = USER_PRIV_ADMIN;
  host.homeDir = L"/home/SAMDOM/user001";
  host.scriptPath = L"/bin/bash";
  host.fullName = L"from GECOS";
  host.userId = 20001;
  AccountRecord dc;
  dc.name = L"user001";
  dc.priv = USER_PRIV_USER;
  dc.fullName = L"Erin Example";
  dc.scriptPath = L"logon.cmd";
  dc.userId = 1104;
  dc.numLogons = 0;
  MergeDomainRecord(dc, host);
  struct Case {
    const char* field;
    std::wstring got, want;
  } cases[] = {
      {"name", host.name, L"SAMDOM\\user001"},
      {"priv", std::to_wstring(host.priv), std::to_wstring(USER_PRIV_ADMIN)},
      {"full name", host.fullName, L"Erin Example"},
      {"home (the DC has none)", host.homeDir, L"/home/SAMDOM/user001"},
      {"script path", host.scriptPath, L"logon.cmd"},
      {"user id", std::to_wstring(host.userId), L"1104"},
      {"logons", std::to_wstring(host.numLogons), L"0"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.field;
}

TEST(IsDomainAdmins, OnlyRid512OfADomain) {
  struct Case {
    const wchar_t* sid;
    bool admins;
  } cases[] = {
      {L"S-1-5-21-1561732646-971404620-301228996-512", true},
      {L"S-1-5-21-1-2-3-513", false},
      {L"S-1-5-21-1-2-512", false},      // too short for a domain SID
      {L"S-1-5-21-1-2-3-4-512", false},  // too long
      {L"S-1-5-32-512", false},          // BUILTIN
      {L"S-1-22-2-512", false},          // a Unix group
      {L"S-1-1-21-1-2-3-512", false},    // not NT AUTHORITY
  };
  for (const Case& c : cases) EXPECT_EQ(IsDomainAdmins(SidFromText(c.sid)), c.admins) << c.sid;
}

TEST(FirstSrvTarget, TakesTheLowestPriority) {
  // An answer to "_ldap._tcp.dc._msdcs.samdom.example.com SRV" with two records, the second of
  // a lower (preferred) priority, built the way a DNS server sends it.
  unsigned char packet[512];
  int length = res_mkquery(ns_o_query, "_ldap._tcp.dc._msdcs.samdom.example.com", C_IN, ns_t_srv,
                           nullptr, 0, nullptr, packet, sizeof packet);
  ASSERT_GT(length, 0);
  packet[7] = 2;  // two answers
  const unsigned char* names[] = {packet, nullptr};
  auto record = [&](int priority, const char* target) {
    unsigned char* at = packet + length;
    at[0] = 0xC0, at[1] = 12;  // the name: a pointer to the question's
    const unsigned char fixed[] = {0, 33, 0, 1, 0, 0, 0, 60};
    std::copy(std::begin(fixed), std::end(fixed), at + 2);
    unsigned char* data = at + 12;
    data[0] = 0, data[1] = static_cast<unsigned char>(priority);
    data[2] = 0, data[3] = 100, data[4] = 1, data[5] = 133;
    int targetLength = dn_comp(target, data + 6, 200, const_cast<unsigned char**>(names), nullptr);
    ASSERT_GT(targetLength, 0);
    at[10] = 0, at[11] = static_cast<unsigned char>(6 + targetLength);
    length += 12 + 6 + targetLength;
  };
  record(10, "dc2.samdom.example.com");
  int firstEnd = length;
  record(0, "dc1.samdom.example.com");
  EXPECT_EQ(domain::FirstSrvTarget(packet, length), "dc1.samdom.example.com");
  // An answer that ends before its records do: the records read whole still count.
  const struct {
    int length;
    const char* target;
  } cuts[] = {
      {11, ""},                                // within the header
      {length - 3, "dc2.samdom.example.com"},  // the preferred record cut short
      {firstEnd - 1, ""},                      // the first record cut short
      {firstEnd, "dc2.samdom.example.com"},    // the second record missing
  };
  for (const auto& cut : cuts) {
    EXPECT_EQ(domain::FirstSrvTarget(packet, cut.length), cut.target) << cut.length;
  }
}

// A private folder with a scripted library answer file, and the users the scripts know.
class ScriptedDomain : public ::testing::Test {
 protected:
  void SetUp() override {
    // No ticket unless a test makes one: never the host's own default cache.
    setenv("KRB5CCNAME", ("FILE:" + folder_.Path("no-ticket")).c_str(), 1);
    options_.wbclient = options_.sssIdmap = options_.netapi = options_.credentials =
        options_.hostconfig = USERLENS_FAKE_LIBRARY;
    options_.budget = milliseconds(1500);
    user001_.name = "SAMDOM\\user001";
    user001_.uid = 20001;
    user001_.gid = 10000;
  }
  void TearDown() override { unsetenv("KRB5CCNAME"); }
  void Write(const std::string& name, const std::string& text) { folder_.Write(name, text); }
  // A ticket cache of the caller's in the folder, named by KRB5CCNAME.
  void UseTicket() {
    Write("ccache", "");
    setenv("KRB5CCNAME", ("FILE:" + folder_.Path("ccache")).c_str(), 1);
  }
  // What the list shows of a domain account of that name and uid.
  std::optional<ListedAccount> ListedAs(DomainLink& link, const char* name, uint32_t uid) {
    UserEntry user = user001_;
    user.name = name;
    user.uid = uid;
    return link.Listed(user);
  }
  std::string Read(const std::string& name) { return folder_.Read(name); }
  std::unique_ptr<DomainLink> Open(const char* nsswitch = "passwd: files winbind\n") {
    return DomainLink::Open(Nsswitch::Parse(nsswitch), options_);
  }

  ScriptFolder folder_{true};
  DomainOptions options_;
  UserEntry user001_;
};

constexpr const char* kWinbind =
    "ping 0\n"
    "uid2sid 20001 S-1-5-21-1-2-3-1104\n"
    "uid2sid 3000 S-1-22-1-3000\n"
    "uid2sid 0 S-1-5-21-1-2-3-500\n"
    "sid2name S-1-5-21-1-2-3-500 SAMDOM Administrator 1\n"
    "gid2sid 10000 S-1-5-21-1-2-3-513\n"
    "sid2gid S-1-5-21-1-2-3-513 10000\n"
    "sid2gid S-1-5-21-1-2-3-512 10512\n"
    "sid2name S-1-5-21-1-2-3-1104 SAMDOM user001 1\n"
    "sid2name S-1-5-21-1-2-3-513 SAMDOM Domain Users 2\n"
    "sid2name S-1-5-21-1-2-3-512 SAMDOM Domain Admins 2\n"
    "sid2name S-1-5-21-1-2-3-572 SAMDOM Denied RODC Password Replication Group 4\n"
    "usersids S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-513 S-1-5-21-1-2-3-512 "
    "S-1-5-21-1-2-3-572 S-1-5-21-1-2-3-9999\n"
    "dc SAMDOM dc1.samdom.example.com\n"
    "credentials ccache\n"
    "user user001 Erin_Example 513 1796649170 12 159663333\n"
    "user user003 - 515 0 0 1804425204\n";

TEST_F(ScriptedDomain, NeitherSourceNamedStartsNothing) {
  Write("script", kWinbind);
  for (const char* nsswitch : {"passwd: files systemd\ngroup: files\n", "hosts: files winbind\n",
                               "passwd: files winbind2 sssd\n", ""}) {
    EXPECT_EQ(Open(nsswitch), nullptr) << nsswitch;
  }
  EXPECT_EQ(Read("calls"), "");  // the fake library was never loaded
}

TEST_F(ScriptedDomain, WinbindNamesAccountsGroupsAndSids) {
  Write("script", kWinbind);
  {
    std::unique_ptr<DomainLink> link = Open("passwd: files [NOTFOUND=return] winbind\n");
    ASSERT_NE(link, nullptr);
    const DomainAccount* account = link->Account(user001_);
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(account->user.sid, SidFromText(L"S-1-5-21-1-2-3-1104"));
    EXPECT_EQ(account->user.Qualified(), L"SAMDOM\\user001");
    EXPECT_EQ(account->user.use, SidTypeUser);
    // The user's own SID and a SID without a name are left out; a group keeps its gid.
    struct Group {
      const wchar_t* name;
      SID_NAME_USE use;
      std::optional<uint32_t> gid;
    } groups[] = {{L"SAMDOM\\Domain Users", SidTypeGroup, 10000},
                  {L"SAMDOM\\Domain Admins", SidTypeGroup, 10512},
                  {L"SAMDOM\\Denied RODC Password Replication Group", SidTypeAlias, std::nullopt}};
    ASSERT_EQ(account->groups.size(), std::size(groups));
    for (size_t i = 0; i < std::size(groups); ++i) {
      EXPECT_EQ(account->groups[i].Qualified(), groups[i].name);
      EXPECT_EQ(account->groups[i].use, groups[i].use) << i;
      EXPECT_EQ(account->groups[i].gid, groups[i].gid) << i;
    }
    // What the account's answer told is remembered: no more calls for these.
    std::string calls = Read("calls");
    EXPECT_EQ(link->Group(10512, "SAMDOM\\domain admins")->Qualified(), L"SAMDOM\\Domain Admins");
    EXPECT_EQ(link->LookupSid(SidFromText(L"S-1-5-21-1-2-3-513"))->name, L"Domain Users");
    EXPECT_EQ(link->LookupName(L"samdom\\DOMAIN USERS")->sid, SidFromText(L"S-1-5-21-1-2-3-513"));
    EXPECT_EQ(link->Account(user001_), account);
    EXPECT_EQ(Read("calls"), calls);
    // An id winbind does not map, maps to a Unix SID of the host's own, or names otherwise than
    // NSS (Samba's DC maps root to Administrator, users to Domain Users) is the host's.
    struct Local {
      const char* name;
      uint32_t uid;
    } locals[] = {{"SAMDOM\\user002", 20002}, {"SAMDOM\\user001", 3000}, {"root", 0}};
    for (const Local& l : locals) {
      UserEntry local = user001_;
      local.name = l.name;
      local.uid = l.uid;
      EXPECT_EQ(link->Account(local), nullptr) << l.name << " " << l.uid;
    }
    EXPECT_EQ(link->Group(27, "sudo"), std::nullopt);
    EXPECT_EQ(link->Group(10000, "users"), std::nullopt);
    EXPECT_EQ(link->Group(10000, "samdom\\DOMAIN USERS")->name, L"Domain Users");
    EXPECT_EQ(link->Group(10000, "")->name, L"Domain Users");  // a gid without a name
    EXPECT_EQ(link->LookupSid(SidFromText(L"S-1-5-21-1-2-3-9999")), std::nullopt);
    EXPECT_EQ(link->LookupName(L"SAMDOM\\nobody"), std::nullopt);
    EXPECT_LT(link->Waited(), milliseconds(1500));
  }
  EXPECT_EQ(Read("log"), "outstanding 0\n");  // every buffer went back before the unload
}

// winbind that cannot tell a user's groups (its DC away, nothing cached) leaves them to the
// user's NSS groups that it maps, as for SSSD, instead of giving the user none: here the primary
// group, which the host's NSS knows of a user it holds in no group.
TEST_F(ScriptedDomain, GroupsWinbindCannotTellAreNssGroups) {
  std::string script = kWinbind;
  size_t line = script.find("usersids ");
  script.erase(line, script.find('\n', line) + 1 - line);
  Write("script", script);
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  const DomainAccount* account = link->Account(user001_);
  ASSERT_NE(account, nullptr);
  ASSERT_EQ(account->groups.size(), 1u);
  EXPECT_EQ(account->groups[0].Qualified(), L"SAMDOM\\Domain Users");
  EXPECT_EQ(account->groups[0].gid, 10000u);
}

// NSS may give a uid two names (a files alias beside the domain's): each name is asked for
// itself, whichever comes first, and only the domain's own is the account.
TEST_F(ScriptedDomain, AUidOfTwoNamesIsTheAccountByItsOwnNameOnly) {
  Write("script", kWinbind);
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  UserEntry alias = user001_;
  alias.name = "u1";
  EXPECT_EQ(link->Account(alias), nullptr);
  const DomainAccount* account = link->Account(user001_);
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(account->user.Qualified(), L"SAMDOM\\user001");
  EXPECT_EQ(link->Account(alias), nullptr);
}

TEST_F(ScriptedDomain, WinbindThatDoesNotAnswerAPingIsNotUsed) {
  Write("script", "uid2sid 20001 S-1-5-21-1-2-3-1104\nsid2name S-1-5-21-1-2-3-1104 SAMDOM u 1\n");
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Account(user001_), nullptr);
  EXPECT_EQ(Read("calls"), "wbcPing\n");
}

// SSSD names an account NAME@DOMAIN and knows no groups of a SID: the groups are the user's NSS
// groups (here root's, of the host) that it maps.
TEST_F(ScriptedDomain, SssdNamesAccountsAndTheirNssGroups) {
  Write("script",
        "ping 0\n"  // winbind answers, but nsswitch.conf does not name it
        "uid2sid 0 S-1-5-21-9-9-9-1\n"
        "sss-uid2sid 0 S-1-5-21-1-2-3-1104 1\n"
        "sss-gid2sid 0 S-1-5-21-1-2-3-513 2\n"
        "sss-sid2name S-1-5-21-1-2-3-1104 root@samdom.example.com 1\n"
        "sss-sid2name S-1-5-21-1-2-3-513 domain users@samdom.example.com 2\n");
  UserEntry root;
  root.name = "root";
  std::unique_ptr<DomainLink> link = Open("passwd: files sss\n");
  ASSERT_NE(link, nullptr);
  const DomainAccount* account = link->Account(root);
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(account->user.Qualified(), L"samdom.example.com\\root");
  EXPECT_EQ(account->user.use, SidTypeUser);
  ASSERT_EQ(account->groups.size(), 1u);
  EXPECT_EQ(account->groups[0].Qualified(), L"samdom.example.com\\domain users");
  EXPECT_EQ(account->groups[0].use, SidTypeGroup);
  EXPECT_EQ(account->groups[0].gid, 0u);
  std::optional<DomainName> group = link->LookupName(L"SAMDOM.EXAMPLE.COM\\Domain Users");
  ASSERT_TRUE(group);
  EXPECT_EQ(group->sid, SidFromText(L"S-1-5-21-1-2-3-513"));
  EXPECT_EQ(link->Group(1, ""), std::nullopt);
  // SSSD's fully qualified names (NAME@DOMAIN, as "realm join" sets it up) are the same account;
  // a name of another domain is the host's own.
  const std::pair<const char*, bool> names[] = {
      {"root@samdom.example.com", true},
      {"ROOT@SAMDOM.EXAMPLE.COM", true},
      {"root@other.example.com", false},
  };
  for (const auto& [name, domain] : names) {
    std::unique_ptr<DomainLink> fresh = Open("passwd: files sss\n");
    root.name = name;
    EXPECT_EQ(fresh->Account(root) != nullptr, domain) << name;
  }
}

// The DC's record: with a ticket the DC accepts, else, for root, with the machine account.
TEST_F(ScriptedDomain, TheDcsRecordWithTheCredentialsItAccepts) {
  ASSERT_EQ(mkfifo(folder_.Path("pipe").c_str(), 0600), 0);
  struct Case {
    const char* what;
    const char* accepted;  // the credentials the DC accepts
    const char* ccache;    // KRB5CCNAME, a name in the folder
    const char* user;
    Found found;
    DWORD expires;
  } cases[] = {
      {"a ticket", "ccache", "FILE:ccache", "user001", Found::Yes, TIMEQ_FOREVER},
      {"an expiry date", "ccache", "FILE:ccache", "user003", Found::Yes, 1804425204},
      {"an expiry cleared (0)", "ccache", "FILE:ccache", "user005", Found::Yes, TIMEQ_FOREVER},
      {"a user the DC does not know (1332)", "ccache", "FILE:ccache", "nosuch", Found::No, 0},
      {"no ticket and not root", "ccache", "missing", "user001", Found::Failed, 0},
      // Opening a pipe would wait for a writer until the budget is spent.
      {"a pipe where the ticket would be", "ccache", "FILE:pipe", "user001", Found::Failed, 0},
      {"a ticket the DC refuses", "machine", "FILE:ccache", "user001", Found::Failed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string script = std::string(kWinbind) + "user user005 - 513 0 0 0\n";
    script.replace(script.find("credentials ccache"), 18, std::string("credentials ") + c.accepted);
    Write("script", script);
    Write("ccache", "");
    std::string ccache = c.ccache;
    bool file = ccache.compare(0, 5, "FILE:") == 0;
    setenv("KRB5CCNAME",
           ((file ? "FILE:" : "") + folder_.Path(ccache.substr(file ? 5 : 0))).c_str(), 1);
    options_.machineAccount = false;
    std::unique_ptr<DomainLink> link = Open();
    ASSERT_NE(link, nullptr);
    AccountRecord record;
    EXPECT_EQ(link->Record(Named(L"SAMDOM", c.user), record), c.found);
    EXPECT_NE(link->Account(user001_), nullptr) << "the helper answers on";
    if (c.found != Found::Yes) continue;
    EXPECT_EQ(record.logonServer, L"dc1.samdom.example.com");
    EXPECT_EQ(record.acctExpires, c.expires);
    EXPECT_EQ(record.logonHours->at(2), 0x0F);
  }
  setenv("KRB5CCNAME", folder_.Path("ccache").c_str(), 1);
  AccountRecord record;
  std::unique_ptr<DomainLink> link = Open();
  EXPECT_EQ(link->Record(Named(L"OTHER", "user001"), record), Found::Failed);  // no DC
}

// A ticket cache of another user's (one left at /tmp/krb5cc_0 by anyone) is no ticket of the
// caller's: the DC that would accept it is not asked with it.
TEST_F(ScriptedDomain, AnotherUsersTicketCacheIsNotTheCallers) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give the cache to another user";
  Write("script", kWinbind);
  Write("ccache", "");
  ASSERT_EQ(chown(folder_.Path("ccache").c_str(), 65534, 65534), 0);
  setenv("KRB5CCNAME", ("FILE:" + folder_.Path("ccache")).c_str(), 1);
  options_.machineAccount = false;
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  AccountRecord record;
  EXPECT_EQ(link->Record(Named(L"SAMDOM", "user001"), record), Found::Failed);
  ASSERT_EQ(chown(folder_.Path("ccache").c_str(), geteuid(), getegid()), 0);
  link = Open();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Record(Named(L"SAMDOM", "user001"), record), Found::Yes);
}

// Root without a ticket asks with the machine account, over one libnetapi context.
TEST_F(ScriptedDomain, RootWithoutATicketUsesTheMachineAccount) {
  if (geteuid() != 0) GTEST_SKIP() << "the machine account is for root only";
  std::string script = kWinbind;
  script.replace(script.find("credentials ccache"), 18, "credentials machine");
  Write("script", script);
  setenv("KRB5CCNAME", ("FILE:" + folder_.Path("missing")).c_str(), 1);
  {
    std::unique_ptr<DomainLink> link = Open();
    AccountRecord record;
    DomainName user = Named(L"SAMDOM", "user001");
    EXPECT_EQ(link->Record(user, record), Found::Yes);
    EXPECT_EQ(record.fullName, L"Erin_Example");
    EXPECT_EQ(link->Record(Named(L"SAMDOM", "user003"), record), Found::Yes);
    EXPECT_EQ(record.flags, 515u);
  }
  EXPECT_EQ(Read("calls"), "wbcPing\nlibnetapi_init\nNetUserGetInfo\nNetUserGetInfo\n");
  EXPECT_EQ(Read("log"), "outstanding 0\n");
}

// The list asks the DC once for all of a domain's accounts, whatever their number: one
// enumeration of the accounts and one of Domain Admins' members (and of the groups in it), each
// in pages; never a record per account.
TEST_F(ScriptedDomain, TheListAsksTheDcOnceForAllOfItsAccounts) {
  std::string script = std::string(kWinbind) +
                       "uid2sid 20003 S-1-5-21-1-2-3-1105\n"
                       "uid2sid 20004 S-1-5-21-1-2-3-1106\n"
                       "sid2name S-1-5-21-1-2-3-1105 SAMDOM user003 1\n"
                       "sid2name S-1-5-21-1-2-3-1106 SAMDOM user004 1\n"
                       "user user004 - 512 0 0 0\n"
                       "members Domain Admins user004,Nested Admins\n"
                       "members Nested Admins user003\n"
                       "page 1\n";
  Write("script", script);
  UseTicket();
  struct Case {
    const char* name;
    uint32_t uid;
    std::optional<ListedAccount> listed;
  } cases[] = {
      // winbind puts user001 in Domain Admins; the DC's own list of members has the last word.
      {"SAMDOM\\user001", 20001, ListedAccount{513, false}},
      {"SAMDOM\\user003", 20003, ListedAccount{515, true}},  // through a group in the group
      {"samdom\\USER004", 20004, ListedAccount{512, true}},
      {"SAMDOM\\user002", 20002, std::nullopt},  // an id winbind does not map
      {"root", 0, std::nullopt},                 // mapped to a differently named account
  };
  {
    std::unique_ptr<DomainLink> link = Open();
    ASSERT_NE(link, nullptr);
    for (int round = 0; round < 2; ++round) {
      for (const Case& c : cases) {
        std::optional<ListedAccount> listed = ListedAs(*link, c.name, c.uid);
        ASSERT_EQ(listed.has_value(), c.listed.has_value()) << c.name;
        if (!listed) continue;
        EXPECT_EQ(listed->flags, c.listed->flags) << c.name;
        EXPECT_EQ(listed->admin, c.listed->admin) << c.name;
      }
    }
  }
  std::istringstream calls(Read("calls"));
  std::map<std::string, int> counted;
  for (std::string call; std::getline(calls, call);) ++counted[call];
  // Three accounts a page at a time; Domain Admins' two members, then Nested Admins' one.
  EXPECT_EQ(counted["NetUserEnum"], 3);
  EXPECT_EQ(counted["NetGroupGetUsers"], 3);
  EXPECT_EQ(counted["NetUserGetInfo"], 0);
  EXPECT_EQ(counted["libnetapi_init"], 1);
  EXPECT_EQ(Read("log"), "outstanding 0\n");

  // A DC that refuses the credentials leaves a domain account's facts not known.
  script.replace(script.find("credentials ccache"), 18, "credentials machine");
  Write("script", script);
  std::unique_ptr<DomainLink> link = Open();
  std::optional<ListedAccount> listed = link->Listed(user001_);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->flags, std::nullopt);
  EXPECT_EQ(listed->admin, std::nullopt);
}

// Groups nested in a loop (AD allows it): each is asked for its members, and the list is whole.
TEST_F(ScriptedDomain, GroupsNestedInALoopEndTheirList) {
  Write("script", std::string(kWinbind) +
                      "uid2sid 20003 S-1-5-21-1-2-3-1105\n"
                      "sid2name S-1-5-21-1-2-3-1105 SAMDOM user003 1\n"
                      "members Domain Admins user004,Nested Admins\n"
                      "members Nested Admins Domain Admins,user003\n"
                      "page 1\n");
  UseTicket();
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  std::optional<ListedAccount> listed = ListedAs(*link, "SAMDOM\\user003", 20003);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->admin, std::optional<bool>(true));
  EXPECT_EQ(link->Listed(user001_)->admin, std::optional<bool>(false));
}

// A list the DC gives only in part is not known, so that no account is shown outside Domain
// Admins for want of an answer: its flags and membership are then the host's. A member of the
// group that is neither an account nor a group (ws1$) leaves the list whole.
TEST_F(ScriptedDomain, AListGivenOnlyInPartIsNotKnown) {
  const std::string script = std::string(kWinbind) +
                             "uid2sid 20004 S-1-5-21-1-2-3-1106\n"
                             "sid2name S-1-5-21-1-2-3-1106 SAMDOM user004 1\n"
                             "user user004 - 512 0 0 0\n"
                             "members Domain Admins user004,Nested Admins,ws1$\n"
                             "members Nested Admins user003,user001\n"
                             "page 1\n";
  UseTicket();
  const std::pair<const char*, bool> cases[] = {
      {"", true},
      {"fail NetUserEnum 2\n", false},       // the accounts' second page
      {"fail NetGroupGetUsers 1\n", false},  // Domain Admins' first page
      {"fail NetGroupGetUsers 5\n", false},  // Nested Admins' second page
  };
  for (const auto& [failure, known] : cases) {
    SCOPED_TRACE(failure);
    Write("script", script + failure);
    std::unique_ptr<DomainLink> link = Open();
    ASSERT_NE(link, nullptr);
    std::optional<ListedAccount> listed = ListedAs(*link, "SAMDOM\\user004", 20004);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->flags, known ? std::optional<DWORD>(512) : std::nullopt);
    EXPECT_EQ(listed->admin, known ? std::optional<bool>(true) : std::nullopt);
    EXPECT_EQ(link->Listed(user001_)->admin, known ? std::optional<bool>(true) : std::nullopt);
  }
  EXPECT_EQ(Read("log"), "outstanding 0\n");
}

// A library call that blocks costs at most the budget; afterwards what was told is still known,
// and every other question answers "not known" at once.
TEST_F(ScriptedDomain, BlockingCallsCostAtMostTheBudget) {
  for (const char* hang : {"NetUserGetInfo", "wbcLookupUserSids", "wbcPing"}) {
    SCOPED_TRACE(hang);
    Write("script", std::string(kWinbind) + "hang " + hang + "\n");
    UseTicket();
    std::unique_ptr<DomainLink> link = Open();
    auto start = std::chrono::steady_clock::now();
    const DomainAccount* account = link->Account(user001_);
    AccountRecord record;
    if (account != nullptr) link->Record(account->user, record);
    EXPECT_EQ(link->LookupName(L"SAMDOM\\Domain Users") == std::nullopt, account == nullptr);
    EXPECT_EQ(link->LookupName(L"SAMDOM\\Domain Guests"), std::nullopt);
    EXPECT_EQ(link->Record(Named(L"SAMDOM", "user003"), record), Found::Failed);
    auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(spent, milliseconds(1400));
    EXPECT_LT(spent, milliseconds(2500));
    EXPECT_GE(link->Waited(), milliseconds(1400));
    EXPECT_LE(link->Waited(), milliseconds(1600));
    // No helper is started again for the questions that follow.
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) link->Record(Named(L"SAMDOM", "user003"), record);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(100));
  }
}

// Slow answers share one budget for the whole run: the question that would pass it is cut short,
// and none is asked after it.
TEST_F(ScriptedDomain, SlowAnswersShareOneBudget) {
  Write("script", std::string(kWinbind) + "slow wbcUidToSid 600\n");
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  for (uint32_t uid : {20001u, 3000u, 0u, 4242u}) {
    UserEntry user = user001_;
    user.uid = uid;
    link->Account(user);
  }
  EXPECT_GE(link->Waited(), milliseconds(1400));
  EXPECT_LE(link->Waited(), milliseconds(1600));
}

// A request larger than the socket's buffer, to a helper stuck before it reads, costs the budget
// too: the send waits no longer than the answer would.
TEST_F(ScriptedDomain, ALongRequestToAStuckHelperCostsAtMostTheBudget) {
  Write("script", std::string(kWinbind) + "hang wbcPing\n");
  std::unique_ptr<DomainLink> link = Open();
  ASSERT_NE(link, nullptr);
  UserEntry user = user001_;
  user.name = "SAMDOM\\" + std::string(200000, 'a');
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link->Account(user), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2500));
}

TEST_F(ScriptedDomain, AHelperThatDiesAnswersNotKnown) {
  Write("script", std::string(kWinbind) + "crash wbcGidToSid\n");
  std::unique_ptr<DomainLink> link = Open("group: sss winbind\n");
  ASSERT_NE(link->Account(user001_), nullptr);
  EXPECT_EQ(link->Group(27, "sudo"), std::nullopt);
  EXPECT_EQ(link->Group(10000, "")->name, L"Domain Users");  // told before
  EXPECT_EQ(link->LookupSid(SidFromText(L"S-1-5-21-1-2-3-9999")), std::nullopt);
  EXPECT_LT(link->Waited(), milliseconds(1000));
}

// A program started with its standard streams closed still reaches its helper: socketpair would
// hand out the lowest descriptors, those the helper points at /dev/null.
TEST_F(ScriptedDomain, ClosedStandardStreamsLeaveTheHelperItsSocket) {
  Write("script", kWinbind);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int fd = 0; fd <= 2; ++fd) close(fd);
    std::unique_ptr<DomainLink> link = Open();
    _exit(link != nullptr && link->Account(user001_) != nullptr ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The real SSSD library, where it is installed, binds by the names the module asks for and,
// with no sssd running, answers nothing at once.
TEST_F(ScriptedDomain, RealSssLibraryWithoutSssd) {
  void* real = dlopen("libsss_nss_idmap.so.0", RTLD_NOW | RTLD_LOCAL);
  if (real == nullptr) GTEST_SKIP() << "libsss_nss_idmap.so.0 is not installed";
  dlclose(real);
  if (access("/var/lib/sss/pipes/nss", F_OK) == 0) GTEST_SKIP() << "sssd runs on this host";
  options_.sssIdmap = "libsss_nss_idmap.so.0";
  std::unique_ptr<DomainLink> link = Open("passwd: files sss\n");
  ASSERT_NE(link, nullptr);
  UserEntry root;
  EXPECT_EQ(link->Account(root), nullptr);
  EXPECT_EQ(link->LookupName(L"samdom\\root"), std::nullopt);
  EXPECT_LT(link->Waited(), milliseconds(1000));
}

}  // namespace
}  // namespace compat
