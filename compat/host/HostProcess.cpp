// The process as the host sees it: its arguments, user and environment.
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/HostMachine.h"
#include "host/HostText.h"
#include "host/NssErrors.h"
#include "host/NssRetry.h"

extern char** environ;

namespace compat {
namespace {

// Quotes an argument so that the program's own splitting of the command line gives it back:
// a token ends at a character of code 32 or less outside quotes, and a quoted stretch keeps
// everything up to the next quote. A double quote itself cannot be carried by these rules and
// is dropped (Windows does not allow it in account names).
std::wstring QuoteArgument(std::wstring_view argument) {
  std::wstring plain;
  bool needsQuotes = argument.empty();
  for (wchar_t c : argument) {
    if (c == L'"') continue;
    if (static_cast<unsigned>(c) <= 32) needsQuotes = true;
    plain += c;
  }
  return needsQuotes ? L"\"" + plain + L"\"" : plain;
}

std::string ReadProcessArguments() {
  std::string raw;
  FileDescriptor file(open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return raw;
  char chunk[4096];
  ssize_t n;
  while ((n = read(file.get(), chunk, sizeof(chunk))) > 0) {
    raw.append(chunk, static_cast<size_t>(n));
  }
  return raw;
}

}  // namespace

std::wstring HostMachine::CommandLine() {
  std::string raw = ReadProcessArguments();
  std::wstring line;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    if (!line.empty()) line += L' ';
    line +=
        QuoteArgument(WideFromHost(codePage_, std::string_view(raw).substr(start, end - start)));
    start = end + 1;
  }
  return line;
}

DWORD HostMachine::UserName(std::wstring& name) {
  std::vector<char> buffer;
  passwd entry{};
  passwd* result = nullptr;
  int error = CallWithGrowingBuffer(buffer, [&](char* data, size_t size) {
    return getpwuid_r(geteuid(), &entry, data, size, &result);
  });
  if (result == nullptr) return MeansNotFound(error) ? ERROR_NONE_MAPPED : WindowsErrorOfNss(error);
  name = WideFromHost(codePage_, entry.pw_name);
  return ERROR_SUCCESS;
}

std::optional<std::wstring> HostMachine::EnvironmentBlock() {
  std::wstring block;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    block += WideFromHost(codePage_, *entry);
    block += L'\0';
  }
  return block;
}

}  // namespace compat
