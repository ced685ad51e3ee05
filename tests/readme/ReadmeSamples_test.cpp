// The samples of README.md are the program's own output: each block that follows a marker
// "<!-- sample: NAME -->" is what the program prints for that sample on the workstation below,
// after a prompt line with the command. USERLENS_UPDATE_README=1 rewrites the blocks instead,
// for a person to review with git diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "ProgramRun.h"

namespace {

const std::string kReadme = USERLENS_README;

// A Windows workstation: alice, an administrator, runs the program; bob works nights.
void Furnish(compat::ScriptedMachine& machine) {
  machine.dnsName = L"pc042.quornvale.example";
  machine.netbiosName = L"PC042";
  machine.userName = L"alice";
  machine.codePage = 1252;

  const std::wstring domain = L"S-1-5-21-2915137264-1387612093-3342817621-";
  struct Account {
    const wchar_t* name;
    DWORD rid;
    DWORD priv;
    DWORD flags;
  };
  const DWORD kNormal = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  for (const Account& account : {
           Account{L"Administrator", 500, USER_PRIV_ADMIN, kNormal | UF_ACCOUNTDISABLE},
           Account{L"alice", 1001, USER_PRIV_ADMIN, kNormal | UF_DONT_EXPIRE_PASSWD},
           Account{L"bob", 1002, USER_PRIV_USER, kNormal},
           Account{L"DefaultAccount", 503, USER_PRIV_GUEST, kNormal | UF_ACCOUNTDISABLE},
           Account{L"Guest", 501, USER_PRIV_GUEST, kNormal | UF_ACCOUNTDISABLE},
       }) {
    compat::AccountRecord record;
    record.name = account.name;
    record.priv = account.priv;
    record.flags = account.flags;
    record.userId = account.rid;
    record.primaryGroupId = 513;
    machine.accounts.push_back(record);
    machine.AddName(account.name, L"PC042", domain + std::to_wstring(account.rid), SidTypeUser);
  }

  compat::AccountRecord& alice = machine.accounts[1];
  alice.fullName = L"Alice Marsh";
  alice.passwordAge = 41 * 86400 + 5000;
  alice.lastLogon = 1796113800;  // 1 December 2026, 08:30:00
  alice.acctExpires = TIMEQ_FOREVER;
  alice.logonHours = std::array<BYTE, 21>{};
  alice.logonHours->fill(0xFF);
  alice.badPwCount = 0;
  alice.numLogons = 214;
  alice.logonServer = L"\\\\*";

  compat::AccountRecord& bob = machine.accounts[2];
  bob.fullName = L"Bob Tanner";
  bob.comment = L"Night shift operator";
  bob.homeDir = L"\\\\files\\home\\bob";
  bob.homeDirDrive = L"H:";
  bob.profile = L"\\\\files\\profiles\\bob";
  bob.passwordAge = 3 * 86400 + 700;
  bob.lastLogon = 1796076845;    // 30 November 2026, 22:14:05
  bob.acctExpires = 1814313600;  // 30 June 2027
  // Monday to Friday, 06:00 to 20:00 UTC: one bit for each hour of the week, from Sunday 00:00.
  std::array<BYTE, 21> hours{};
  for (int day = 1; day <= 5; ++day) {
    for (int hour = 6; hour < 20; ++hour) {
      int bit = day * 24 + hour;
      hours[static_cast<size_t>(bit / 8)] |= static_cast<BYTE>(1u << (bit % 8));
    }
  }
  bob.logonHours = hours;
  bob.badPwCount = 1;
  bob.numLogons = 57;
  bob.logonServer = L"\\\\*";

  machine.AddName(L"None", L"PC042", domain + L"513", SidTypeGroup);
  machine.AddName(L"Everyone", L"", L"S-1-1-0", SidTypeWellKnownGroup);
  machine.AddName(L"Administrators", L"BUILTIN", L"S-1-5-32-544", SidTypeAlias);
  machine.AddName(L"Users", L"BUILTIN", L"S-1-5-32-545", SidTypeAlias);
  machine.AddName(L"Remote Desktop Users", L"BUILTIN", L"S-1-5-32-555", SidTypeAlias);
  machine.AddName(L"INTERACTIVE", L"NT AUTHORITY", L"S-1-5-4", SidTypeWellKnownGroup);
  machine.AddName(L"CONSOLE LOGON", L"", L"S-1-2-1", SidTypeWellKnownGroup);
  machine.AddName(L"Authenticated Users", L"NT AUTHORITY", L"S-1-5-11", SidTypeWellKnownGroup);
  machine.AddName(L"This Organization", L"NT AUTHORITY", L"S-1-5-15", SidTypeWellKnownGroup);
  machine.AddName(L"Local account", L"NT AUTHORITY", L"S-1-5-113", SidTypeWellKnownGroup);
  machine.AddName(L"Local account and member of Administrators group", L"NT AUTHORITY",
                  L"S-1-5-114", SidTypeWellKnownGroup);
  machine.AddName(L"High Mandatory Level", L"Mandatory Label", L"S-1-16-12288", SidTypeLabel);
  machine.AddName(L"LOCAL", L"", L"S-1-2-0", SidTypeWellKnownGroup);
  machine.AddName(L"NTLM Authentication", L"NT AUTHORITY", L"S-1-5-64-10", SidTypeWellKnownGroup);

  // The token of alice's elevated process: its groups in Windows' order, the integrity level
  // last; the logon SID has no name. The privileges are those such a token has enabled.
  for (const wchar_t* sid :
       {L"S-1-5-21-2915137264-1387612093-3342817621-513", L"S-1-1-0", L"S-1-5-114", L"S-1-5-32-544",
        L"S-1-5-32-545", L"S-1-5-4", L"S-1-2-1", L"S-1-5-11", L"S-1-5-15", L"S-1-5-113",
        L"S-1-5-5-0-493814", L"S-1-2-0", L"S-1-5-64-10", L"S-1-16-12288"}) {
    compat::TokenGroup group;
    group.sid = compat::SidFromText(sid);
    machine.tokenGroups.push_back(group);
  }
  machine.globalGroups[L"bob"] = {L"None"};
  machine.localGroups[L"bob"] = {L"Users", L"Remote Desktop Users"};
  machine.processPrivileges = {L"SeChangeNotifyPrivilege", L"SeImpersonatePrivilege",
                               L"SeCreateGlobalPrivilege"};

  const wchar_t kEnvironment[] =
      L"=C:=C:\\Users\\alice\0"
      L"ALLUSERSPROFILE=C:\\ProgramData\0"
      L"COMPUTERNAME=PC042\0"
      L"HOMEDRIVE=C:\0"
      L"HOMEPATH=\\Users\\alice\0"
      L"LOGONSERVER=\\\\PC042\0"
      L"OS=Windows_NT\0"
      L"Path=C:\\Windows\\system32;C:\\Windows;C:\\Tools\0"
      L"PROCESSOR_ARCHITECTURE=x86\0"
      L"PROCESSOR_ARCHITEW6432=AMD64\0"
      L"SystemRoot=C:\\Windows\0"
      L"TEMP=C:\\Users\\alice\\AppData\\Local\\Temp\0"
      L"USERDOMAIN=PC042\0"
      L"USERNAME=alice\0"
      L"USERPROFILE=C:\\Users\\alice\0"
      L"windir=C:\\Windows\0";
  machine.environment = std::wstring(kEnvironment, std::size(kEnvironment) - 1);
}

// What a console window shows for a run: the prompt with the command, then the output, with
// the program's CR LF line ends as plain line ends.
std::string Transcript(const std::wstring& commandLine, const std::string& output) {
  std::string text = "C:\\>" + std::string(commandLine.begin(), commandLine.end()) + "\n";
  for (char c : output) {
    if (c != '\r') text += c;
  }
  return text;
}

struct Sample {
  const char* name;
  std::wstring commandLine;
  int exitCode;
};

const Sample kSamples[] = {
    {"usage", L"USERLENS /?", 0},     {"list", L"USERLENS /ListUsers", 0},
    {"current-user", L"USERLENS", 0}, {"named-account", L"USERLENS Bob", 0},
    {"error", L"USERLENS carol", 1},
};

std::string SampleText(const Sample& sample) {
  compat::ScriptedMachine machine;
  Furnish(machine);
  ProgramRun run = RunProgram(machine, sample.commandLine);
  EXPECT_EQ(run.exitCode, sample.exitCode) << sample.name;
  std::string text = Transcript(sample.commandLine, run.output);
  if (sample.exitCode != 0) {
    text += "C:\\>echo %ERRORLEVEL%\n" + std::to_string(run.exitCode) + "\n";
  }
  return text;
}

std::string ReadReadme() {
  std::ifstream file(kReadme, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Where the block of a sample lies: its text starts at begin and ends before end (the closing
// fence). Found is false when the marker or its block is missing.
struct Block {
  bool found = false;
  size_t begin = 0;
  size_t end = 0;
};

Block FindBlock(const std::string& readme, const std::string& name) {
  Block block;
  const std::string marker = "<!-- sample: " + name + " -->\n";
  size_t at = readme.find(marker);
  if (at == std::string::npos) return block;
  at += marker.size();
  if (readme.compare(at, 3, "```") != 0) return block;
  size_t open = readme.find('\n', at);
  if (open == std::string::npos) return block;
  block.begin = open + 1;
  block.end = block.begin;
  while (block.end < readme.size() && readme.compare(block.end, 4, "```\n") != 0) {
    size_t next = readme.find('\n', block.end);
    if (next == std::string::npos) return block;
    block.end = next + 1;
  }
  block.found = block.end < readme.size();
  return block;
}

TEST(ReadmeSamples, AreWhatTheProgramPrints) {
  std::string readme = ReadReadme();
  ASSERT_FALSE(readme.empty()) << "cannot read " << kReadme;
  const char* updateSwitch = std::getenv("USERLENS_UPDATE_README");
  const bool update = updateSwitch != nullptr && std::string(updateSwitch) == "1";
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.name);
    std::string expected = SampleText(sample);
    Block block = FindBlock(readme, sample.name);
    ASSERT_TRUE(block.found) << "README.md has no block after <!-- sample: " << sample.name
                             << " -->";
    if (update) {
      readme.replace(block.begin, block.end - block.begin, expected);
      continue;
    }
    EXPECT_EQ(readme.substr(block.begin, block.end - block.begin), expected)
        << "run with USERLENS_UPDATE_README=1 to rewrite the sample";
  }
  if (update) {
    std::ofstream(kReadme, std::ios::binary) << readme;
    EXPECT_EQ(ReadReadme(), readme) << "cannot rewrite " << kReadme;
  }
}

// The marker finder itself: a sample that is missing or whose block is not closed is reported,
// never taken as empty.
TEST(ReadmeSamples, MarkersWithoutAClosedBlockAreNotFound) {
  struct Case {
    const char* readme;
    bool found;
    const char* text;
  };
  const Case cases[] = {
      {"<!-- sample: usage -->\n```\nline\n```\n", true, "line\n"},
      {"intro\n<!-- sample: usage -->\n```text\na\n\nb\n```\nafter\n", true, "a\n\nb\n"},
      {"<!-- sample: usage -->\n```\n```\n", true, ""},
      {"<!-- sample: usage -->\n```\nline\n", false, ""},
      {"<!-- sample: usage -->\ntext\n```\nline\n```\n", false, ""},
      {"<!-- sample: list -->\n```\nline\n```\n", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string readme = c.readme;
    Block block = FindBlock(readme, "usage");
    EXPECT_EQ(block.found, c.found) << c.readme;
    if (block.found) {
      EXPECT_EQ(readme.substr(block.begin, block.end - block.begin), c.text);
    }
  }
}

}  // namespace
