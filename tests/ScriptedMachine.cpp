#include "ScriptedMachine.h"

#include "LetterCase.h"

namespace compat {
namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = ToLowerCase(c);
  return lower;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return SameNameIgnoringCase(a, b);
}

}  // namespace

void ScriptedAccounts::AddName(const std::wstring& name, const std::wstring& domain,
                               const std::wstring& sidText, SID_NAME_USE use) {
  names.push_back(AccountLookup{SidFromText(sidText), name, domain, use});
}

void ScriptedAccounts::AddWellKnownNames() {
  for (const wchar_t* sid :
       {L"S-1-1-0", L"S-1-2-0", L"S-1-2-1", L"S-1-5-4", L"S-1-5-11", L"S-1-5-15", L"S-1-5-18",
        L"S-1-5-113", L"S-1-5-64-10", L"S-1-5-32-544", L"S-1-5-32-545", L"S-1-5-32-555"}) {
    const WellKnownSid* entry = FindWellKnownSid(SidFromText(sid));
    if (entry != nullptr) AddName(entry->name, entry->domain, entry->sid, entry->use);
  }
}

NET_API_STATUS ScriptedAccounts::GetAccount(std::wstring_view server, std::wstring_view user,
                                            AccountRecord& record) {
  getAccountServers.emplace_back(server);
  if (getAccountStatus) return *getAccountStatus;
  for (const AccountRecord& account : accounts) {
    if (SameName(account.name, user)) {
      record = account;
      return NERR_Success;
    }
  }
  return NERR_UserNotFound;
}

NET_API_STATUS ScriptedAccounts::EnumerateAccounts(
    std::wstring_view, DWORD& resumeHandle, const std::function<bool(const AccountRecord&)>& sink) {
  ++enumerateCalls;
  if (batches.empty()) {
    for (size_t i = resumeHandle; i < accounts.size(); ++i) {
      if (!sink(accounts[i])) {
        resumeHandle = static_cast<DWORD>(i);
        return ERROR_MORE_DATA;
      }
    }
    resumeHandle = 0;
    return NERR_Success;
  }
  size_t index = resumeHandle;
  if (index >= batches.size()) {
    if (!repeatLastBatch) return NERR_Success;
    index = batches.size() - 1;
  }
  for (const AccountRecord& record : batches[index].records) sink(record);
  resumeHandle = static_cast<DWORD>(index + 1);
  return batches[index].status;
}

NET_API_STATUS ScriptedAccounts::Groups(GroupScope scope, std::wstring_view server,
                                        std::wstring_view user, std::vector<std::wstring>& groups) {
  groupServers.emplace_back(server);
  bool local = scope == GroupScope::Local;
  if (local) ++localGroupsCalls;
  NET_API_STATUS status = local ? localGroupsStatus : globalGroupsStatus;
  if (status != NERR_Success) return status;
  const auto& scripted = local ? localGroups : globalGroups;
  auto it = scripted.find(Lower(user));
  if (it != scripted.end()) groups = it->second;
  return NERR_Success;
}

