// The usage text and the dispatch of the command driver, through the whole program.
#include <gtest/gtest.h>

#include "ExpectedFiles.h"
#include "ProgramRun.h"

namespace {

// The banner, the usage text and the disclaimer, as every help switch prints them.
const char kUsageFile[] = "usage.txt";

TEST(Usage, IsTheSame28LinesForEverySlashArgumentAndHelpSwitch) {
  const std::string usage = ReadExpected(kUsageFile);
  for (const wchar_t* argument : {L"/?", L"?", L"-?", L"\\?", L"/h", L"/H", L"/help", L"/debug",
                                  L"/listusersx", L"/list", L"/listusers:", L"/", L"\"/?\""}) {
    compat::ScriptedMachine machine;
    ProgramRun run = RunProgram(machine, std::wstring(L"userlens ") + argument);
    EXPECT_EQ(run.output, usage) << argument;
    EXPECT_EQ(run.exitCode, 0) << argument;
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
  EXPECT_EQ(SplitLines(usage).size(), 28u);
}

TEST(Usage, CopyrightLineIsThirtyThreePrintableCharacters) {
  std::vector<std::string> lines = SplitLines(ReadExpected(kUsageFile));
  ASSERT_GE(lines.size(), 2u);
  const std::string& line = lines[1];
  ASSERT_EQ(line.size(), 33u);
  for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
}

// Which action a command line reaches, told by the first line it prints.
TEST(Dispatch, ChoosesOneActionByTheFirstArgument) {
  struct Case {
    const wchar_t* commandLine;
    const char* firstLine;
  };
  const Case cases[] = {
      {L"userlens /listusers", "Users on this computer:"},
      {L"userlens /ListUsers", "Users on this computer:"},
      {L"userlens /LISTUSERS", "Users on this computer:"},
      {L"userlens \"/listusers\" alice", "Users on this computer:"},
      {L"userlens", "Username: HOST.EXAMPLE.TEST\\alice"},
      {L"userlens   \t ", "Username: HOST.EXAMPLE.TEST\\alice"},
      {L"userlens Bob", "Username: HOST.EXAMPLE.TEST\\bob"},
      {L"userlens bob /listusers", "Username: HOST.EXAMPLE.TEST\\bob"},
      {L"userlens -x", "Username: HOST.EXAMPLE.TEST\\-x"},
      {L"userlens help", "Username: HOST.EXAMPLE.TEST\\help"},
      {L"userlens \"\" bob", "Username: HOST.EXAMPLE.TEST\\bob"},
      {L"userlens \"John Smith\"", "Username: HOST.EXAMPLE.TEST\\john smith"},
  };
  for (const Case& c : cases) {
    compat::ScriptedMachine machine;
    for (const wchar_t* name : {L"alice", L"bob", L"-x", L"help", L"john smith"}) {
      machine.AddAccount(name);
    }
    ProgramRun run = RunProgram(machine, c.commandLine);
    std::vector<std::string> lines = SplitLines(run.output);
    ASSERT_FALSE(lines.empty()) << c.commandLine;
    EXPECT_EQ(lines[0], c.firstLine) << c.commandLine;
    EXPECT_EQ(run.exitCode, 0) << c.commandLine;
  }
}

TEST(Dispatch, AnErrorEndsTheRunBetweenBlankLines) {
  compat::ScriptedMachine machine;
  ProgramRun run = RunProgram(machine, L"userlens " + std::wstring(4097, L'x'));
  EXPECT_EQ(run.output, Lines({"", "Range check error", ""}));
  EXPECT_EQ(run.exitCode, 1);

  // The argument reaches the error message folded to lower case.
  run = RunProgram(machine, L"userlens NoBody");
  EXPECT_EQ(run.output, Lines({"", "User: \"nobody\" does not exist", ""}));
  EXPECT_EQ(run.exitCode, 1);

  // The next run starts with exit code 0 again.
  run = RunProgram(machine, L"userlens /?");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

}  // namespace
