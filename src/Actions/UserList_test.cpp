#include <gtest/gtest.h>

#include "ProgramRun.h"

namespace {

compat::AccountRecord Account(const wchar_t* name, DWORD priv, DWORD flags) {
  compat::AccountRecord record;
  record.name = name;
  record.priv = priv;
  record.flags = flags;
  return record;
}

const std::string kHeader =
    Lines({"Users on this computer:", "Is Admin? | Username", "------------------"});

TEST(ListLocalUsers, MarksAdministratorsAndDisabledAccounts) {
  compat::ScriptedMachine machine;
  machine.accounts = {
      Account(L"Administrator", USER_PRIV_ADMIN, UF_NORMAL_ACCOUNT),
      Account(L"Guest", USER_PRIV_GUEST, UF_NORMAL_ACCOUNT | UF_ACCOUNTDISABLE),
      Account(L"alice", USER_PRIV_USER, UF_NORMAL_ACCOUNT),
      Account(L"old-admin", USER_PRIV_ADMIN, UF_ACCOUNTDISABLE),
      Account(L"odd", 3, 0),  // the admin bit alone decides
      Account(L"J\u00f6rg", USER_PRIV_USER, 0),
  };
  ProgramRun run = RunProgram(machine, L"userlens /listusers");
  EXPECT_EQ(run.output, kHeader + Lines({
                                      "   Yes    | Administrator",
                                      "          | Guest (Disabled)",
                                      "          | alice",
                                      "   Yes    | old-admin (Disabled)",
                                      "   Yes    | odd",
                                      "          | J\xc3\xb6rg",
                                  }));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  // The bar stands in column 11 in the header and in both kinds of row.
  for (const std::string& line : SplitLines(run.output)) {
    if (line.find('|') != std::string::npos) {
      EXPECT_EQ(line.find('|'), 10u) << line;
    }
  }
}

TEST(ListLocalUsers, PrintsTheHeaderBeforeEveryBatch) {
  compat::ScriptedMachine machine;
  machine.batches = {
      {ERROR_MORE_DATA, {Account(L"a", USER_PRIV_USER, 0), Account(L"b", USER_PRIV_ADMIN, 0)}},
      {ERROR_MORE_DATA, {Account(L"c", USER_PRIV_USER, UF_ACCOUNTDISABLE)}},
      {NERR_Success, {Account(L"d", USER_PRIV_USER, 0)}},
  };
  ProgramRun run = RunProgram(machine, L"userlens /listusers");
  EXPECT_EQ(run.output, kHeader + Lines({"          | a", "   Yes    | b"}) + kHeader +
                            Lines({"          | c (Disabled)"}) + kHeader +
                            Lines({"          | d"}));
  EXPECT_EQ(machine.enumerateCalls, 3);
  EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
}

// A failed batch brings no accounts, even those read before the failure, as on Windows: a part of
// the list would pass for all of it.
TEST(ListLocalUsers, AFailedEnumerationPrintsTheHeaderOnly) {
  for (NET_API_STATUS status : {ERROR_ACCESS_DENIED, NERR_InvalidComputer, NERR_InternalError}) {
    compat::ScriptedMachine machine;
    machine.batches = {{ERROR_MORE_DATA, {Account(L"a", USER_PRIV_USER, 0)}},
                       {status, {Account(L"b", USER_PRIV_USER, 0)}}};
    ProgramRun run = RunProgram(machine, L"userlens /listusers");
    EXPECT_EQ(run.output, kHeader + Lines({"          | a"}) + kHeader) << status;
    EXPECT_EQ(run.exitCode, 0) << status;
    EXPECT_EQ(compat::CurrentOutstanding().Total(), 0u);
  }
}

TEST(ListLocalUsers, StopsWhenABatchAsksForMoreButBringsNothing) {
  compat::ScriptedMachine machine;
  machine.batches = {{ERROR_MORE_DATA, {Account(L"a", USER_PRIV_USER, 0)}}, {ERROR_MORE_DATA, {}}};
  machine.repeatLastBatch = true;
  ProgramRun run = RunProgram(machine, L"userlens /listusers");
  EXPECT_EQ(run.output, kHeader + Lines({"          | a"}) + kHeader);
  EXPECT_EQ(machine.enumerateCalls, 2);
  EXPECT_EQ(run.exitCode, 0);
}

TEST(ListLocalUsers, ShowsNamesInTheAnsiCodePage) {
  compat::ScriptedMachine machine;
  machine.codePage = 20127;
  machine.accounts = {Account(L"J\u00f6rg", USER_PRIV_USER, 0),
                      Account(L"%s%d", USER_PRIV_USER, 0)};
  ProgramRun run = RunProgram(machine, L"userlens /listusers");
  EXPECT_EQ(run.output, kHeader + Lines({"          | J?rg", "          | %s%d"}));
}

}  // namespace
