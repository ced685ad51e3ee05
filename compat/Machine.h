// The facts of the computer that the stand-in answers from. compat/ implements the Win32
// contracts (buffers, size probes, handles, last error) once, on top of this interface;
// HostMachine answers from the Linux host, ScriptedMachine (tests/) from data a test fills in.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SidValue.h"
#include "win32/windows.h"

namespace compat {

// One full account record; the account calls project it to each info level. The defaults are
// Windows' values for "not known".
struct AccountRecord {
  std::wstring name;
  std::wstring homeDir;
  std::wstring comment;
  std::wstring scriptPath;
  std::wstring fullName;
  std::wstring usrComment;
  std::wstring parms;
  std::wstring workstations;
  std::wstring logonServer;
  std::wstring profile;
  std::wstring homeDirDrive;
  DWORD passwordAge = 0;
  DWORD priv = USER_PRIV_USER;
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  DWORD authFlags = 0;
  DWORD lastLogon = 0;
  DWORD lastLogoff = 0;
  DWORD acctExpires = TIMEQ_FOREVER;
  DWORD maxStorage = USER_MAXSTORAGE_UNLIMITED;
  DWORD unitsPerWeek = UNITS_PER_WEEK;
  std::optional<std::array<BYTE, 21>> logonHours;  // none: the record carries no block
  DWORD badPwCount = 0xFFFFFFFF;
  DWORD numLogons = 0xFFFFFFFF;
  DWORD countryCode = 0;
  DWORD codePage = 0;
  DWORD userId = 0;
  DWORD primaryGroupId = 0;
  DWORD passwordExpired = 0;
};

// An account name resolved to its SID, or a SID resolved to its name.
struct AccountLookup {
  SidValue sid;
  std::wstring name;
  std::wstring domain;
  SID_NAME_USE use = SidTypeUser;
};

struct TokenGroup {
  SidValue sid;
  DWORD attributes = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
};

enum class TokenKind { Process, Thread };

// The user's locale as the date lines need it: Windows' LOCALE_SMONTHNAME1..12,
// LOCALE_STIMEFORMAT, LOCALE_S1159 and LOCALE_S2359. An empty text means the locale has none.
struct LocaleFacts {
  std::array<std::wstring, 12> monthNames;
  std::wstring longTimeFormat;
  std::wstring amDesignator;
  std::wstring pmDesignator;
};

class Machine {
 public:
  virtual ~Machine() = default;

  // Process
  virtual std::wstring CommandLine() = 0;
  virtual DWORD UserName(std::wstring& name) = 0;  // ERROR_SUCCESS or the platform error
  virtual std::wstring ComputerNameDns() = 0;      // fully qualified, as the resolver gives it
  virtual std::wstring ComputerNameNetBios() = 0;  // at most 15 characters, upper case
  virtual std::optional<std::wstring> EnvironmentBlock() = 0;  // entries each ended by a zero

  // Text and locale
  virtual UINT AnsiCodePage() = 0;
  virtual LocaleFacts Locale() = 0;

  // Console and standard output
  virtual bool ConsolePresent() = 0;
  virtual bool ReadConsoleAttribute(WORD& attribute) = 0;
  virtual bool WriteConsoleAttribute(WORD attribute) = 0;
  virtual bool SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) = 0;
  virtual DWORD StdOutputType() = 0;  // FILE_TYPE_*; FILE_TYPE_UNKNOWN when there is none
  virtual DWORD WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) = 0;

  // Libraries: whether a library loads, and which of the stand-in's exports it offers.
  virtual bool LibraryLoads(std::string_view name) = 0;
  virtual bool LibraryExports(std::string_view library, std::string_view symbol) = 0;

  // Account database. Statuses are Windows' (NERR_*, ERROR_*). server is empty for the local
  // computer.
  virtual NET_API_STATUS GetAccount(std::wstring_view server, std::wstring_view user,
                                    AccountRecord& record) = 0;
  // Hands each record of one batch to the sink; returns NERR_Success at the end,
  // ERROR_MORE_DATA when a further call with the updated resume handle continues, or an error.
  virtual NET_API_STATUS EnumerateAccounts(
      std::wstring_view server, DWORD& resumeHandle,
      const std::function<void(const AccountRecord&)>& sink) = 0;
  virtual NET_API_STATUS GlobalGroups(std::wstring_view server, std::wstring_view user,
                                      std::vector<std::wstring>& groups) = 0;
  virtual NET_API_STATUS LocalGroups(std::wstring_view server, std::wstring_view user, DWORD flags,
                                     std::vector<std::wstring>& groups) = 0;

  // Security. Lookups answer ERROR_SUCCESS, ERROR_NONE_MAPPED or another error.
  virtual DWORD LookupName(std::wstring_view system, std::wstring_view name,
                           AccountLookup& found) = 0;
  virtual DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) = 0;
  virtual DWORD OpenToken(TokenKind kind) = 0;  // ERROR_SUCCESS, or ERROR_NO_TOKEN, ...
  virtual DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) = 0;
  // Whether the token holds the privilege and has it enabled.
  virtual bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) = 0;
};

// The machine the stand-in answers from: the host unless a test installs another.
Machine& CurrentMachine();

// Installs a machine for the lifetime of the scope (tests), then restores the previous one.
class MachineScope {
 public:
  explicit MachineScope(Machine& machine);
  ~MachineScope();
  MachineScope(const MachineScope&) = delete;
  MachineScope& operator=(const MachineScope&) = delete;

 private:
  Machine* previous_;
};

}  // namespace compat
