// The console: the controlling terminal stands in for it; standard output is file descriptor 1.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "CodePages.h"
#include "host/AnsiColours.h"
#include "host/CtrlSignals.h"
#include "host/HostMachine.h"

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

// The length of the multi-byte character that starts at i, or 1: in a double-byte code page a lead
// byte takes the byte after it unless that is a control (no trail byte is below 0x40 or 0x7F),
// and GB18030 has four-byte characters too (lead, 0x30-0x39, lead, 0x30-0x39).
size_t MultiByteLength(UINT codePage, std::string_view text, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(k < text.size() ? text[k] : '\0'); };
  auto digit = [](unsigned char c) { return c >= 0x30 && c <= 0x39; };
  bool gb18030 = codePage == 54936;
  auto lead = [&](unsigned char c) {
    return gb18030 ? c >= 0x81 && c <= 0xFE : IsLeadByte(codePage, c);
  };
  if (!lead(at(i))) return 1;
  if (at(i + 1) >= 0x40 && at(i + 1) != 0x7F) return 2;
  if (gb18030 && digit(at(i + 1)) && lead(at(i + 2)) && digit(at(i + 3))) return 4;
  return 1;
}

// On a terminal, a control character of host data (C0 but TAB, the line's own CR LF at its end
// aside; DEL; C1) would act on the terminal instead of showing: each prints as one "?". The line
// is read a character at a time: a byte of a multi-byte character (0x80 in 932, 0x9B in GB18030)
// is no control of its own, and a lead byte before a control is no character. Outside UTF-8 a byte
// 0x9B of its own is always a control: the Linux console reads it as CSI whatever the character
// set, even where the code page makes it a letter ("›" in 1250-1258, "⌡" in KOI8).
std::string Printable(std::string_view line) {
  std::string out;
  size_t end =
      line.size() >= 2 && line.substr(line.size() - 2) == "\r\n" ? line.size() - 2 : line.size();
  UINT codePage = TheNames().AnsiCodePage();
  bool utf8 = codePage == 65001;
  const CodePage* page = FindCodePage(codePage);
  for (size_t i = 0; i < end; ++i) {
    auto byte = static_cast<unsigned char>(line[i]);
    bool control = (byte < 0x20 && byte != '\t') || byte == 0x7F;
    if (size_t length = MultiByteLength(codePage, line.substr(0, end), i); length > 1) {
      out += line.substr(i, length);
      i += length - 1;
      continue;
    }
    if (utf8 && byte == 0xC2 && i + 1 < end && static_cast<unsigned char>(line[i + 1]) < 0xA0 &&
        static_cast<unsigned char>(line[i + 1]) >= 0x80) {
      control = true;
      ++i;  // the two bytes of a C1 control
    } else if (!utf8 && byte == 0x9B) {
      control = true;
    } else if (!utf8 && byte >= 0x80 && byte < 0xA0 && page != nullptr) {
      bool invalid = false;
      std::wstring c = Decode(*page, line.substr(i, 1), invalid);
      control = c.size() == 1 && c[0] >= 0x80 && c[0] < 0xA0;
    }
    out += control ? '?' : static_cast<char>(byte);
  }
  out += line.substr(end);
  return out;
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

DWORD HostConsole::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  cbWritten = 0;
  if (!StdOutputIsTerminal()) return WriteAll(STDOUT_FILENO, bytes, cb, cbWritten);
  std::string shown = Printable(std::string_view(bytes, cb));
  DWORD error = WriteAll(STDOUT_FILENO, shown.data(), shown.size(), cbWritten);
  if (error == ERROR_SUCCESS) cbWritten = cb;
  return error;
}

}  // namespace compat
