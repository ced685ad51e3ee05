// The contract of the console and standard handles: the console handles and their attribute
// (rows that need a terminal run only when the test has one), the type of standard output for
// a file, a pipe and the null device (the test is run with standard output sent to each and told
// which by USERLENS_STDOUT), writes to it, and the control handler.
#include <cstdlib>
#include <string>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "contract/Contract.h"

namespace {

using contract::Everywhere;
using contract::Where;

HANDLE OpenConsole(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

bool HasTerminal() {
  const char* value = std::getenv("USERLENS_TERMINAL");
  return value != nullptr && std::string(value) == "1";
}

// Whether the test process has a controlling terminal of its own (a run from an interactive
// shell), which is the stand-in's console whatever USERLENS_TERMINAL says.
bool ControllingTerminal() {
#ifdef _WIN32
  return false;
#else
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0) close(fd);
  return fd >= 0;
#endif
}

TEST(ConsoleContract, HandlesAndAttributeOnATerminal) {
  if (!HasTerminal()) GTEST_SKIP() << "runs under a terminal only (USERLENS_TERMINAL=1)";
  HANDLE input = OpenConsole("CONIN$");
  HANDLE output = OpenConsole("CONOUT$");
  ASSERT_NE(input, INVALID_HANDLE_VALUE);
  ASSERT_NE(output, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(output), static_cast<DWORD>(FILE_TYPE_CHAR));
  // Standard output on the terminal is a character device too: the program writes each line
  // at its end there, and shows its control characters as "?".
  EXPECT_EQ(GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)), static_cast<DWORD>(FILE_TYPE_CHAR));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  WORD saved = info.wAttributes;
  ASSERT_TRUE(SetConsoleTextAttribute(output, static_cast<WORD>((saved & ~0x0007) | 0x0004)));
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  EXPECT_EQ(info.wAttributes & 0x0007, 0x0004);
  ASSERT_TRUE(SetConsoleTextAttribute(output, saved));
  ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
  EXPECT_EQ(info.wAttributes, saved);
  // The input buffer has no text attribute: a program that mixed up its two handles fails.
  SetLastError(0);
  EXPECT_FALSE(GetConsoleScreenBufferInfo(input, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(SetConsoleTextAttribute(input, saved));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(output));
  EXPECT_TRUE(CloseHandle(input));
}

// Without a terminal there is no console, as under Wine. (Windows gives every console program a
// console; a process without one, started detached, is the same case.)
TEST(ConsoleContract, NoConsoleWithoutATerminal) {
  if (HasTerminal() || ControllingTerminal()) GTEST_SKIP() << "runs without a terminal only";
  if (contract::ThisSide() == contract::Side::Windows) {
    GTEST_SKIP() << "Windows gives every console program a console";
  }
  SetLastError(0);
  EXPECT_EQ(OpenConsole("CONOUT$"), INVALID_HANDLE_VALUE);
  EXPECT_NE(GetLastError(), 0u);
}

struct StdOutputRow {
  const char* name;
  const char* redirection;  // the value of USERLENS_STDOUT the test runs with
  DWORD type;
  Where where = Everywhere();
};

const StdOutputRow kStdOutput[] = {
    {"file", "file", FILE_TYPE_DISK},
    {"pipe", "pipe", FILE_TYPE_PIPE},
    {"null_device", "null", FILE_TYPE_CHAR},
};

class StdOutputContract : public ::testing::TestWithParam<StdOutputRow> {};

TEST_P(StdOutputContract, Holds) {
  const StdOutputRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  const char* redirection = std::getenv("USERLENS_STDOUT");
  if (redirection == nullptr || std::string(redirection) != row.redirection) {
    GTEST_SKIP() << "runs with standard output sent to the " << row.name
                 << " (USERLENS_STDOUT=" << row.redirection << ")";
  }
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  ASSERT_NE(output, INVALID_HANDLE_VALUE);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(GetFileType(output), row.type);
  DWORD written = 99;
  EXPECT_TRUE(WriteFile(output, "line\r\n", 6, &written, nullptr));
  EXPECT_EQ(written, 6u);
  written = 99;
  EXPECT_TRUE(WriteFile(output, "", 0, &written, nullptr));
  EXPECT_EQ(written, 0u);
}

CONTRACT_TABLE(StdOutputContract, kStdOutput)

BOOL WINAPI Handler(DWORD) {
  return TRUE;
}
BOOL WINAPI OtherHandler(DWORD) {
  return TRUE;
}

TEST(ConsoleContract, ControlHandlerIsAddedAndRemoved) {
  EXPECT_TRUE(SetConsoleCtrlHandler(Handler, TRUE));
  EXPECT_TRUE(SetConsoleCtrlHandler(Handler, FALSE));
  SetLastError(0);
  EXPECT_FALSE(SetConsoleCtrlHandler(OtherHandler, FALSE)) << "not installed";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
