// The console: the controlling terminal stands in for it; standard output is file descriptor 1.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "host/AnsiColours.h"
#include "host/CtrlSignals.h"
#include "host/HostMachine.h"

namespace compat {
namespace {

bool WriteAll(int fd, const char* bytes, size_t cb) {
  size_t done = 0;
  while (done < cb) {
    ssize_t n = write(fd, bytes + done, cb - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

DWORD WriteErrorOf(int error) {
  switch (error) {
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

bool HostMachine::ConsolePresent() {
  if (!consoleOpened_) {
    consoleOpened_ = true;
    console_ = FileDescriptor(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
  }
  return console_.valid();
}

bool HostMachine::ReadConsoleAttribute(WORD& attribute) {
  if (!ConsolePresent()) return false;
  attribute = consoleAttribute_;
  return true;
}

bool HostMachine::WriteConsoleAttribute(WORD attribute) {
  if (!ConsolePresent()) return false;
  if (attribute == consoleAttribute_) return true;
  // The colours are shown where the text appears: on standard output when it is a terminal.
  // Output redirected to a file or a pipe never receives an escape sequence.
  if (isatty(STDOUT_FILENO) == 1) {
    std::string sequence = AnsiSequenceOf(attribute);
    if (!WriteAll(STDOUT_FILENO, sequence.data(), sequence.size())) return false;
  }
  consoleAttribute_ = attribute;
  return true;
}

bool HostMachine::SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) {
  return SetCtrlHandlerRoutine(handler, add);
}

// A terminal is the character device of Windows' console. Other character devices (/dev/null)
// take output like a file: nothing of them asks for a line to be written at once.
DWORD HostMachine::StdOutputType() {
  struct stat info {};
  if (fstat(STDOUT_FILENO, &info) != 0) return FILE_TYPE_UNKNOWN;
  if (S_ISCHR(info.st_mode)) return isatty(STDOUT_FILENO) == 1 ? FILE_TYPE_CHAR : FILE_TYPE_DISK;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}

DWORD HostMachine::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  cbWritten = 0;
  while (cbWritten < cb) {
    ssize_t n = write(STDOUT_FILENO, bytes + cbWritten, cb - cbWritten);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WriteErrorOf(errno);
    if (n == 0) return ERROR_WRITE_FAULT;
    cbWritten += static_cast<DWORD>(n);
  }
  return ERROR_SUCCESS;
}

}  // namespace compat
