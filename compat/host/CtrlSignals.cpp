#include "host/CtrlSignals.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>
#include <utility>

namespace compat {
namespace {

// The signals that stand for console control events, and the event of each.
constexpr std::pair<int, DWORD> kSignalEvents[] = {{SIGINT, CTRL_C_EVENT},
                                                   {SIGQUIT, CTRL_BREAK_EVENT},
                                                   {SIGHUP, CTRL_CLOSE_EVENT},
                                                   {SIGTERM, CTRL_SHUTDOWN_EVENT}};
constexpr size_t kSlots = 16;

static_assert(std::atomic<PHANDLER_ROUTINE>::is_always_lock_free,
              "handler routines are read in a signal handler");

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
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal);
  _exit(128 + signal);
}

void OnSignal(int signal) {
  int savedErrno = errno;
  int event = CtrlEventOfSignal(signal);
  bool handled = false;
  for (size_t i = kSlots; i-- > 0 && !handled;) {
    PHANDLER_ROUTINE routine = routines[i].load();
    if (routine != nullptr) handled = routine(static_cast<DWORD>(event)) != FALSE;
  }
  bool interrupt =
      event == static_cast<int>(CTRL_C_EVENT) || event == static_cast<int>(CTRL_BREAK_EVENT);
  if (interrupt && (handled || (event == static_cast<int>(CTRL_C_EVENT) && ignoreCtrlC.load()))) {
    errno = savedErrno;
    return;
  }
  EndBySignal(signal);
}

bool InstallSignalHandlers() {
  if (installed.exchange(true)) return true;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (auto [signal, event] : kSignalEvents) sigaddset(&action.sa_mask, signal);
  bool ok = true;
  for (auto [signal, event] : kSignalEvents) {
    // A signal the process was started ignoring (nohup, a background job) stays ignored: taking
    // it over would let a hangup end a run whose output goes to a file.
    struct sigaction inherited {};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    ok = sigaction(signal, &action, nullptr) == 0 && ok;
  }
  return ok;
}

}  // namespace

int CtrlEventOfSignal(int signal) {
  for (auto [known, event] : kSignalEvents) {
    if (known == signal) return static_cast<int>(event);
  }
  return -1;
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
  // The slots fill from the first; the signal handler walks them from the last.
  size_t free = kSlots;
  for (size_t i = kSlots; i-- > 0;) {
    if (routines[i].load() != nullptr) break;
    free = i;
  }
  if (free == kSlots) return false;
  routines[free].store(routine);
  return InstallSignalHandlers();
}

}  // namespace compat
