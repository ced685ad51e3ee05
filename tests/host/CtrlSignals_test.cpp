// Signals as console control events, in child processes.
#include "host/CtrlSignals.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include "host/HostMachine.h"

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

// The routines run on a thread of their own: waits up to two seconds for the count of their runs
// to reach `runs`.
void AwaitRoutines(int runs) {
  for (int i = 0; i < 200 && routinesRun.load() < runs; ++i) usleep(10000);
}

// Sends the signal to the process, as a terminal or kill(1) does, twice, with the thread that
// takes the signals as they come: the second run of the routines shows that the first ended
// without ending the process. Exits with the number of routine runs (two when the first routine
// asked handles the event).
[[noreturn]] void SendAndSurvive(int signal) {
  TakeControlSignalsOnAThread();
  for (int time = 1; time <= 2; ++time) {
    int before = routinesRun.load();
    kill(getpid(), signal);
    AwaitRoutines(before + 1);
  }
  _exit(routinesRun.load());
}

// Sends the signal once, with the thread that takes the signals as they come, and waits for the
// end it brings: exits 9 if the process outlives it by seconds.
[[noreturn]] void SendAndEnd(int signal) {
  TakeControlSignalsOnAThread();
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT would leave a core file
  kill(getpid(), signal);
  sleep(3);
  _exit(9);
}

TEST(CtrlSignals, SignalsAreControlEvents) {
  EXPECT_EQ(CtrlEventOfSignal(SIGINT), static_cast<int>(CTRL_C_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGQUIT), static_cast<int>(CTRL_BREAK_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGHUP), static_cast<int>(CTRL_CLOSE_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGTERM), static_cast<int>(CTRL_SHUTDOWN_EVENT));
  EXPECT_EQ(CtrlEventOfSignal(SIGUSR1), -1);
}

TEST(CtrlSignalsDeathTest, HandledCtrlCAndCtrlBreakAreIgnored) {
  for (int signal : {SIGINT, SIGQUIT}) {
    EXPECT_EXIT(
        {
          SetCtrlHandlerRoutine(Handles, true);
          SendAndSurvive(signal);
        },
        testing::ExitedWithCode(2), signal == SIGINT ? "event 0" : "event 1")
        << strsignal(signal);
  }
}

TEST(CtrlSignalsDeathTest, CloseAndShutdownEndTheProcessAfterTheHandler) {
  for (auto [signal, event] : {std::pair{SIGHUP, "event 2"}, std::pair{SIGTERM, "event 6"}}) {
    EXPECT_EXIT(
        {
          SetCtrlHandlerRoutine(Handles, true);
          SendAndEnd(signal);
        },
        testing::KilledBySignal(signal), event)
        << strsignal(signal);
  }
}

TEST(CtrlSignalsDeathTest, UnhandledCtrlCEndsTheProcess) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Declines, true);
        SendAndEnd(SIGINT);
      },
      testing::KilledBySignal(SIGINT), "");
}

// The routine added last runs first, and the first that handles the event ends the search: the
// one that declines is never asked (two runs, not four).
TEST(CtrlSignalsDeathTest, LastAddedRoutineRunsFirst) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Declines, true);
        SetCtrlHandlerRoutine(Handles, true);
        SendAndSurvive(SIGINT);
      },
      testing::ExitedWithCode(2), "event 0");
}

TEST(CtrlSignalsDeathTest, RemovedRoutineNoLongerRuns) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Handles, true);
        if (!SetCtrlHandlerRoutine(Handles, false)) _exit(3);
        if (SetCtrlHandlerRoutine(Handles, false)) _exit(4);  // not installed any more
        SendAndEnd(SIGINT);
      },
      testing::KilledBySignal(SIGINT), "");
}

// A signal ignored from the start (nohup, a background job) stays ignored, whatever the routines:
// with a routine that would end the process, it is still there when another signal ends it.
TEST(CtrlSignalsDeathTest, InheritedIgnoreStands) {
  for (int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
    EXPECT_EXIT(
        {
          std::signal(signal, SIG_IGN);
          SetCtrlHandlerRoutine(Declines, true);
          kill(getpid(), signal);
          usleep(200000);
          SendAndEnd(SIGUSR1);
        },
        testing::KilledBySignal(SIGUSR1), "")
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
          TakeControlSignalsOnAThread();
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

// Without the thread, the signals wait: no routine runs and no wait is broken off until the next
// write to standard output, which answers them, or the end of the process.
TEST(CtrlSignalsDeathTest, WithoutTheThreadSignalsWaitForAWrite) {
  EXPECT_EXIT(
      {
        HostConsole console;
        console.SetCtrlHandler(Handles, true);
        kill(getpid(), SIGINT);
        kill(getpid(), SIGTERM);
        int result = poll(nullptr, 0, 200);
        if (result != 0 || routinesRun.load() != 0) _exit(3);
        DWORD written = 0;
        console.WriteStdOutput("", 0, written);
        _exit(4);
      },
      testing::KilledBySignal(SIGTERM), "event 0\nevent 6");
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Handles, true);
        kill(getpid(), SIGHUP);
        usleep(100000);
        if (routinesRun.load() != 0) _exit(3);
        std::exit(0);
      },
      testing::KilledBySignal(SIGHUP), "event 2");
}

