// Fault injection: the whole program against a scripted machine in which one thing at a time
// goes wrong. For every fault: no crash, the exit code of the run (1 only when an error reached
// the command driver), the output the fault leaves, and every buffer, handle and library
// reference given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "ProgramRun.h"
#include "Win32Contract.h"

namespace {

using compat::ScriptedMachine;

// A workstation with an administrator alice (the user who runs the program) and a user bob.
void Furnish(ScriptedMachine& machine) {
  machine.dnsName = L"ws01.corp.example";
  machine.netbiosName = L"WS01";
  machine.userName = L"alice";
  compat::AccountRecord& alice = machine.AddAccount(L"alice");
  alice.fullName = L"Alice Liddell";
  alice.priv = USER_PRIV_ADMIN;
  compat::AccountRecord& bob = machine.AddAccount(L"bob");
  bob.flags |= UF_ACCOUNTDISABLE;
  machine.AddName(L"None", L"WS01", L"S-1-5-21-1-2-3-513", SidTypeGroup);
  machine.AddName(L"Users", L"BUILTIN", L"S-1-5-32-545", SidTypeAlias);
  machine.AddName(L"Everyone", L"", L"S-1-1-0", SidTypeWellKnownGroup);
  for (const wchar_t* sid : {L"S-1-5-21-1-2-3-513", L"S-1-1-0", L"S-1-5-32-545", L"S-1-5-5-0-7"}) {
    compat::TokenGroup group;
    group.sid = compat::SidFromText(sid);
    machine.tokenGroups.push_back(group);
  }
  machine.globalGroups[L"bob"] = {L"None"};
  machine.localGroups[L"bob"] = {L"Users"};
  machine.processPrivileges = {L"SeChangeNotifyPrivilege", L"SeShutdownPrivilege"};
  machine.environment = std::wstring(L"=C:=C:\\\0PATH=C:\\Windows\0USERNAME=alice\0", 40);
}

ProgramRun RunWith(const std::wstring& commandLine,
                   const std::function<void(ScriptedMachine&)>& fault = nullptr,
                   ScriptedMachine* inspect = nullptr) {
  ScriptedMachine machine;
  Furnish(machine);
  if (fault) fault(machine);
  ProgramRun run = RunProgram(machine, commandLine);
  if (inspect != nullptr) inspect->attributeWrites = machine.attributeWrites;
  return run;
}

// The three lines that PrintError writes for a message.
std::string ErrorBlock(const std::string& message) {
  return Lines({"", message, ""});
}

const std::wstring kCommands[] = {L"userlens", L"userlens bob", L"userlens /listusers",
                                  L"userlens /?", L"userlens nobody"};

// What a fault of the output device leaves: the run goes on as if nothing happened, with the
// same exit code; only the text is lost.
struct OutputFault {
  const char* name;
  std::function<void(ScriptedMachine&)> fault;
  bool textArrives;
};

const OutputFault kOutputFaults[] = {
    {"standard output closed", [](ScriptedMachine& m) { m.stdOutputType = FILE_TYPE_UNKNOWN; },
     false},
    {"standard output a full device",
     [](ScriptedMachine& m) { m.stdOutputError = ERROR_DISK_FULL; }, false},
    {"standard output a broken pipe",
     [](ScriptedMachine& m) {
       m.stdOutputType = FILE_TYPE_PIPE;
       m.stdOutputError = ERROR_BROKEN_PIPE;
     },
     false},
    {"standard output a console that fails",
     [](ScriptedMachine& m) {
       m.stdOutputType = FILE_TYPE_CHAR;
       m.stdOutputError = ERROR_WRITE_FAULT;
     },
     false},
    {"no console", [](ScriptedMachine& m) { m.consolePresent = false; }, true},
    {"console colours cannot be read", [](ScriptedMachine& m) { m.failAttributeReads = true; },
     true},
    {"console colours cannot be written", [](ScriptedMachine& m) { m.failAttributeWrites = true; },
     true},
};

TEST(Faults, OfTheOutputNeverChangeTheRun) {
  for (const std::wstring& command : kCommands) {
    ProgramRun baseline = RunWith(command);
    ASSERT_EQ(compat::CurrentOutstanding().Total(), 0u);
    ASSERT_FALSE(baseline.output.empty());
    for (const OutputFault& c : kOutputFaults) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::string(command.begin(), command.end()));
      ProgramRun run = RunWith(command, c.fault);
      EXPECT_EQ(run.exitCode, baseline.exitCode);
      EXPECT_EQ(run.output, c.textArrives ? baseline.output : std::string());
      EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
    }
  }
}

