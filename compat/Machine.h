// The facts of the computer that the stand-in answers from, in four facets: the account
// database, the running process, the console, and the computer's names and locale. Each Win32
// area of compat/ asks the facets it needs; the Linux host furnishes all four (host/), and a test
// puts in force only the one it scripts (InForce).
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Sid.h"
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
  std::optional<std::array<BYTE, 21>> logonHours;  // none: every hour allowed
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

// Which of an account's groups: NetUserGetGroups' or NetUserGetLocalGroups'.
enum class GroupScope { Global, Local };

// The user's locale as the date lines need it (LOCALE_SMONTHNAME1..12, LOCALE_STIMEFORMAT,
// LOCALE_S1159, LOCALE_S2359). An empty text: the locale has none.
struct LocaleFacts {
  std::array<std::wstring, 12> monthNames;
  std::wstring longTimeFormat;
  std::wstring amDesignator;
  std::wstring pmDesignator;
};

// The account database: accounts, groups, and the names and SIDs of both. Statuses and errors
// are Windows' own; an empty server or system is this computer.
class Accounts {
 public:
  virtual ~Accounts() = default;
  virtual NET_API_STATUS GetAccount(std::wstring_view server, std::wstring_view user,
                                    AccountRecord& record) = 0;
  // Hands the accounts from the one at resumeHandle on to the sink, until the sink refuses one
  // (returns false): then ERROR_MORE_DATA, with resumeHandle at the refused account. At the end
  // NERR_Success; or an error.
  virtual NET_API_STATUS EnumerateAccounts(
      std::wstring_view server, DWORD& resumeHandle,
      const std::function<bool(const AccountRecord&)>& sink) = 0;
  // The names of the account's global groups, or of its local groups (direct and indirect
  // memberships alike).
  virtual NET_API_STATUS Groups(GroupScope scope, std::wstring_view server, std::wstring_view user,
                                std::vector<std::wstring>& groups) = 0;
  // ERROR_SUCCESS, ERROR_NONE_MAPPED or another error.
  virtual DWORD LookupName(std::wstring_view system, std::wstring_view name,
                           AccountLookup& found) = 0;
  virtual DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) = 0;
};

// The running process: its command line, user, environment, token and libraries.
class Process {
 public:
  virtual ~Process() = default;
  virtual std::wstring CommandLine() = 0;
  virtual DWORD UserName(std::wstring& name) = 0;  // ERROR_SUCCESS or the platform's error
  virtual std::optional<std::wstring> EnvironmentBlock() = 0;  // entries each ended by a null
  virtual DWORD OpenToken(TokenKind kind) = 0;                 // ERROR_SUCCESS, ERROR_NO_TOKEN, ...
  virtual DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) = 0;
  // Whether the token holds the privilege and has it enabled.
  virtual bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilege) = 0;
  // Whether a library loads, and which of the stand-in's exports it offers.
  virtual bool LibraryLoads(std::string_view library) = 0;
  virtual bool LibraryExports(std::string_view library, std::string_view symbol) = 0;
};

// The console and the standard output handle.
class Console {
 public:
  virtual ~Console() = default;
  virtual bool ConsolePresent() = 0;
  virtual bool ReadConsoleAttribute(WORD& attribute) = 0;
  virtual bool WriteConsoleAttribute(WORD attribute) = 0;
  virtual bool SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) = 0;
  virtual DWORD StdOutputType() = 0;  // FILE_TYPE_*; FILE_TYPE_UNKNOWN when there is none
  virtual DWORD WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) = 0;
};

// The computer's names and the user's locale.
class Names {
 public:
  virtual ~Names() = default;
  virtual std::wstring ComputerNameDns() = 0;      // fully qualified, as the resolver gives it
  virtual std::wstring ComputerNameNetBios() = 0;  // upper case, at most 15 bytes in ANSI
  // The computer's own account domain (S-1-5-21-x-y-z); none when it has none.
  virtual std::optional<SidValue> AccountDomainSid() = 0;
  virtual UINT AnsiCodePage() = 0;
  virtual LocaleFacts Locale() = 0;
};

// The facets in force: the host's, unless a test has put its own in force.
Accounts& TheAccounts();
Process& TheProcess();
Console& TheConsole();
Names& TheNames();

// Puts a facet in force for the life of the object, then the one before it again.
template <typename Facet>
class InForce {
 public:
  explicit InForce(Facet& facet);
  ~InForce();
  InForce(const InForce&) = delete;
  InForce& operator=(const InForce&) = delete;

 private:
  Facet* previous_;
};

}  // namespace compat
