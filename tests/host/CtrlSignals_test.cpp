// Signals as console control events, in child processes.
#include "host/CtrlSignals.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace compat {
namespace {

// Reports the event on standard error (write is async-signal-safe) and says it handled it.
BOOL WINAPI Handles(DWORD event) {
  char line[] = "event ?\n";
  line[6] = static_cast<char>('0' + event);
  (void)!write(STDERR_FILENO, line, sizeof(line) - 1);
  return TRUE;
}

BOOL WINAPI Declines(DWORD) {
  return FALSE;
}

void RaiseAndSurvive(PHANDLER_ROUTINE routine, int signal) {
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT would leave a core file
  SetCtrlHandlerRoutine(routine, true);
  raise(signal);
  _exit(0);
}

TEST(CtrlSignals, SignalsAreControlEvents) {
  EXPECT_EQ(CtrlEventOfSignal(SIGINT), static_cast<int>(CTRL_C_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGQUIT), static_cast<int>(CTRL_BREAK_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGHUP), static_cast<int>(CTRL_CLOSE_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGTERM), static_cast<int>(CTRL_SHUTDOWN_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGUSR1), -1);
}

TEST(CtrlSignalsDeathTest, HandledCtrlCAndCtrlBreakAreIgnored) {
  EXPECT_EXIT(RaiseAndSurvive(Handles, SIGINT), testing::ExitedWithCode(0), "event 0");
  EXPECT_EXIT(RaiseAndSurvive(Handles, SIGQUIT), testing::ExitedWithCode(0), "event 1");
}

TEST(CtrlSignalsDeathTest, CloseAndShutdownEndTheProcessAfterTheHandler) {
  EXPECT_EXIT(RaiseAndSurvive(Handles, SIGHUP), testing::KilledBySignal(SIGHUP), "event 2");
  EXPECT_EXIT(RaiseAndSurvive(Handles, SIGTERM), testing::KilledBySignal(SIGTERM), "event 6");
}

TEST(CtrlSignalsDeathTest, UnhandledCtrlCEndsTheProcess) {
  EXPECT_EXIT(RaiseAndSurvive(Declines, SIGINT), testing::KilledBySignal(SIGINT), "");
}

TEST(CtrlSignalsDeathTest, LastAddedRoutineRunsFirst) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Declines, true);
        SetCtrlHandlerRoutine(Handles, true);
        raise(SIGINT);
        _exit(0);
      },
      testing::ExitedWithCode(0), "event 0");
}

TEST(CtrlSignalsDeathTest, RemovedRoutineNoLongerRuns) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Handles, true);
        if (!SetCtrlHandlerRoutine(Handles, false)) _exit(3);
        if (SetCtrlHandlerRoutine(Handles, false)) _exit(4);  // not installed any more
        raise(SIGINT);
        _exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

// A signal ignored from the start (nohup, a background job) stays ignored, whatever the routines.
TEST(CtrlSignalsDeathTest, InheritedIgnoreStands) {
  for (int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
    EXPECT_EXIT(
        {
          std::signal(signal, SIG_IGN);
          RaiseAndSurvive(Declines, signal);
        },
        testing::ExitedWithCode(0), "")
        << strsignal(signal);
  }
}

TEST(CtrlSignalsDeathTest, NullRoutineIgnoresCtrlCOnly) {
  EXPECT_EXIT(RaiseAndSurvive(nullptr, SIGINT), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RaiseAndSurvive(nullptr, SIGQUIT), testing::KilledBySignal(SIGQUIT), "");
}

}  // namespace
}  // namespace compat