// Where no thread can be had (here: no address space for its stack), the signals keep waiting for
// the next write or the end, which answer them as before.
TEST(CtrlSignalsDeathTest, WithoutRoomForTheThreadSignalsWaitForTheEnd) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(Handles, true);
        unsigned long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        TakeControlSignalsOnAThread();
        if (ControlSignalsTakenOnAThread()) _exit(4);
        kill(getpid(), SIGTERM);
        std::exit(0);
      },
      testing::KilledBySignal(SIGTERM), "event 6");
}

// Standard output that nobody reads: a pipe, a socket, or a terminal whose other side is never
// read; its other end, kept open. Exits the process where it cannot be made.
int OutputNobodyReads(const char* kind) {
  int ends[2] = {-1, -1};
  if (std::strcmp(kind, "pipe") == 0) {
    if (pipe(ends) != 0) _exit(3);
  } else if (std::strcmp(kind, "socket") == 0) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) _exit(3);
  } else {
    ends[0] = posix_openpt(O_RDWR | O_NOCTTY);
    if (ends[0] < 0 || grantpt(ends[0]) != 0 || unlockpt(ends[0]) != 0) _exit(3);
    ends[1] = open(ptsname(ends[0]), O_RDWR | O_NOCTTY);
  }
  if (ends[1] < 0 || dup2(ends[1], STDOUT_FILENO) < 0) _exit(3);
  return ends[0];
}

// A write that may wait (to a pipe, a socket or a terminal that nobody reads) waits with the
// thread started: a shutdown still ends the process. Also where the bytes are fewer than the
// pipe's free room but a page partly read leaves a page too few (a pipe takes whole pages).
TEST(CtrlSignalsDeathTest, AShutdownEndsAWriteThatWaits) {
  const std::tuple<const char*, int, int, int> rows[] = {
      {"pipe", 0, 0, 1 << 20},
      {"pipe", 4096, 4066, 65500},
      {"socket", 0, 0, 1 << 20},
      {"terminal", 0, 0, 1 << 20},
  };
  for (auto [kind, before, readBack, size] : rows) {
    EXPECT_EXIT(
        {
          int other = OutputNobodyReads(kind);
          std::string filler(static_cast<size_t>(before), 'x');
          char sink[4096];
          if (write(STDOUT_FILENO, filler.data(), filler.size()) != before ||
              read(other, sink, static_cast<size_t>(readBack)) != readBack) {
            _exit(5);
          }
          alarm(5);  // without the thread the write would wait for ever
          HostConsole console;
          console.SetCtrlHandler(Handles, true);
          std::thread([] {
            usleep(200000);
            kill(getpid(), SIGTERM);
          }).detach();
          std::string block(static_cast<size_t>(size), 'x');
          DWORD written = 0;
          console.WriteStdOutput(block.data(), static_cast<DWORD>(block.size()), written);
          _exit(4);
        },
        testing::KilledBySignal(SIGTERM), "event 6")
        << kind << " " << size;
  }
}

// Only a write that may wait starts the thread: one to the null device, a file or a pipe with
// room does not (a run that writes there pays for no thread), one to a pipe that holds unread
// bytes, a socket or a terminal does.
TEST(CtrlSignalsDeathTest, OnlyAWriteThatMayWaitStartsTheThread) {
  const std::tuple<const char*, int, bool> rows[] = {
      {"null", 0, false}, {"file", 0, false},  {"pipe", 0, false},
      {"pipe", 1, true},  {"socket", 0, true}, {"terminal", 0, true},
  };
  for (auto [kind, queued, thread] : rows) {
    EXPECT_EXIT(
        {
          if (std::strcmp(kind, "null") == 0 || std::strcmp(kind, "file") == 0) {
            // The file has no name: nothing is left behind, whatever ends the child.
            int file =
                kind[0] == 'n' ? open("/dev/null", O_WRONLY) : open(".", O_TMPFILE | O_RDWR, 0600);
            if (file < 0 || dup2(file, STDOUT_FILENO) < 0) _exit(3);
          } else {
            OutputNobodyReads(kind);
          }
          if (queued > 0 && write(STDOUT_FILENO, "x", 1) != 1) _exit(5);
          HostConsole console;
          console.SetCtrlHandler(Handles, true);
          DWORD written = 0;
          console.WriteStdOutput("line\r\n", 6, written);
          _exit(written == 6 && ControlSignalsTakenOnAThread() == thread ? 0 : 6);
        },
        testing::ExitedWithCode(0), "")
        << kind << " " << queued;
  }
}

// A null routine ignores Ctrl+C (taken, with no routine to run: a shutdown sent after it is what
// ends the process) and nothing else.
TEST(CtrlSignalsDeathTest, NullRoutineIgnoresCtrlCOnly) {
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(nullptr, true);
        kill(getpid(), SIGINT);
        SendAndEnd(SIGTERM);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_EXIT(
      {
        SetCtrlHandlerRoutine(nullptr, true);
        SendAndEnd(SIGQUIT);
      },
      testing::KilledBySignal(SIGQUIT), "");
}

}  // namespace
}  // namespace compat
