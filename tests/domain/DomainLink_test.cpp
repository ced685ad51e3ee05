// The domain module against scripted library answers: the fake library built beside this test
// stands in for libwbclient, libsss_nss_idmap and libnetapi, so every path runs in a real helper
// process, as in the program, without a domain.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <resolv.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "DomainLink.h"
#include "Wire.h"

namespace compat::domain {
namespace {

using std::chrono::milliseconds;

TEST(ParseNsswitch, FindsWinbindAndSssOnlyForPasswdAndGroup) {
  struct Case {
    const char* text;
    bool winbind, sss;
  } cases[] = {
      {"passwd: files\ngroup: files\n", false, false},
      {"passwd: files winbind\ngroup: files\n", true, false},
      {"passwd:\tfiles\ngroup:\tfiles sss\n", false, true},
      {"passwd: files [NOTFOUND=return] sss winbind\n", true, true},
      {"shadow: files sss\nhosts: files winbind\n", false, false},
      {"# passwd: files winbind\npasswd: files # sss\n", false, false},
      {"passwd: files winbind2 sssd\n", false, false},
      {"passwdx: winbind\n", false, false},
  };
  for (const Case& c : cases) {
    const NssSources sources = ParseNsswitch(c.text);
    EXPECT_EQ(sources.winbind, c.winbind) << c.text;
    EXPECT_EQ(sources.sss, c.sss) << c.text;
  }
}

TEST(IsDomainAdminsSid, OnlyRid512OfADomain) {
  struct Case {
    const char* sid;
    bool admins;
  } cases[] = {
      {"S-1-5-21-1561732646-971404620-301228996-512", true},
      {"S-1-5-21-1-2-3-512", true},
      {"S-1-5-21-1-2-3-513", false},
      {"S-1-5-21-1-2-512", false},      // too short for a domain SID
      {"S-1-5-21-1-2-3-4-512", false},  // too long
      {"S-1-5-32-512", false},          // BUILTIN
      {"S-1-22-2-512", false},          // a Unix group
      {"S-1-1-21-1-2-3-512", false},    // not NT AUTHORITY
      {"S-1-5-22-1-2-3-512", false},    // not a domain
      {"S-1-5-21-1-2-3-512x", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDomainAdminsSid(c.sid), c.admins) << c.sid;
}

TEST(Sids, TextAndBinaryRoundTrip) {
  const char* good[] = {"S-1-0-0", "S-1-5-32-544", "S-1-5-21-4294967295-1-2-1103",
                        "S-1-281474976710655-1", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"};
  for (const char* text : good) {
    abi::WbcDomainSid sid{};
    ASSERT_TRUE(ParseSid(text, sid)) << text;
    EXPECT_EQ(FormatSid(sid), text);
  }
  const char* bad[] = {"",
                       "S-1",
                       "S-2-5-32",
                       "S-1-5-",
                       "S-1--5",
                       "X-1-5-32",
                       "S-1-5-4294967296",
                       "S-1-5-32-544 ",
                       "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"};
  for (const char* text : bad) {
    abi::WbcDomainSid sid{};
    EXPECT_FALSE(ParseSid(text, sid)) << text;
  }
}

TEST(SplitAccountName, DomainBackslashNameAndNameAtDomain) {
  struct Case {
    const char* text;
    const char* domain;
    const char* name;
  } cases[] = {
      {"SAMDOM\\user001", "SAMDOM", "user001"},
      {"user001@samdom.example.com", "samdom.example.com", "user001"},
      {"user001", "", "user001"},
      {"a@b@example.com", "example.com", "a@b"},
      {"DOM\\name@x", "DOM", "name@x"},
  };
  for (const Case& c : cases) {
    const QualifiedName split = SplitAccountName(c.text);
    EXPECT_EQ(split.domain, c.domain) << c.text;
    EXPECT_EQ(split.name, c.name) << c.text;
  }
}

TEST(Messages, RoundTripAndRejectTruncated) {
  const Message message{"user", "", std::string("a\0b", 3), std::string(70000, 'x')};
  const std::string bytes = EncodeMessage(message);
  EXPECT_EQ(DecodeMessage(bytes), message);
  for (size_t cut : {size_t{0}, size_t{3}, size_t{9}, bytes.size() - 1}) {
    EXPECT_FALSE(DecodeMessage(std::string_view(bytes).substr(0, cut))) << cut;
  }
  EXPECT_FALSE(DecodeMessage(bytes + "x"));
}

TEST(Messages, UserRecordRoundTrip) {
  DomainUser user;
  user.status = DomainUser::Status::Found;
  user.server = "dc1.samdom.example.com";
  user.fullName = "Erin Ötzi";
  user.flags = 0x203;
  user.acctExpires = 1804425204;
  user.logonHours = {0xFF, 0, 0x0F};
  user.groups = std::vector<std::string>{"Domain Users", "group01"};
  user.localGroups = std::vector<std::string>{};
  const DomainUser back = DecodeUser(EncodeUser(user));
  EXPECT_EQ(back.status, DomainUser::Status::Found);
  EXPECT_EQ(back.server, user.server);
  EXPECT_EQ(back.fullName, user.fullName);
  EXPECT_EQ(back.flags, user.flags);
  EXPECT_EQ(back.acctExpires, user.acctExpires);
  EXPECT_EQ(back.logonHours, user.logonHours);
  EXPECT_EQ(back.groups, user.groups);
  ASSERT_TRUE(back.localGroups.has_value());
  EXPECT_TRUE(back.localGroups->empty());

  Message cut = EncodeUser(user);
  cut.pop_back();
  EXPECT_EQ(DecodeUser(cut).status, DomainUser::Status::NotKnown);
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
    const int targetLength =
        dn_comp(target, data + 6, 200, const_cast<unsigned char**>(names), nullptr);
    ASSERT_GT(targetLength, 0);
    at[10] = 0, at[11] = static_cast<unsigned char>(6 + targetLength);
    length += 12 + 6 + targetLength;
  };
  record(10, "dc2.samdom.example.com");
  record(0, "dc1.samdom.example.com");
  EXPECT_EQ(FirstSrvTarget(packet, length), "dc1.samdom.example.com");
  EXPECT_EQ(FirstSrvTarget(packet, 11), "");
  EXPECT_EQ(FirstSrvTarget(packet, length - 3), "");  // the last record cut short
}

// A private folder with a scripted library answer file and an nsswitch.conf.
class ScriptedDomain : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/userlens-domain-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("USERLENS_FAKE_SCRIPT", (dir_ + "/script").c_str(), 1);
    setenv("USERLENS_FAKE_LOG", (dir_ + "/log").c_str(), 1);
    unsetenv("KRB5CCNAME");
    options_.nsswitchPath = dir_ + "/nsswitch.conf";
    options_.wbclient = options_.sssIdmap = options_.netapi = options_.credentials =
        options_.hostconfig = USERLENS_FAKE_LIBRARY;
    options_.budget = milliseconds(1500);
  }
  void TearDown() override {
    unsetenv("KRB5CCNAME");
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(system(command.c_str()), 0);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  std::string Log() {
    std::ifstream file(dir_ + "/log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::string dir_;
  DomainOptions options_;
};

constexpr const char* kWinbindScript =
    "ping 0\n"
    "uid2sid 20001 S-1-5-21-1-2-3-1104\n"
    "gid2sid 10000 S-1-5-21-1-2-3-513\n"
    "sid2uid S-1-5-21-1-2-3-1104 20001\n"
    "sid2gid S-1-5-21-1-2-3-513 10000\n"
    "sid2name S-1-5-21-1-2-3-1104 SAMDOM user001 1\n"
    "sid2name S-1-5-21-1-2-3-512 SAMDOM Domain Admins 2\n"
    "name2sid SAMDOM\\user001 S-1-5-21-1-2-3-1104 1\n"
    "own-domain SAMDOM\n"
    "usersids S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-1104 S-1-5-21-1-2-3-513 S-1-5-32-545\n"
    "dc SAMDOM dc1.samdom.example.com\n"
    "credentials ccache\n"
    "user user001 Erin_Example 513 1796649170 12 159663333 Domain_Users,group01 Users\n"
    "user user003 - 513 0 0 1804425204 Domain_Users -\n"
    "user user004 - 515 0 0 0 Domain_Users,Domain_Admins Administrators,Users\n";

TEST_F(ScriptedDomain, NeitherSourceNamedLoadsNothing) {
  Write("nsswitch.conf", "passwd: files systemd\ngroup: files systemd\n");
  Write("script", kWinbindScript);
  EXPECT_EQ(DomainLink::Open(options_), nullptr);
  options_.nsswitchPath = dir_ + "/missing";
  EXPECT_EQ(DomainLink::Open(options_), nullptr);
  EXPECT_EQ(Log(), "");  // the fake library was never loaded
}

TEST_F(ScriptedDomain, WinbindAnswers) {
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  Write("script", kWinbindScript);
  {
    std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Source(), "winbind");
    EXPECT_EQ(link->UidToSid(20001), "S-1-5-21-1-2-3-1104");
    EXPECT_EQ(link->UidToSid(0), std::nullopt);
    EXPECT_EQ(link->GidToSid(10000), "S-1-5-21-1-2-3-513");
    EXPECT_EQ(link->GidToSid(20001), std::nullopt);
    EXPECT_EQ(link->SidToUid("S-1-5-21-1-2-3-1104"), 20001u);
    EXPECT_EQ(link->SidToGid("S-1-5-21-1-2-3-513"), 10000u);
    EXPECT_EQ(link->SidToUid("S-1-5-21-1-2-3-513"), std::nullopt);
    EXPECT_EQ(link->SidToUid("not a sid"), std::nullopt);

    struct NameCase {
      const char* sid;
      const char* domain;
      const char* name;
      SidType type;
    } names[] = {{"S-1-5-21-1-2-3-1104", "SAMDOM", "user001", SidType::User},
                 {"S-1-5-21-1-2-3-512", "SAMDOM", "Domain Admins", SidType::Group}};
    for (const NameCase& c : names) {
      const std::optional<SidName> found = link->LookupSid(c.sid);
      ASSERT_TRUE(found) << c.sid;
      EXPECT_EQ(found->domain, c.domain);
      EXPECT_EQ(found->name, c.name);
      EXPECT_EQ(found->type, c.type);
    }
    EXPECT_EQ(link->LookupSid("S-1-5-21-1-2-3-9999"), std::nullopt);

    for (const char* name : {"SAMDOM\\user001", "user001"}) {
      const std::optional<NamedSid> sid = link->LookupName(name);
      ASSERT_TRUE(sid) << name;
      EXPECT_EQ(sid->sid, "S-1-5-21-1-2-3-1104");
      EXPECT_EQ(sid->type, SidType::User);
    }
    EXPECT_EQ(link->LookupName("SAMDOM\\nobody"), std::nullopt);
    EXPECT_EQ(
        link->UserGroupSids("S-1-5-21-1-2-3-1104"),
        (std::vector<std::string>{"S-1-5-21-1-2-3-1104", "S-1-5-21-1-2-3-513", "S-1-5-32-545"}));
    EXPECT_LT(link->Waited(), milliseconds(1500));
  }
  // Every buffer the library handed out went back before it was unloaded.
  EXPECT_EQ(Log(), "outstanding 0\n");
}

TEST_F(ScriptedDomain, WinbindThatDoesNotAnswerAPingIsNotUsed) {
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  Write("script", "uid2sid 20001 S-1-5-21-1-2-3-1104\n");
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Source(), "");
  EXPECT_EQ(link->UidToSid(20001), std::nullopt);
}

TEST_F(ScriptedDomain, SssdAnswers) {
  Write("nsswitch.conf", "passwd: files sss\ngroup: files sss\n");
  Write("script",
        "ping 0\n"  // winbind is up but not named in nsswitch.conf: SSSD answers
        "uid2sid 20001 S-1-5-21-9-9-9-1\n"
        "sss-uid2sid 20001 S-1-5-21-1-2-3-1104 1\n"
        "sss-gid2sid 10000 S-1-5-21-1-2-3-513 2\n"
        "sss-sid2name S-1-5-21-1-2-3-1104 user001@samdom.example.com 1\n"
        "sss-sid2name S-1-5-21-1-2-3-513 domain users@samdom.example.com 2\n"
        "sss-name2sid user001@samdom.example.com S-1-5-21-1-2-3-1104 3\n"
        "sss-sid2id S-1-5-21-1-2-3-1104 20001 3\n"
        "sss-sid2id S-1-5-21-1-2-3-513 10000 2\n");
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Source(), "sssd");
  EXPECT_EQ(link->UidToSid(20001), "S-1-5-21-1-2-3-1104");
  EXPECT_EQ(link->GidToSid(10000), "S-1-5-21-1-2-3-513");
  EXPECT_EQ(link->GidToSid(20001), std::nullopt);
  const std::optional<SidName> user = link->LookupSid("S-1-5-21-1-2-3-1104");
  ASSERT_TRUE(user);
  EXPECT_EQ(user->domain, "samdom.example.com");
  EXPECT_EQ(user->name, "user001");
  EXPECT_EQ(user->type, SidType::User);
  const std::optional<SidName> group = link->LookupSid("S-1-5-21-1-2-3-513");
  ASSERT_TRUE(group);
  EXPECT_EQ(group->name, "domain users");
  EXPECT_EQ(group->type, SidType::Group);
  const std::optional<NamedSid> sid = link->LookupName("user001@samdom.example.com");
  ASSERT_TRUE(sid);
  EXPECT_EQ(sid->sid, "S-1-5-21-1-2-3-1104");
  EXPECT_EQ(sid->type, SidType::User);  // a user with its own private group
  // Both kinds of id for a user-private group; only the gid for a plain group.
  EXPECT_EQ(link->SidToUid("S-1-5-21-1-2-3-1104"), 20001u);
  EXPECT_EQ(link->SidToGid("S-1-5-21-1-2-3-1104"), 20001u);
  EXPECT_EQ(link->SidToUid("S-1-5-21-1-2-3-513"), std::nullopt);
  EXPECT_EQ(link->SidToGid("S-1-5-21-1-2-3-513"), 10000u);
  EXPECT_EQ(link->UserGroupSids("S-1-5-21-1-2-3-1104"), std::nullopt);
}

TEST_F(ScriptedDomain, DomainRecordWithATicket) {
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  Write("script", kWinbindScript);
  Write("ccache", "");
  setenv("KRB5CCNAME", ("FILE:" + dir_ + "/ccache").c_str(), 1);
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);

