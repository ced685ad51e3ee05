// The process as the host sees it: its arguments, user, computer names and environment.
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CodePages.h"
#include "host/HostMachine.h"

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

}  // namespace

std::wstring HostMachine::CommandLine() {
  std::string raw;
  int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof(chunk))) > 0) raw.append(chunk, static_cast<size_t>(n));
    close(fd);
  }
  std::wstring line;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    if (!line.empty()) line += L' ';
    line += QuoteArgument(FromHost(std::string_view(raw).substr(start, end - start)));
    start = end + 1;
  }
  return line;
}

DWORD HostMachine::UserName(std::wstring& name) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  int error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result);
  if (result == nullptr) return error == 0 ? ERROR_NONE_MAPPED : ERROR_NOT_ENOUGH_MEMORY;
  name = FromHost(entry.pw_name);
  return ERROR_SUCCESS;
}

std::wstring HostMachine::ComputerNameDns() {
  char host[256] = {};
  if (gethostname(host, sizeof(host) - 1) != 0) return std::wstring();
  return FromHost(host);
}

std::wstring HostMachine::ComputerNameNetBios() {
  std::wstring dns = ComputerNameDns();
  std::wstring name = dns.substr(0, dns.find(L'.')).substr(0, MAX_COMPUTERNAME_LENGTH);
  for (wchar_t& c : name) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return name;
}

std::optional<std::wstring> HostMachine::EnvironmentBlock() {
  std::wstring block;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    block += FromHost(*entry);
    block += L'\0';
  }
  return block;
}

std::wstring HostMachine::FromHost(std::string_view bytes) { return DecodeText(codePage_, bytes); }

std::string HostMachine::ToHost(std::wstring_view text) { return EncodeText(codePage_, text); }

}  // namespace compat
