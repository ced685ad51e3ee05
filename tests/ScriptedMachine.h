// A computer made of plain data that a test fills in, one facet at a time: the account database
// (accounts, names and SIDs, statuses per call), the process (command line, user, environment,
// token, privileges, a library whose exports can be missing), the console (present or not, its
// attribute, a capture of standard output) and the names and locale. A test puts in force only
// the facet it scripts (compat::InForce), or a whole ScriptedMachine (MachineScope).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Machine.h"

namespace compat {

// Each answer stands beside the data that scripts it.
class ScriptedAccounts : public Accounts {
 public:
  std::vector<AccountRecord> accounts;             // found by name without regard to case
  std::optional<NET_API_STATUS> getAccountStatus;  // answers every NetUserGetInfo when set
  std::vector<std::wstring> getAccountServers;     // the server of every NetUserGetInfo
  NET_API_STATUS GetAccount(std::wstring_view server, std::wstring_view user,
                            AccountRecord& record) override;

  struct Batch {
    NET_API_STATUS status = NERR_Success;
    std::vector<AccountRecord> records;
  };
  std::vector<Batch> batches;    // NetUserEnum answers one per call, in order
  bool repeatLastBatch = false;  // a platform that asks for more forever
  int enumerateCalls = 0;
  NET_API_STATUS EnumerateAccounts(std::wstring_view server, DWORD& resumeHandle,
                                   const std::function<bool(const AccountRecord&)>& sink) override;

  std::map<std::wstring, std::vector<std::wstring>> globalGroups;  // by lower-case user name
  std::map<std::wstring, std::vector<std::wstring>> localGroups;
  NET_API_STATUS globalGroupsStatus = NERR_Success;
  NET_API_STATUS localGroupsStatus = NERR_Success;
  int localGroupsCalls = 0;
  std::vector<std::wstring> groupServers;  // the server of every call for groups
  NET_API_STATUS Groups(GroupScope scope, std::wstring_view server, std::wstring_view user,
                        std::vector<std::wstring>& groups) override;

  std::vector<AccountLookup> names;       // name <-> SID; a lookup matches name or "domain\name"
  DWORD lookupNameError = ERROR_SUCCESS;  // answers every LookupAccountNameW when set
  void AddName(const std::wstring& name, const std::wstring& domain, const std::wstring& sidText,
               SID_NAME_USE use);
  // The names Windows gives the well-known SIDs the tests meet (Everyone, BUILTIN\Administrators,
  // NT AUTHORITY\INTERACTIVE, ...); not every SID the stand-in's table knows.
  void AddWellKnownNames();
  DWORD LookupName(std::wstring_view system, std::wstring_view name, AccountLookup& found) override;
  DWORD LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) override;
};

class ScriptedProcess : public Process {
 public:
  ScriptedProcess();

  std::wstring commandLine = L"userlens";
  std::wstring CommandLine() override;
  std::wstring userName = L"alice";
  DWORD userNameError = ERROR_SUCCESS;
  DWORD UserName(std::wstring& name) override;
  std::optional<std::wstring> environment;  // entries each ended by L'\0'; none: no block
  std::optional<std::wstring> EnvironmentBlock() override;

  DWORD processTokenError = ERROR_SUCCESS;
  DWORD threadTokenError = ERROR_NO_TOKEN;
  int processTokenOpens = 0;
  int threadTokenOpens = 0;
  DWORD OpenToken(TokenKind kind) override;
  std::vector<TokenGroup> tokenGroups;
  DWORD tokenGroupsError = ERROR_SUCCESS;
  void AddTokenGroups(std::initializer_list<const wchar_t*> sidTexts);
  DWORD TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) override;
  std::set<std::wstring> processPrivileges;  // held and enabled
  std::set<std::wstring> threadPrivileges;
  bool PrivilegeEnabled(TokenKind kind, std::wstring_view privilege) override;

  bool libraryLoads = true;
  std::set<std::string> missingExports;
  bool LibraryLoads(std::string_view library) override;
  bool LibraryExports(std::string_view library, std::string_view symbol) override;
};

class ScriptedConsole : public Console {
 public:
  bool consolePresent = true;
  bool ConsolePresent() override;
  WORD attribute = 0x0007;
  bool failAttributeReads = false;
  bool failAttributeWrites = false;
  std::vector<WORD> attributeWrites;  // every attribute written, in order
  bool ReadConsoleAttribute(WORD& value) override;
  bool WriteConsoleAttribute(WORD value) override;
  PHANDLER_ROUTINE ctrlHandler = nullptr;
  bool SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) override;

  DWORD stdOutputType = FILE_TYPE_DISK;
  DWORD StdOutputType() override;
  DWORD stdOutputError = ERROR_SUCCESS;  // every write fails with it when set
  std::string output;                    // what reached standard output
  std::vector<size_t> writeSizes;        // the size of every write, to see the flushing
  DWORD WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) override;
};

class ScriptedNames : public Names {
 public:
  ScriptedNames();

  std::wstring dnsName = L"host.example.test";
  std::wstring netbiosName = L"HOST";
  std::optional<SidValue> accountDomainSid = SidFromText(L"S-1-5-21-1-2-3");
  UINT codePage = 65001;
  LocaleFacts locale;  // English month names, "HH:mm:ss", AM and PM

  std::wstring ComputerNameDns() override;
  std::wstring ComputerNameNetBios() override;
  std::optional<SidValue> AccountDomainSid() override;
  UINT AnsiCodePage() override;
  LocaleFacts Locale() override;
};

// A whole computer of the four facets.
class ScriptedMachine : public ScriptedAccounts,
                        public ScriptedProcess,
                        public ScriptedConsole,
                        public ScriptedNames {
 public:
  // An account with the usual record and its SID S-1-5-21-1-2-3-<id> in the NetBIOS domain.
  AccountRecord& AddAccount(const std::wstring& name);
};

// Puts all four facets of a scripted machine in force for the life of the scope.
class MachineScope {
 public:
  explicit MachineScope(ScriptedMachine& machine)
      : accounts_(machine), process_(machine), console_(machine), names_(machine) {}

 private:
  InForce<Accounts> accounts_;
  InForce<Process> process_;
  InForce<Console> console_;
  InForce<Names> names_;
};

}  // namespace compat