  const DomainUser user = link->GetUser("SAMDOM", "user001");
  ASSERT_EQ(user.status, DomainUser::Status::Found);
  EXPECT_EQ(user.server, "dc1.samdom.example.com");
  EXPECT_EQ(user.logonServer, "dc1.samdom.example.com");
  EXPECT_EQ(user.name, "user001");
  EXPECT_EQ(user.fullName, "Erin_Example");
  EXPECT_EQ(user.flags, 513u);
  EXPECT_EQ(user.lastLogon, 1796649170u);
  EXPECT_EQ(user.numLogons, 12u);
  EXPECT_EQ(user.primaryGroupId, 513u);
  EXPECT_EQ(user.logonHours.size(), 21u);
  EXPECT_EQ(user.groups, (std::vector<std::string>{"Domain_Users", "group01"}));
  EXPECT_EQ(user.localGroups, (std::vector<std::string>{"Users"}));

  // Samba's 32-bit form of "never" and the directory's 0 are both "never"; a date stays.
  struct Expiry {
    const char* user;
    uint32_t expires;
  } expiries[] = {{"user001", kTimeqForever}, {"user003", 1804425204}, {"user004", kTimeqForever}};
  for (const Expiry& e : expiries) {
    EXPECT_EQ(link->GetUser("SAMDOM", e.user).acctExpires, e.expires) << e.user;
  }

