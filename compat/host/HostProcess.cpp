// The process as the host sees it: its arguments, user, environment, groups and capabilities.
#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CodePages.h"
#include "Privileges.h"
#include "host/Administrators.h"
#include "host/GroupMemberships.h"
#include "host/HostMachine.h"
#include "host/HostText.h"
#include "host/NssErrors.h"

extern char** environ;

namespace compat {
namespace {

// The process's own arguments, as the C library hands them to the program's constructors
// (before main, without /proc). They are copied: a program may rearrange its argv (a test
// framework takes out its own flags), but its command line stays the one it was started with, as
// on Windows.
std::vector<std::string>& StartArguments() {
  static std::vector<std::string> kept;
  return kept;
}

void KeepArguments(int argc, char** argv, char**) {
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) StartArguments().emplace_back(argv[i]);
}

[[gnu::section(".init_array"), gnu::used]] void (*const keepArguments)(int, char**,
                                                                       char**) = &KeepArguments;

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

// An argument comes in the caller's locale; bytes the locale cannot read (any but ASCII in the C
// locale) are read as host text.
std::wstring ArgumentText(std::string_view bytes) {
  const CodePage* page = FindCodePage(TheNames().AnsiCodePage());
  bool invalid = page == nullptr || page->number == 20127;
  std::wstring text = invalid ? std::wstring() : Decode(*page, bytes, invalid);
  return invalid ? WideFromHost(bytes) : text;
}

// Whether the process is in the host's own user namespace, whose entry in /proc has a fixed inode
// number. Without /proc (or with the /proc of a PID namespace the process is not in, where
// /proc/self leads nowhere) the process is taken to be there. The program never changes its user
// namespace, so it is asked once, not for each privilege line.
bool InHostUserNamespace() {
  static const bool inHost = [] {
    constexpr ino_t kHostUserNamespaceInode = 0xEFFFFFFD;
    struct stat entry {};
    return stat("/proc/self/ns/user", &entry) != 0 || entry.st_ino == kHostUserNamespaceInode;
  }();
  return inHost;
}

// The effective group and the supplementary groups of the process.
std::vector<uint32_t> ProcessGroupIds() {
  std::vector<uint32_t> gids{static_cast<uint32_t>(getegid())};
  for (int attempt = 0; attempt < 4; ++attempt) {
    int count = getgroups(0, nullptr);
    if (count <= 0) break;
    std::vector<gid_t> list(static_cast<size_t>(count));
    int read = getgroups(count, list.data());
    if (read < 0) continue;  // the list grew in between
    gids.insert(gids.end(), list.begin(), list.begin() + read);
    break;
  }
  return gids;
}

}  // namespace

// Token 0 is the program as it was started; a program started with a name that quoting leaves
// empty (exec -a '', exec -a '"') is named by the file that was run, or "userlens" where that
// name too is only quotes, so that the first argument is always token 1.
std::wstring HostProcess::CommandLine() {
  std::wstring line;
  const std::vector<std::string>& arguments = StartArguments();
  auto onlyQuotes = [](const std::wstring& text) {
    return text.find_first_not_of(L'"') == std::wstring::npos;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::wstring argument = ArgumentText(arguments[i]);
    if (i == 0 && onlyQuotes(argument)) {
      auto* file = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
      argument = file != nullptr ? ArgumentText(file) : std::wstring();
      if (onlyQuotes(argument)) argument = L"userlens";
    }
    if (i > 0) line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

DWORD HostProcess::UserName(std::wstring& name) {
  HostDirectory& host = HostDirectory::Get();
  UserEntry user;
  Found answer = host.directory.FindUserById(static_cast<uint32_t>(geteuid()), user);
  if (answer == Found::Failed) return WindowsErrorOfNss(host.directory.LastError());
  if (answer == Found::No) return ERROR_NONE_MAPPED;
  name = WideFromHost(user.name);
  return ERROR_SUCCESS;
}

// The entries of the environment, each ended by a null; an empty entry would end the block
// early and is left out.
std::optional<std::wstring> HostProcess::EnvironmentBlock() {
  std::wstring block;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (**entry == '\0') continue;
    block += WideFromHost(*entry);
    block += L'\0';
  }
  return block;
}

// The process has its own token; a thread never impersonates, so it has none.
DWORD HostProcess::OpenToken(TokenKind kind) {
  return kind == TokenKind::Thread ? ERROR_NO_TOKEN : ERROR_SUCCESS;
}

DWORD HostProcess::TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) {
  if (kind == TokenKind::Thread) return ERROR_NO_TOKEN;
  HostDirectory& host = HostDirectory::Get();
  GroupMemberships memberships(host.directory, host.names);
  groups = memberships.ProcessGroups(static_cast<uint32_t>(geteuid()), ProcessGroupIds(),
                                     host.administrators);
  // Without the administrator groups the token's lack of Administrators would be a guess.
  if (host.administrators.Unreadable() &&
      std::none_of(groups.begin(), groups.end(),
                   [](const TokenGroup& group) { return group.sid == AdministratorsSid(); })) {
    return WindowsErrorOfNss(host.directory.LastError());
  }
  return ERROR_SUCCESS;
}

// Capabilities in a user namespace of its own (unshare -r, a rootless container) act on that
// namespace's objects only, while a privilege's power is over the whole computer: none is held.
bool HostProcess::PrivilegeEnabled(TokenKind kind, std::wstring_view privilege) {
  if (kind == TokenKind::Thread || !InHostUserNamespace()) return false;
  std::optional<uint64_t> capabilities = EffectiveCapabilities();
  return capabilities && PrivilegeHeld(privilege, *capabilities);
}

// The stand-in's own ADVAPI32 is always there, with every export it has.
bool HostProcess::LibraryLoads(std::string_view) {
  return true;
}

bool HostProcess::LibraryExports(std::string_view, std::string_view) {
  return true;
}

std::optional<uint64_t> EffectiveCapabilities() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return std::nullopt;
  return uint64_t{data[0].effective} | (uint64_t{data[1].effective} << 32);
}

}  // namespace compat
