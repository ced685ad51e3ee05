// The console: the controlling terminal stands in for it; standard output is file descriptor 1.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>

#include "host/AnsiColours.h"
#include "host/CtrlSignals.h"
#include "host/HostMachine.h"
#include "host/TerminalText.h"

namespace compat {
namespace {

// Writes all of the bytes; a descriptor left non-blocking is waited for until it takes more.
DWORD WriteAll(int fd, const char* bytes, size_t cb, DWORD& cbWritten) {
  size_t done = 0;
  while (done < cb) {
    ssize_t n = write(fd, bytes + done, cb - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    if (n <= 0) break;
    done += static_cast<size_t>(n);
    cbWritten = static_cast<DWORD>(done);
  }
  if (done == cb) return ERROR_SUCCESS;
  switch (errno) {
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_WRITE_FAULT;
  }
}

}  // namespace

HostConsole::HostConsole() {
  // A write to a closed pipe fails like any other write instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
}

bool HostConsole::ConsolePresent() {
  if (!consoleOpened_) {
    consoleOpened_ = true;
    console_ = FileDescriptor(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
  }
  return console_.valid();
}

bool HostConsole::ReadConsoleAttribute(WORD& attribute) {
  if (!ConsolePresent()) return false;
  attribute = consoleAttribute_;
  return true;
}

bool HostConsole::WriteConsoleAttribute(WORD attribute) {
  if (!ConsolePresent()) return false;
  if (attribute == consoleAttribute_) return true;
  // The colours are shown where the text appears: on standard output when it is a terminal.
  // Output redirected to a file or a pipe never receives an escape sequence.
  if (StdOutputIsTerminal()) {
    std::string sequence = AnsiSequenceOf(attribute);
    DWORD written = 0;
    if (WriteAll(STDOUT_FILENO, sequence.data(), sequence.size(), written) != ERROR_SUCCESS) {
      return false;
    }
  }
  consoleAttribute_ = attribute;
  return true;
}

bool HostConsole::SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) {
  return SetCtrlHandlerRoutine(handler, add);
}

// A terminal is Windows' console and the null device is a character device as on Windows;
// pipes and sockets are pipes, anything else a disk file.
DWORD HostConsole::StdOutputType() {
  struct stat info {};
  if (fstat(STDOUT_FILENO, &info) != 0) return FILE_TYPE_UNKNOWN;
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}

bool HostConsole::StdOutputIsTerminal() {
  if (stdOutputIsTerminal_ < 0) stdOutputIsTerminal_ = isatty(STDOUT_FILENO) == 1 ? 1 : 0;
  return stdOutputIsTerminal_ == 1;
}

// Whether writing cb bytes to standard output may wait for another process: a pipe that is not
// empty or cannot take them at once (it takes whole pages, and a page partly read holds no more),
// a socket, a terminal (flow control, a stopped job). A disk file or a device such as the null
// device takes them at once.
bool HostConsole::WriteMayWait(size_t cb) {
  if (stdOutputKind_ == Kind::Unknown) {
    DWORD type = StdOutputType();
    bool neverWaits = type == FILE_TYPE_DISK || (type == FILE_TYPE_CHAR && !StdOutputIsTerminal());
    stdOutputKind_ = neverWaits               ? Kind::NeverWaits
                     : type == FILE_TYPE_PIPE ? Kind::Pipe
                                              : Kind::MayWait;
  }
  if (stdOutputKind_ != Kind::Pipe) return stdOutputKind_ == Kind::MayWait;
  // A socket has no pipe size, and may wait.
  int queued = 0;
  int capacity = fcntl(STDOUT_FILENO, F_GETPIPE_SZ);
  return capacity < 0 || ioctl(STDOUT_FILENO, FIONREAD, &queued) != 0 || queued != 0 ||
         cb > static_cast<size_t>(capacity);
}

DWORD HostConsole::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  if (!ControlSignalsTakenOnAThread()) {
    // The control signals that came are answered now, where no thread takes them as they come;
    // asked once a tick of the coarse clock at most, since output to the null device is written
    // a line at a time.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    if (now.tv_sec != lastSignalCheck_.tv_sec || now.tv_nsec != lastSignalCheck_.tv_nsec) {
      lastSignalCheck_ = now;
      RunPendingControlRoutines();
    }
    // A write that may wait for another process waits with the thread that answers them as they
    // come: a shutdown must end a program held up by a full pipe.
    if (WriteMayWait(cb)) TakeControlSignalsOnAThread();
  }
  cbWritten = 0;
  if (!StdOutputIsTerminal()) return WriteAll(STDOUT_FILENO, bytes, cb, cbWritten);
  std::string shown = PrintableOnTerminal(std::string_view(bytes, cb), TheNames().AnsiCodePage());
  DWORD error = WriteAll(STDOUT_FILENO, shown.data(), shown.size(), cbWritten);
  if (error == ERROR_SUCCESS) cbWritten = cb;
  return error;
}

}  // namespace compat
