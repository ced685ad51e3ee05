// The Linux host seen as a Windows computer: NSS users and groups, shadow, lastlog, the
// process's groups and capabilities, environment, host name and locale.
#pragma once

#include "Machine.h"

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

  DWORD LookupName(std::wstring_view system, std::wstring_view name,
                   AccountLookup& found) override;
  DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) override;
  DWORD OpenToken(TokenKind kind) override;
  DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) override;
  bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) override;

 private:
  // Decodes and encodes host text (NSS fields, arguments) in the locale's character set.
  std::wstring FromHost(std::string_view bytes);
  std::string ToHost(std::wstring_view text);
  // Whether server names this computer (empty, or its DNS or NetBIOS name, with or without
  // leading backslashes, in any case).
  bool IsThisComputer(std::wstring_view server);

  UINT codePage_;
  LocaleFacts locale_;
  WORD consoleAttribute_ = 0x0007;
  int consoleFd_ = -1;
};

}  // namespace compat
