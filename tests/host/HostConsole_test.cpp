// The console on a terminal: colour changes as ANSI sequences where the text appears, and
// nothing at all for an attribute that does not change or for redirected output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "host/HostMachine.h"

namespace compat {
namespace {

// In a child that has the terminal as its controlling terminal and standard output on
// stdoutFd, writes the attributes and then "|end"; answers what reached the terminal and what
// reached standard output when it is not the terminal.
struct ChildOutput {
  std::string terminal;
  std::string redirected;
  int status = -1;
};

std::string ReadAll(int fd) {
  std::string text;
  char chunk[256];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n <= 0) break;  // EIO on the terminal once the child is gone
    text.append(chunk, static_cast<size_t>(n));
  }
  return text;
}

ChildOutput RunOnTerminal(bool redirect, std::initializer_list<WORD> attributes) {
  ChildOutput out;
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return out;
  int pipeFds[2] = {-1, -1};
  pid_t child = pipe(pipeFds) == 0 ? fork() : -1;
  if (child < 0) {
    for (int fd : {master, slave, pipeFds[0], pipeFds[1]}) {
      if (fd >= 0) close(fd);
    }
    return out;  // status -1: not an exit, so the test fails
  }
  if (child == 0) {
    close(master);
    close(pipeFds[0]);
    setsid();
    if (ioctl(slave, TIOCSCTTY, 0) != 0) _exit(10);
    dup2(redirect ? pipeFds[1] : slave, STDOUT_FILENO);
    HostConsole machine;
    if (!machine.ConsolePresent()) _exit(11);
    WORD attribute = 0;
    if (!machine.ReadConsoleAttribute(attribute) || attribute != 0x0007) _exit(12);
    for (WORD value : attributes) {
      if (!machine.WriteConsoleAttribute(value)) _exit(13);
    }
    if (!machine.ReadConsoleAttribute(attribute) || attribute != *(attributes.end() - 1)) _exit(14);
    (void)!write(STDOUT_FILENO, "|end", 4);
    _exit(0);
  }
  close(slave);
  close(pipeFds[1]);
  out.redirected = ReadAll(pipeFds[0]);
  waitpid(child, &out.status, 0);
  out.terminal = ReadAll(master);
  close(pipeFds[0]);
  close(master);
  return out;
}

TEST(HostConsole, ColourChangesReachTheTerminalAsAnsiSequences) {
  ChildOutput out = RunOnTerminal(false, {0x0007, 0x0004, 0x0004, 0x0007, 0x0007});
  ASSERT_TRUE(WIFEXITED(out.status) && WEXITSTATUS(out.status) == 0) << out.status;
  EXPECT_EQ(out.terminal, "\x1b[0;31m\x1b[0m|end");
}

TEST(HostConsole, UnchangedAttributeWritesNothing) {
  ChildOutput out = RunOnTerminal(false, {0x0007, 0x0007});
  ASSERT_TRUE(WIFEXITED(out.status) && WEXITSTATUS(out.status) == 0) << out.status;
  EXPECT_EQ(out.terminal, "|end");
}

TEST(HostConsole, RedirectedOutputNeverReceivesASequence) {
  ChildOutput out = RunOnTerminal(true, {0x0004, 0x0007});
  ASSERT_TRUE(WIFEXITED(out.status) && WEXITSTATUS(out.status) == 0) << out.status;
  EXPECT_EQ(out.redirected, "|end");
  EXPECT_EQ(out.terminal, "");
}

}  // namespace
}  // namespace compat
