#include "host/CtrlSignals.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <csignal>
#include <ctime>
#include <cstddef>
#include <thread>
#include <utility>

namespace compat {
namespace {

// The signals that stand for console control events, and the event of each.
constexpr std::pair<int, DWORD> kSignalEvents[] = {{SIGINT, CTRL_C_EVENT},
                                                   {SIGQUIT, CTRL_BREAK_EVENT},
                                                   {SIGHUP, CTRL_CLOSE_EVENT},
                                                   {SIGTERM, CTRL_SHUTDOWN_EVENT}};
constexpr size_t kSlots = 16;

std::atomic<PHANDLER_ROUTINE> routines[kSlots];
std::atomic<bool> ignoreCtrlC{false};
std::atomic<bool> installed{false};

// Ends the process by the signal's default action, so its parent sees the signal.
void EndBySignal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal);
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal);
  _exit(128 + signal);
}

// Runs the routines for one signal, the last added first, until one reports the event handled.
// Ctrl+C and Ctrl+Break that a routine handles are over; every other event ends the process.
void Dispatch(int signal) {
  int event = CtrlEventOfSignal(signal);
  bool handled = false;
  for (size_t i = kSlots; i-- > 0 && !handled;) {
    PHANDLER_ROUTINE routine = routines[i].load();
    if (routine != nullptr) handled = routine(static_cast<DWORD>(event)) != FALSE;
  }
  bool interrupt =
      event == static_cast<int>(CTRL_C_EVENT) || event == static_cast<int>(CTRL_BREAK_EVENT);
  if (interrupt && (handled || (event == static_cast<int>(CTRL_C_EVENT) && ignoreCtrlC.load()))) {
    return;
  }
  EndBySignal(signal);
}

// The signals taken as control events (all four, but those the process was started ignoring);
// set once, before anything reads them.
sigset_t takenSignals;
std::atomic<bool> threadWanted{false};
std::atomic<bool> threadStarted{false};

// Starts the thread that takes the signals as they come and runs their routines, as Windows runs
// them. Where no thread can be had, they keep waiting for the next write or the end.
void StartControlThread() {
  if (threadStarted.exchange(true)) return;
  sigset_t taken = takenSignals;
  try {
    std::thread([taken] {
      for (;;) {
        int signal = 0;
        if (sigwait(&taken, &signal) == 0) Dispatch(signal);
      }
    }).detach();
  } catch (...) {
    threadStarted.store(false);
  }
}

// The program's own thread is never interrupted by a control signal: the signals are blocked in
// it (and in every thread and child it starts later) and taken from the process by sigwait. A
// handler that ran on the program's thread would break off the waits of libraries that take EINTR
// as failure (poll does not restart), such as an NSS module's wait for its daemon, and a handled
// Ctrl+C would then cost an account its answer.
bool InstallSignalHandlers() {
  if (installed.load()) return true;
  sigset_t taken;
  sigemptyset(&taken);
  for (auto [signal, event] : kSignalEvents) {
    // A signal the process was started ignoring (nohup, a background job) stays ignored: taking
    // it over would let a hangup end a run whose output goes to a file.
    struct sigaction inherited {};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaddset(&taken, signal);
  }
  if (pthread_sigmask(SIG_BLOCK, &taken, nullptr) != 0) return false;
  takenSignals = taken;
  installed.store(true);
  // The signals that came after the last write are answered at the end.
  std::atexit(RunPendingControlRoutines);
  if (threadWanted.load()) StartControlThread();
  return true;
}

}  // namespace

int CtrlEventOfSignal(int signal) {
  for (auto [known, event] : kSignalEvents) {
    if (known == signal) return static_cast<int>(event);
  }
  return -1;
}

void TakeControlSignalsOnAThread() {
  threadWanted.store(true);
  if (installed.load()) StartControlThread();
}

bool ControlSignalsTakenOnAThread() {
  return threadStarted.load();
}

void RunPendingControlRoutines() {
  if (!installed.load() || threadStarted.load()) return;
  sigset_t pending;
  if (sigpending(&pending) != 0) return;
  for (auto [signal, event] : kSignalEvents) {
    if (sigismember(&takenSignals, signal) != 1 || sigismember(&pending, signal) != 1) continue;
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    const timespec now{0, 0};
    if (sigtimedwait(&one, nullptr, &now) == signal) Dispatch(signal);
  }
}

bool SetCtrlHandlerRoutine(PHANDLER_ROUTINE routine, bool add) {
  if (routine == nullptr) {
    ignoreCtrlC.store(add);
    return InstallSignalHandlers();
  }
  if (!add) {
    for (size_t i = kSlots; i-- > 0;) {
      PHANDLER_ROUTINE expected = routine;
      if (routines[i].compare_exchange_strong(expected, nullptr)) return true;
    }
    return false;
  }
  // The slots fill from the first; the control thread walks them from the last.
  size_t free = kSlots;
  for (size_t i = kSlots; i-- > 0;) {
    if (routines[i].load() != nullptr) break;
    free = i;
  }
  if (free == kSlots) return false;
  routines[free].store(routine);
  if (InstallSignalHandlers()) return true;
  routines[free].store(nullptr);  // a failed add adds nothing
  return false;
}

}  // namespace compat