  const DomainUser missing = link->GetUser("SAMDOM", "nosuch");
  EXPECT_EQ(missing.status, DomainUser::Status::NoSuchUser);
  EXPECT_EQ(missing.netStatus, 1332u);

  const DomainUser noDc = link->GetUser("OTHER", "user001");
  EXPECT_EQ(noDc.status, DomainUser::Status::NotKnown);
}

TEST_F(ScriptedDomain, DomainRecordWithoutATicketIsNotAsked) {
  options_.machineAccount = false;  // as for a caller other than root
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  Write("script", kWinbindScript);
  // No cache at all, and a file cache whose file is missing.
  for (const char* cache : {"", "FILE:/nonexistent/krb5cc", "/nonexistent/krb5cc"}) {
    if (*cache != '\0') setenv("KRB5CCNAME", cache, 1);
    std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
    ASSERT_NE(link, nullptr);
    const DomainUser user = link->GetUser("SAMDOM", "user001");
    EXPECT_EQ(user.status, DomainUser::Status::NotKnown) << cache;
    EXPECT_EQ(user.server, "") << cache;  // not even the DC was looked for
    EXPECT_FALSE(user.groups.has_value());
  }
}

TEST_F(ScriptedDomain, DomainRecordWithATicketTheDcRefuses) {
  options_.machineAccount = false;
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  std::string script = kWinbindScript;
  script.replace(script.find("credentials ccache"), 18, "credentials machine");
  Write("script", script);
  Write("ccache", "");
  setenv("KRB5CCNAME", (dir_ + "/ccache").c_str(), 1);
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);
  const DomainUser user = link->GetUser("SAMDOM", "user001");
  EXPECT_EQ(user.status, DomainUser::Status::NotKnown);
  EXPECT_EQ(user.netStatus, 1326u);
  EXPECT_TRUE(user.fullName.empty());
}