DWORD ScriptedAccounts::LookupName(std::wstring_view, std::wstring_view name,
                                   AccountLookup& found) {
  if (lookupNameError != ERROR_SUCCESS) return lookupNameError;
  for (const AccountLookup& entry : names) {
    if (SameName(entry.name, name) || SameName(entry.domain + L"\\" + entry.name, name)) {
      found = entry;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NONE_MAPPED;
}

DWORD ScriptedAccounts::LookupSid(std::wstring_view, const SidValue& sid, AccountLookup& found) {
  for (const AccountLookup& entry : names) {
    if (entry.sid == sid) {
      found = entry;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NONE_MAPPED;
}

ScriptedProcess::ScriptedProcess()
    : environment(std::wstring(L"PATH=/usr/bin\0HOME=/home/alice\0", 31)) {}

void ScriptedProcess::AddTokenGroups(std::initializer_list<const wchar_t*> sidTexts) {
  for (const wchar_t* sid : sidTexts) tokenGroups.push_back(TokenGroup{SidFromText(sid)});
}

std::wstring ScriptedProcess::CommandLine() {
  return commandLine;
}

DWORD ScriptedProcess::UserName(std::wstring& name) {
  if (userNameError != ERROR_SUCCESS) return userNameError;
  name = userName;
  return ERROR_SUCCESS;
}

std::optional<std::wstring> ScriptedProcess::EnvironmentBlock() {
  return environment;
}

DWORD ScriptedProcess::OpenToken(TokenKind kind) {
  if (kind == TokenKind::Thread) {
    ++threadTokenOpens;
    return threadTokenError;
  }
  ++processTokenOpens;
  return processTokenError;
}

DWORD ScriptedProcess::TokenGroups(TokenKind, std::vector<TokenGroup>& groups) {
  if (tokenGroupsError != ERROR_SUCCESS) return tokenGroupsError;
  groups = tokenGroups;
  return ERROR_SUCCESS;
}

bool ScriptedProcess::PrivilegeEnabled(TokenKind kind, std::wstring_view privilege) {
  const std::set<std::wstring>& held =
      kind == TokenKind::Thread ? threadPrivileges : processPrivileges;
  return held.count(std::wstring(privilege)) != 0;
}

bool ScriptedProcess::LibraryLoads(std::string_view) {
  return libraryLoads;
}

bool ScriptedProcess::LibraryExports(std::string_view, std::string_view symbol) {
  return missingExports.count(std::string(symbol)) == 0;
}

bool ScriptedConsole::ConsolePresent() {
  return consolePresent;
}

bool ScriptedConsole::ReadConsoleAttribute(WORD& value) {
  if (!consolePresent || failAttributeReads) return false;
  value = attribute;
  return true;
}

bool ScriptedConsole::WriteConsoleAttribute(WORD value) {
  if (!consolePresent || failAttributeWrites) return false;
  attribute = value;
  attributeWrites.push_back(value);
  return true;
}

bool ScriptedConsole::SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) {
  ctrlHandler = add ? handler : nullptr;
  return true;
}

DWORD ScriptedConsole::StdOutputType() {
  return stdOutputType;
}

DWORD ScriptedConsole::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  cbWritten = 0;
  if (stdOutputError != ERROR_SUCCESS) return stdOutputError;
  output.append(bytes, cb);
  writeSizes.push_back(cb);
  cbWritten = cb;
  return ERROR_SUCCESS;
}

ScriptedNames::ScriptedNames() {
  static const wchar_t* const kMonths[12] = {L"January",   L"February", L"March",    L"April",
                                             L"May",       L"June",     L"July",     L"August",
                                             L"September", L"October",  L"November", L"December"};
  for (int i = 0; i < 12; ++i) locale.monthNames[i] = kMonths[i];
  locale.longTimeFormat = L"HH:mm:ss";
  locale.amDesignator = L"AM";
  locale.pmDesignator = L"PM";
}

std::wstring ScriptedNames::ComputerNameDns() {
  return dnsName;
}
std::wstring ScriptedNames::ComputerNameNetBios() {
  return netbiosName;
}
std::optional<SidValue> ScriptedNames::AccountDomainSid() {
  return accountDomainSid;
}
UINT ScriptedNames::AnsiCodePage() {
  return codePage;
}
LocaleFacts ScriptedNames::Locale() {
  return locale;
}

AccountRecord& ScriptedMachine::AddAccount(const std::wstring& name) {
  AccountRecord record;
  record.name = name;
  record.userId = static_cast<DWORD>(1000 + accounts.size());
  accounts.push_back(record);
  AddName(name, netbiosName, L"S-1-5-21-1-2-3-" + std::to_wstring(record.userId), SidTypeUser);
  return accounts.back();
}

}  // namespace compat
