// The Linux host seen as a Windows computer: NSS users and groups, shadow, lastlog, the
// process's groups and capabilities, environment, host name and locale.
#pragma once

#include <optional>
#include <string>

#include "Machine.h"
#include "host/AccountDirectory.h"
#include "host/AccountNames.h"
#include "host/AnsiColours.h"
#include "host/FileDescriptor.h"
#include "host/NssDirectory.h"

namespace compat {

class HostMachine : public Machine {
 public:
  HostMachine();

  std::wstring CommandLine() override;
  DWORD UserName(std::wstring& name) override;
  std::wstring ComputerNameDns() override;
  std::wstring ComputerNameNetBios() override;
  std::optional<std::wstring> EnvironmentBlock() override;

  UINT AnsiCodePage() override;
  LocaleFacts Locale() override;

  bool ConsolePresent() override;
  bool ReadConsoleAttribute(WORD& attribute) override;
  bool WriteConsoleAttribute(WORD attribute) override;
  bool SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) override;
  DWORD StdOutputType() override;
  DWORD WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) override;

  bool LibraryLoads(std::string_view name) override;
  bool LibraryExports(std::string_view library, std::string_view symbol) override;

  NET_API_STATUS GetAccount(std::wstring_view server, std::wstring_view user,
                            AccountRecord& record) override;
  NET_API_STATUS EnumerateAccounts(std::wstring_view server, DWORD& resumeHandle,
                                   const std::function<void(const AccountRecord&)>& sink) override;
  NET_API_STATUS GlobalGroups(std::wstring_view server, std::wstring_view user,
                              std::vector<std::wstring>& groups) override;
  NET_API_STATUS LocalGroups(std::wstring_view server, std::wstring_view user, DWORD flags,
                             std::vector<std::wstring>& groups) override;

  DWORD LookupName(std::wstring_view system, std::wstring_view name, AccountLookup& found) override;
  DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) override;
  DWORD OpenToken(TokenKind kind) override;
  DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) override;
  bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) override;

 private:
  // Whether a server or system name names this computer's account database: empty, the
  // computer's DNS, host or NetBIOS name, or "Unix User", the domain of its users (the program
  // asks the domain of a user's SID for the user's full name).
  bool IsThisComputer(std::wstring_view server);
  // The passwd entry of an account name: NERR_Success, NERR_UserNotFound or the error of NSS.
  NET_API_STATUS FindAccount(std::wstring_view name, UserEntry& user);

  UINT codePage_;
  LocaleFacts locale_;
  uint32_t guestUid_;
  NssDirectory directory_;
  AccountNames names_;
  std::optional<std::wstring> dnsName_;  // asked of the resolver once, when first needed
  FileDescriptor console_;
  bool consoleOpened_ = false;
  WORD consoleAttribute_ = kStartupAttribute;
};

}  // namespace compat
