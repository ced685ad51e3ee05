// The console: the controlling terminal stands in for it; standard output is file descriptor 1.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "host/HostMachine.h"

namespace compat {

bool HostMachine::ConsolePresent() {
  if (consoleFd_ < 0) consoleFd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  return consoleFd_ >= 0;
}

bool HostMachine::ReadConsoleAttribute(WORD& attribute) {
  if (!ConsolePresent()) return false;
  attribute = consoleAttribute_;
  return true;
}

bool HostMachine::WriteConsoleAttribute(WORD attribute) {
  if (!ConsolePresent()) return false;
  consoleAttribute_ = attribute;
  return true;
}

bool HostMachine::SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) {
  (void)handler;
  (void)add;
  // A write to a closed pipe must fail like any other write, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

DWORD HostMachine::StdOutputType() {
  struct stat info {};
  if (fstat(STDOUT_FILENO, &info) != 0) return FILE_TYPE_UNKNOWN;
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}

DWORD HostMachine::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  cbWritten = 0;
  while (cbWritten < cb) {
    ssize_t n = write(STDOUT_FILENO, bytes + cbWritten, cb - cbWritten);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (errno == ENOSPC) return ERROR_DISK_FULL;
      if (errno == EPIPE) return ERROR_BROKEN_PIPE;
      if (errno == EBADF) return ERROR_INVALID_HANDLE;
      return ERROR_WRITE_FAULT;
    }
    cbWritten += static_cast<DWORD>(n);
  }
  return ERROR_SUCCESS;
}

bool HostMachine::LibraryLoads(std::string_view name) {
  (void)name;
  return true;
}

bool HostMachine::LibraryExports(std::string_view library, std::string_view symbol) {
  (void)library;
  (void)symbol;
  return true;
}

}  // namespace compat
