// The Linux host seen as a Windows computer, in the four facets of Machine: NSS users and
// groups, shadow and lastlog as the account database; the process's arguments, user,
// environment, groups and capabilities; the terminal as the console; the host name and the
// locale.
#pragma once

#include <optional>
#include <ctime>
#include <string>

#include "Machine.h"
#include "host/AccountNames.h"
#include "host/Administrators.h"
#include "host/AnsiColours.h"
#include "host/FileDescriptor.h"
#include "host/NssDirectory.h"
#include "host/domain/DomainLink.h"

namespace compat {

// The host's users and groups and their names, shared by the facets that read them.
struct HostDirectory {
  static HostDirectory& Get();

  NssDirectory directory;
  std::unique_ptr<DomainLink> domain;  // none unless nsswitch.conf names winbind or sss
  AccountNames names;
  Administrators administrators;  // read on the first question that needs them
  uint32_t guestUid;              // the kernel's overflow uid: the account "nobody", Windows' guest

 private:
  HostDirectory();
};

class HostAccounts : public Accounts {
 public:
  NET_API_STATUS GetAccount(std::wstring_view server, std::wstring_view user,
                            AccountRecord& record) override;
  NET_API_STATUS EnumerateAccounts(std::wstring_view server, DWORD& resumeHandle,
                                   const std::function<bool(const AccountRecord&)>& sink) override;
  NET_API_STATUS Groups(GroupScope scope, std::wstring_view server, std::wstring_view user,
                        std::vector<std::wstring>& groups) override;
  DWORD LookupName(std::wstring_view system, std::wstring_view name, AccountLookup& found) override;
  DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) override;
};

class HostProcess : public Process {
 public:
  std::wstring CommandLine() override;
  DWORD UserName(std::wstring& name) override;
  std::optional<std::wstring> EnvironmentBlock() override;
  DWORD OpenToken(TokenKind kind) override;
  DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) override;
  bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilege) override;
  bool LibraryLoads(std::string_view library) override;
  bool LibraryExports(std::string_view library, std::string_view symbol) override;
};

// The effective capability set of the calling thread; none when the kernel does not say.
std::optional<uint64_t> EffectiveCapabilities();

class HostConsole : public Console {
 public:
  HostConsole();
  bool ConsolePresent() override;
  bool ReadConsoleAttribute(WORD& attribute) override;
  bool WriteConsoleAttribute(WORD attribute) override;
  bool SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) override;
  DWORD StdOutputType() override;
  DWORD WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) override;

 private:
  FileDescriptor console_;
  bool consoleOpened_ = false;
  // Whether standard output is a terminal, asked once: the program does not move it.
  bool StdOutputIsTerminal();

  WORD consoleAttribute_ = kStartupAttribute;
  int stdOutputIsTerminal_ = -1;  // not asked yet
  // What kind of file standard output is, for whether a write may wait; asked once.
  enum class Kind { Unknown, NeverWaits, Pipe, MayWait };
  Kind stdOutputKind_ = Kind::Unknown;
  bool WriteMayWait(size_t cb);
  timespec lastSignalCheck_{-1, 0};  // when the control signals were last asked for
};

class HostNames : public Names {
 public:
  HostNames();
  std::wstring ComputerNameDns() override;
  std::wstring ComputerNameNetBios() override;
  std::optional<SidValue> AccountDomainSid() override;
  UINT AnsiCodePage() override;
  LocaleFacts Locale() override;

 private:
  UINT codePage_;
  LocaleFacts locale_;
  std::optional<std::wstring> dnsName_;  // asked of the resolver once, when first needed
};

// Whether a server or system name names this computer's account database: empty, the
// computer's DNS, host or NetBIOS name, or "Unix User", the domain of its users (the program
// asks the domain of a user's SID for the user's full name).
bool IsThisComputer(std::wstring_view server);

}  // namespace compat