// Without a console, or with one whose colours cannot be read, the writer never touches the
// console: no console function is called (the last error stays as it was) and no attribute is
// written, and every line of the list still arrives.
TEST(Faults, NoConsoleMeansNoColourChange) {
  ScriptedMachine baseline;
  Furnish(baseline);
  std::string expected = RunProgram(baseline, L"userlens /listusers").output;
  for (bool present : {false, true}) {
    ScriptedMachine machine;
    Furnish(machine);
    machine.consolePresent = present;
    machine.failAttributeReads = present;
    ScriptedModules modules(machine);
    SetLastError(ERROR_SUCCESS);
    ListLocalUsers();
    WriteColoredLine("red on cyan", 3, 4, 1, 1);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "console present: " << present;
    EXPECT_EQ(modules.Finish(), expected + "red on cyan\r\n");
    EXPECT_TRUE(machine.attributeWrites.empty());
  }
}

// Every status that NetUserGetInfo, NetUserGetGroups and NetUserGetLocalGroups can answer.
struct StatusCase {
  NET_API_STATUS status;
  std::string message;  // %CALL% stands for the call's name
};

const StatusCase kAccountStatuses[] = {
    {ERROR_ACCESS_DENIED, "Access Denied"},
    {NERR_UserNotFound, "User: \"bob\" does not exist"},
    {NERR_InvalidComputer, "Computer: \"WS01.CORP.EXAMPLE\" does not exist"},
    {NERR_InternalError, "Unknown response from %CALL%: 2140"},
    {ERROR_INVALID_LEVEL, "Unknown response from %CALL%: 124"},
    {ERROR_MORE_DATA, "Unknown response from %CALL%: 234"},
    {ERROR_BAD_NETPATH, "Unknown response from %CALL%: 53"},
    {ERROR_NOT_ENOUGH_MEMORY, "Unknown response from %CALL%: 8"},
    {ERROR_CALL_NOT_IMPLEMENTED, "Unknown response from %CALL%: 120"},
    {NERR_GroupNotFound, "Unknown response from %CALL%: 2220"},
    {0xFFFFFFFF, "Unknown response from %CALL%: -1"},
};

std::string Message(const StatusCase& c, const std::string& call) {
  std::string text = c.message;
  size_t at = text.find("%CALL%");
  if (at != std::string::npos) text.replace(at, 6, call);
  return text;
}