TEST_F(ScriptedDomain, RootFallsBackToTheMachineAccount) {
  if (geteuid() != 0) GTEST_SKIP() << "the machine account is used for root only";
  Write("nsswitch.conf", "passwd: files winbind\ngroup: files winbind\n");
  std::string script = kWinbindScript;
  script.replace(script.find("credentials ccache"), 18, "credentials machine");
  Write("script", script);
  Write("expired", "");
  setenv("KRB5CCNAME", ("FILE:" + dir_ + "/expired").c_str(), 1);  // a ticket the DC refuses
  {
    std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
    ASSERT_NE(link, nullptr);
    const DomainUser user = link->GetUser("SAMDOM", "user004");
    EXPECT_EQ(user.status, DomainUser::Status::Found);
    EXPECT_EQ(user.localGroups, (std::vector<std::string>{"Administrators", "Users"}));
  }
  EXPECT_EQ(Log(), "outstanding 0\n");
}

// A library call that blocks costs at most the budget; afterwards every question answers "not
// known" at once, without waiting again.
TEST_F(ScriptedDomain, BlockingCallsCostAtMostTheBudget) {
  struct Case {
    const char* hang;
  } cases[] = {{"NetUserGetInfo"}, {"wbcLookupSid"}, {"wbcPing"}};
  for (const Case& c : cases) {
    Write("nsswitch.conf", "passwd: files winbind\n");
    Write("script", std::string(kWinbindScript) + "hang " + c.hang + "\n");
    Write("ccache", "");
    setenv("KRB5CCNAME", ("FILE:" + dir_ + "/ccache").c_str(), 1);
    std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
    ASSERT_NE(link, nullptr);
    const auto start = std::chrono::steady_clock::now();
    link->LookupSid("S-1-5-21-1-2-3-1104");
    link->GetUser("SAMDOM", "user001");
    EXPECT_EQ(link->UidToSid(20001), std::nullopt) << c.hang;
    EXPECT_EQ(link->GetUser("SAMDOM", "user001").status, DomainUser::Status::NotKnown);
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(spent, milliseconds(1400)) << c.hang;
    EXPECT_LT(spent, milliseconds(2500)) << c.hang;
    EXPECT_LE(link->Waited(), milliseconds(1600)) << c.hang;
  }
}

