// Signals as console control events, in child processes.
#include "host/CtrlSignals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

namespace compat {
namespace {

std::atomic<int> routinesRun{0};

// Reports the event on standard error and says it handled it.
BOOL WINAPI Handles(DWORD event) {
  char line[] = "event ?\n";
  line[6] = static_cast<char>('0' + event);
  (void)!write(STDERR_FILENO, line, sizeof(line) - 1);
  ++routinesRun;
  return TRUE;
}

BOOL WINAPI Declines(DWORD) {
  ++routinesRun;
  return FALSE;
}

// Sends the signal to the process, as a terminal or kill(1) does, and gives the routines a
// second to run (they run on a thread of their own); exits 0 if the process is still there.
void SendAndSurvive(int signal) {
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT would leave a core file
  int before = routinesRun.load();
  kill(getpid(), signal);
  for (int i = 0; i < 100 && routinesRun.load() == before; ++i) usleep(10000);
  usleep(50000);  // an end by the signal comes after the routines
  _exit(0);
}

void RaiseAndSurvive(PHANDLER_ROUTINE routine, int signal) {
  SetCtrlHandlerRoutine(routine, true);
  SendAndSurvive(signal);
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
        SendAndSurvive(SIGINT);
      },
      testing::ExitedWithCode(0), "event 0");
}

TEST(CtrlSignalsDeathTest, RemovedRoutineNoLongerRuns) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Handles, true);
        if (!SetCtrlHandlerRoutine(Handles, false)) _exit(3);
        if (SetCtrlHandlerRoutine(Handles, false)) _exit(4);  // not installed any more
        SendAndSurvive(SIGINT);
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

// A handled Ctrl+C interrupts nothing the program waits for, as on Windows, where the routine
// runs on a thread of its own: a wait that does not restart after a signal handler (poll, as the
// NSS modules' clients wait for their daemons) runs to its end.
TEST(CtrlSignalsDeathTest, HandledCtrlCInterruptsNoWait) {
  for (int signal : {SIGINT, SIGQUIT}) {
    EXPECT_EXIT(
        {
          SetCtrlHandlerRoutine(Handles, true);
          std::thread sender([signal] {
            usleep(100000);
            kill(getpid(), signal);
          });
          sender.detach();
          int result = poll(nullptr, 0, 400);
          _exit(result == 0 ? 0 : (errno == EINTR ? 3 : 4));
        },
        testing::ExitedWithCode(0), "event")
        << strsignal(signal);
  }
}

TEST(CtrlSignalsDeathTest, NullRoutineIgnoresCtrlCOnly) {
  EXPECT_EXIT(RaiseAndSurvive(nullptr, SIGINT), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RaiseAndSurvive(nullptr, SIGQUIT), testing::KilledBySignal(SIGQUIT), "");
}

}  // namespace
}  // namespace compat