TEST(Faults, EveryStatusOfNetUserGetInfoEndsTheReportBeforeItsFirstLine) {
  for (const StatusCase& c : kAccountStatuses) {
    SCOPED_TRACE(c.status);
    ProgramRun run =
        RunWith(L"userlens bob", [&](ScriptedMachine& m) { m.getAccountStatus = c.status; });
    EXPECT_EQ(run.output, ErrorBlock(Message(c, "NetUserGetInfo")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST(Faults, EveryStatusOfTheMembershipCallsEndsTheReportInTheGroups) {
  const std::string groupsTitle =
      "Groups: ----------------------------------------------------------------------";
  struct Call {
    const char* name;
    std::function<void(ScriptedMachine&, NET_API_STATUS)> fail;
  };
  const Call calls[] = {
      {"NetUserGetGroups", [](ScriptedMachine& m, NET_API_STATUS s) { m.globalGroupsStatus = s; }},
      {"NetUserGetLocalGroups",
       [](ScriptedMachine& m, NET_API_STATUS s) { m.localGroupsStatus = s; }},
  };
  for (const Call& call : calls) {
    for (const StatusCase& c : kAccountStatuses) {
      SCOPED_TRACE(std::string(call.name) + " " + std::to_string(c.status));
      ProgramRun run =
          RunWith(L"userlens bob", [&](ScriptedMachine& m) { call.fail(m, c.status); });
      std::string expectedEnd = ErrorBlock(Message(c, call.name));
      ASSERT_GT(run.output.size(), expectedEnd.size());
      EXPECT_EQ(run.output.substr(run.output.size() - expectedEnd.size()), expectedEnd);
      // The account details and the group title came before the error; nothing after it.
      EXPECT_NE(run.output.find("Username: WS01.CORP.EXAMPLE\\bob"), std::string::npos);
      EXPECT_NE(run.output.find(groupsTitle), std::string::npos);
      EXPECT_EQ(run.output.find("Privileges: "), std::string::npos);
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
    }
  }
}

TEST(Faults, EveryStatusOfNetUserEnumEndsTheListQuietly) {
  const std::string header =
      Lines({"Users on this computer:", "Is Admin? | Username", "------------------"});
  for (const StatusCase& c : kAccountStatuses) {
    SCOPED_TRACE(c.status);
    ProgramRun run = RunWith(L"userlens /listusers", [&](ScriptedMachine& m) {
      m.batches = {{c.status, {}}};
    });
    EXPECT_EQ(run.output, header);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

// A platform that answers ERROR_MORE_DATA forever. The machine gives up after 1,000 calls, so
// that a program that would loop for ever fails this test instead of hanging it.
class EndlessEnumeration : public ScriptedMachine {
 public:
  NET_API_STATUS EnumerateAccounts(
      std::wstring_view server, DWORD& resumeHandle,
      const std::function<bool(const compat::AccountRecord&)>& sink) override {
    if (enumerateCalls >= 1000) return NERR_Success;
    return ScriptedMachine::EnumerateAccounts(server, resumeHandle, sink);
  }
};

TEST(Faults, NetUserEnumThatAsksForMoreForeverEnds) {
  const std::string header =
      Lines({"Users on this computer:", "Is Admin? | Username", "------------------"});
  compat::AccountRecord record;
  record.name = L"a";
  struct Case {
    const char* why;
    std::vector<ScriptedMachine::Batch> batches;
    std::string output;
    int calls;
  };
  const Case cases[] = {
      {"empty batches", {{ERROR_MORE_DATA, {}}}, header, 1},
      {"the same batch again, with the same resume handle",
       {{ERROR_MORE_DATA, {record}}},
       header + Lines({"          | a"}) + header + Lines({"          | a"}),
       2},
      {"a second batch, then the second again",
       {{ERROR_MORE_DATA, {record}}, {ERROR_MORE_DATA, {record, record}}},
       header + Lines({"          | a"}) + header + Lines({"          | a", "          | a"}) +
           header + Lines({"          | a", "          | a"}),
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EndlessEnumeration machine;
    machine.batches = c.batches;
    machine.repeatLastBatch = true;
    ProgramRun run = RunProgram(machine, L"userlens /listusers");
    EXPECT_EQ(machine.enumerateCalls, c.calls);
    // A program that loops prints thousands of lines: report their count, not the text.
    EXPECT_TRUE(run.output == c.output) << SplitLines(run.output).size() << " lines printed";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

// A platform call that runs out of memory: the command driver says so and ends the run with 1,
// and every line printed before stays.
class NoMemoryForTheEnvironment : public ScriptedMachine {
 public:
  std::optional<std::wstring> EnvironmentBlock() override { throw std::bad_alloc(); }
};

TEST(Faults, RunningOutOfMemoryEndsTheRunWithItsMessage) {
  const std::string whole = RunWith(L"userlens").output;
  const size_t title = whole.find("Environment variables: ");
  ASSERT_NE(title, std::string::npos);
  const size_t end = whole.find("\r\n", title) + 2;
  NoMemoryForTheEnvironment machine;
  Furnish(machine);
  ProgramRun run = RunProgram(machine, L"userlens");
  EXPECT_EQ(run.output, whole.substr(0, end) + ErrorBlock("Out of memory"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

// Faults of the security layer and the process, on the report of the current user and of bob.
struct ReportFault {
  const char* name;
  std::wstring command;
  std::function<void(ScriptedMachine&)> fault;
  int exitCode;
  std::vector<std::string> present;  // lines that must be printed
  std::vector<std::string> absent;   // lines that must not
};

const std::string kNoneLine = "WS01\\None (S-1-5-21-1-2-3-513)";
const std::string kSidLine = "  SID: S-1-5-21-1-2-3-1001";
const std::string kEmptySidLine = "  SID: ";

std::vector<ReportFault> ReportFaults() {
  std::vector<ReportFault> faults = {
      {"the library does not load",
       L"userlens bob",
       [](ScriptedMachine& m) { m.libraryLoads = false; },
       0,
       {kEmptySidLine, "WS01.CORP.EXAMPLE\\None ()"},
       {kSidLine}},
      {"the library does not load, current user",
       L"userlens",
       [](ScriptedMachine& m) { m.libraryLoads = false; },
       0,
       {kEmptySidLine},
       {kNoneLine}},
      {"every entry point is missing",
       L"userlens bob",
       [](ScriptedMachine& m) {
         for (const char* name :
              {"ConvertSidToStringSidA", "ConvertSidToStringSidW", "ConvertStringSidToSidA",
               "ConvertStringSidToSidW", "ConvertStringSecurityDescriptorToSecurityDescriptorA",
               "ConvertStringSecurityDescriptorToSecurityDescriptorW",
               "ConvertSecurityDescriptorToStringSecurityDescriptorA",
               "ConvertSecurityDescriptorToStringSecurityDescriptorW", "GetNamedSecurityInfoA",
               "GetNamedSecurityInfoW", "SetNamedSecurityInfoA", "SetNamedSecurityInfoW",
               "SetEntriesInAclA", "SetEntriesInAclW"}) {
           m.missingExports.insert(name);
         }
       },
       0,
       {kEmptySidLine},
       {kSidLine}},
      {"the name of an account cannot be mapped",
       L"userlens bob",
       [](ScriptedMachine& m) { m.lookupNameError = ERROR_NONE_MAPPED; },
       1,
       {"Username: WS01.CORP.EXAMPLE\\bob", "User:\"bob\" does not exist"},
       {kSidLine}},
      {"name lookups are denied",
       L"userlens bob",
       [](ScriptedMachine& m) { m.lookupNameError = ERROR_ACCESS_DENIED; },
       0,
       {kEmptySidLine},
       {kSidLine}},
      {"name lookups are not implemented",
       L"userlens bob",
       [](ScriptedMachine& m) { m.lookupNameError = ERROR_CALL_NOT_IMPLEMENTED; },
       0,
       {kEmptySidLine},
       {}},
      {"the process token cannot be opened",
       L"userlens",
       [](ScriptedMachine& m) { m.processTokenError = ERROR_ACCESS_DENIED; },
       0,
       {"(0) SeChangeNotifyPrivilege = Bypass traverse checking", "PATH=C:\\Windows"},
       {kNoneLine, "(X) SeChangeNotifyPrivilege = Bypass traverse checking"}},
      {"the thread token cannot be opened",
       L"userlens",
       [](ScriptedMachine& m) { m.threadTokenError = ERROR_ACCESS_DENIED; },
       0,
       {kNoneLine, "(0) SeShutdownPrivilege = Shut down the system"},
       {"(X) SeShutdownPrivilege = Shut down the system"}},
      {"the token groups cannot be read",
       L"userlens",
       [](ScriptedMachine& m) { m.tokenGroupsError = ERROR_ACCESS_DENIED; },
       0,
       {"(X) SeShutdownPrivilege = Shut down the system"},
       {kNoneLine}},
      {"a token group is a user without an account record",
       L"userlens",
       [](ScriptedMachine& m) {
         m.AddName(L"ghost", L"WS01", L"S-1-5-21-1-2-3-1999", SidTypeUser);
         compat::TokenGroup group;
         group.sid = compat::SidFromText(L"S-1-5-21-1-2-3-1999");
         m.tokenGroups.push_back(group);
       },
       1,
       {"User Not Found"},
       {"Privileges: ------------------------------------------------------------------"}},
      {"the environment block is missing",
       L"userlens",
       [](ScriptedMachine& m) { m.environment.reset(); },
       0,
       {"Environment variables: -------------------------------------------------------"},
       {"PATH=C:\\Windows", "USERNAME=alice"}},
      {"the name of the current user cannot be had",
       L"userlens",
       [](ScriptedMachine& m) { m.userNameError = ERROR_ACCESS_DENIED; },
       1,
       {"GetUserNameW failed with system error 5"},
       {"Username: WS01.CORP.EXAMPLE\\alice"}},
      {"the computer has no name",
       L"userlens bob",
       [](ScriptedMachine& m) { m.dnsName.clear(); },
       0,
       {"Username: \\bob"},
       {}},
      {"standard output closed and an error",
       L"userlens nobody",
       [](ScriptedMachine& m) { m.stdOutputType = FILE_TYPE_UNKNOWN; },
       1,
       {},
       {}},
      {"standard output full and an error",
       L"userlens nobody",
       [](ScriptedMachine& m) { m.stdOutputError = ERROR_DISK_FULL; },
       1,
       {},
       {}},
  };
  return faults;
}

TEST(Faults, OfTheSecurityLayerAndTheProcess) {
  for (const ReportFault& c : ReportFaults()) {
    SCOPED_TRACE(c.name);
    ProgramRun run = RunWith(c.command, c.fault);
    std::vector<std::string> lines = SplitLines(run.output);
    auto printed = [&](const std::string& line) {
      return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_EQ(run.exitCode, c.exitCode);
    for (const std::string& line : c.present) EXPECT_TRUE(printed(line)) << line;
    for (const std::string& line : c.absent) EXPECT_FALSE(printed(line)) << line;
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

// Without the fault, the lines that the table above expects to vanish are there: the table's
// absent lines are ones the report really prints.
TEST(Faults, TheReportsWithoutFaultsHoldTheLinesTheFaultsRemove) {
  for (const std::wstring command : {L"userlens", L"userlens bob"}) {
    std::vector<std::string> lines = SplitLines(RunWith(command).output);
    for (const ReportFault& c : ReportFaults()) {
      if (c.command != command) continue;
      for (const std::string& line : c.absent) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
            << c.name << ": " << line;
      }
    }
  }
}

}  // namespace