TEST_F(ScriptedDomain, AHelperThatDiesAnswersNotKnown) {
  Write("nsswitch.conf", "group: sss winbind\n");
  Write("script", std::string(kWinbindScript) + "crash wbcLookupSid\n");
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->UidToSid(20001), "S-1-5-21-1-2-3-1104");
  EXPECT_EQ(link->LookupSid("S-1-5-21-1-2-3-1104"), std::nullopt);
  EXPECT_EQ(link->UidToSid(20001), std::nullopt);
  EXPECT_LT(link->Waited(), milliseconds(1000));
}

// The real SSSD library, where it is installed, binds by the names the module asks for and,
// with no sssd running, answers nothing at once.
TEST_F(ScriptedDomain, RealSssLibraryWithoutSssd) {
  void* real = dlopen("libsss_nss_idmap.so.0", RTLD_NOW | RTLD_LOCAL);
  if (real == nullptr) GTEST_SKIP() << "libsss_nss_idmap.so.0 is not installed";
  dlclose(real);
  if (access("/var/lib/sss/pipes/nss", F_OK) == 0) GTEST_SKIP() << "sssd runs on this host";
  Write("nsswitch.conf", "passwd: files sss\n");
  options_.sssIdmap = "libsss_nss_idmap.so.0";
  std::unique_ptr<DomainLink> link = DomainLink::Open(options_);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Source(), "sssd");
  EXPECT_EQ(link->UidToSid(0), std::nullopt);
  EXPECT_EQ(link->LookupName("root"), std::nullopt);
  EXPECT_LT(link->Waited(), milliseconds(1000));
}

}  // namespace
}  // namespace compat::domain
