#include "ScriptedMachine.h"

#include <cwctype>

namespace compat {
namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return Lower(a) == Lower(b);
}

}  // namespace

ScriptedMachine::ScriptedMachine() {
  static const wchar_t* const kMonths[12] = {L"January",   L"February", L"March",    L"April",
                                             L"May",       L"June",     L"July",     L"August",
                                             L"September", L"October",  L"November", L"December"};
  for (int i = 0; i < 12; ++i) locale.monthNames[i] = kMonths[i];
  locale.longTimeFormat = L"HH:mm:ss";
  locale.amDesignator = L"AM";
  locale.pmDesignator = L"PM";
  environment = std::wstring(L"PATH=/usr/bin\0HOME=/home/alice\0", 31);
}

AccountRecord& ScriptedMachine::AddAccount(const std::wstring& name) {
  AccountRecord record;
  record.name = name;
  record.userId = static_cast<DWORD>(1000 + accounts.size());
  accounts.push_back(record);
  AddName(name, netbiosName, L"S-1-5-21-1-2-3-" + std::to_wstring(record.userId), SidTypeUser);
  return accounts.back();
}

void ScriptedMachine::AddName(const std::wstring& name, const std::wstring& domain,
                              const std::wstring& sidText, SID_NAME_USE use) {
  AccountLookup lookup;
  lookup.name = name;
  lookup.domain = domain;
  lookup.sid = SidFromText(sidText);
  lookup.use = use;
  names.push_back(lookup);
}

std::wstring ScriptedMachine::CommandLine() {
  return commandLine;
}

DWORD ScriptedMachine::UserName(std::wstring& name) {
  if (userNameError != ERROR_SUCCESS) return userNameError;
  name = userName;
  return ERROR_SUCCESS;
}

std::wstring ScriptedMachine::ComputerNameDns() {
  return dnsName;
}
std::wstring ScriptedMachine::ComputerNameNetBios() {
  return netbiosName;
}
std::optional<std::wstring> ScriptedMachine::EnvironmentBlock() {
  return environment;
}
UINT ScriptedMachine::AnsiCodePage() {
  return codePage;
}
LocaleFacts ScriptedMachine::Locale() {
  return locale;
}
bool ScriptedMachine::ConsolePresent() {
  return consolePresent;
}

bool ScriptedMachine::ReadConsoleAttribute(WORD& value) {
  if (!consolePresent || failAttributeReads) return false;
  value = attribute;
  return true;
}

bool ScriptedMachine::WriteConsoleAttribute(WORD value) {
  if (!consolePresent || failAttributeWrites) return false;
  attribute = value;
  attributeWrites.push_back(value);
  return true;
}

bool ScriptedMachine::SetCtrlHandler(PHANDLER_ROUTINE handler, bool add) {
  ctrlHandler = add ? handler : nullptr;
  return true;
}

DWORD ScriptedMachine::StdOutputType() {
  return stdOutputType;
}

DWORD ScriptedMachine::WriteStdOutput(const char* bytes, DWORD cb, DWORD& cbWritten) {
  cbWritten = 0;
  if (stdOutputError != ERROR_SUCCESS) return stdOutputError;
  output.append(bytes, cb);
  writeSizes.push_back(cb);
  cbWritten = cb;
  return ERROR_SUCCESS;
}

bool ScriptedMachine::LibraryLoads(std::string_view) {
  return libraryLoads;
}

bool ScriptedMachine::LibraryExports(std::string_view, std::string_view symbol) {
  return missingExports.count(std::string(symbol)) == 0;
}

NET_API_STATUS ScriptedMachine::GetAccount(std::wstring_view server, std::wstring_view user,
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

NET_API_STATUS ScriptedMachine::EnumerateAccounts(
    std::wstring_view, DWORD& resumeHandle, const std::function<void(const AccountRecord&)>& sink) {
  ++enumerateCalls;
  if (batches.empty()) {
    for (const AccountRecord& account : accounts) sink(account);
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

NET_API_STATUS ScriptedMachine::GlobalGroups(std::wstring_view, std::wstring_view user,
                                             std::vector<std::wstring>& groups) {
  if (globalGroupsStatus != NERR_Success) return globalGroupsStatus;
  auto it = globalGroups.find(Lower(user));
  if (it != globalGroups.end()) groups = it->second;
  return NERR_Success;
}

NET_API_STATUS ScriptedMachine::LocalGroups(std::wstring_view, std::wstring_view user, DWORD,
                                            std::vector<std::wstring>& groups) {
  ++localGroupsCalls;
  if (localGroupsStatus != NERR_Success) return localGroupsStatus;
  auto it = localGroups.find(Lower(user));
  if (it != localGroups.end()) groups = it->second;
  return NERR_Success;
}

DWORD ScriptedMachine::LookupName(std::wstring_view, std::wstring_view name, AccountLookup& found) {
  if (lookupNameError != ERROR_SUCCESS) return lookupNameError;
  for (const AccountLookup& entry : names) {
    if (SameName(entry.name, name) || SameName(entry.domain + L"\\" + entry.name, name)) {
      found = entry;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NONE_MAPPED;
}

DWORD ScriptedMachine::LookupSid(std::wstring_view, const SidValue& sid, AccountLookup& found) {
  for (const AccountLookup& entry : names) {
    if (entry.sid == sid) {
      found = entry;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NONE_MAPPED;
}

DWORD ScriptedMachine::OpenToken(TokenKind kind) {
  if (kind == TokenKind::Thread) {
    ++threadTokenOpens;
    return threadTokenError;
  }
  ++processTokenOpens;
  return processTokenError;
}

DWORD ScriptedMachine::TokenGroups(TokenKind, std::vector<TokenGroup>& groups) {
  if (tokenGroupsError != ERROR_SUCCESS) return tokenGroupsError;
  groups = tokenGroups;
  return ERROR_SUCCESS;
}

bool ScriptedMachine::PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) {
  const std::set<std::wstring>& held =
      kind == TokenKind::Thread ? threadPrivileges : processPrivileges;
  return held.count(std::wstring(privilegeName)) != 0;
}

}  // namespace compat
