#include <gtest/gtest.h>

#include "Actions/Actions.h"
#include "ProgramRun.h"

namespace {

const char kTitle[] =
    "Environment variables: -------------------------------------------------------";

std::string RunSection(compat::ScriptedMachine& machine, bool currentUser) {
  ScriptedModules modules(machine);
  IsCurrentUser = currentUser;
  ShowEnvironment();
  return modules.Finish();
}

TEST(Environment, PrintsTheBlockInOrderWithoutHiddenEntries) {
  struct Case {
    std::wstring block;
    std::string expected;
  };
  const Case cases[] = {
      {std::wstring(L"ZED=1\0=C:=C:\\Windows\0ALPHA=a=b=c\0EMPTY=\0NOEQUALS\0", 49),
       Lines({"", kTitle, "ZED=1", "ALPHA=a=b=c", "EMPTY=", "NOEQUALS"})},
      {std::wstring(L"=\0=x\0A=1\0A=2\0", 13), Lines({"", kTitle, "A=1", "A=2"})},
      {std::wstring(), Lines({"", kTitle})},
      {std::wstring(L"P=%s%d\0Q=caf\u00e9\0", 14), Lines({"", kTitle, "P=%s%d", "Q=caf\xc3\xa9"})},
  };
  for (const Case& c : cases) {
    compat::ScriptedMachine machine;
    machine.environment = c.block;
    EXPECT_EQ(RunSection(machine, true), c.expected);
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST(Environment, ReplacesWhatTheCodePageCannotHold) {
  compat::ScriptedMachine machine;
  machine.codePage = 28591;
  machine.environment = std::wstring(L"NAME=\u00e9\u20ac\0", 8);
  EXPECT_EQ(RunSection(machine, true), Lines({"", kTitle, "NAME=\xe9?"}));
}

TEST(Environment, AMissingBlockOrANamedAccountShowsTheTitleOnly) {
  compat::ScriptedMachine machine;
  machine.environment.reset();
  EXPECT_EQ(RunSection(machine, true), Lines({"", kTitle}));
  machine.environment = std::wstring(L"A=1\0", 4);
  EXPECT_EQ(RunSection(machine, false), Lines({"", kTitle}));
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

}  // namespace
