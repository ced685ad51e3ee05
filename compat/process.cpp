// Last error, user and computer names, the environment block and the locale.
#include <string>

#include "CodePages.h"
#include "Machine.h"
#include "Resources.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::wstring ComputerName(COMPUTER_NAME_FORMAT nameType) {
  compat::Machine& machine = compat::CurrentMachine();
  std::wstring dns = machine.ComputerNameDns();
  size_t dot = dns.find(L'.');
  switch (nameType) {
    case ComputerNameNetBIOS:
    case ComputerNamePhysicalNetBIOS:
      return machine.ComputerNameNetBios();
    case ComputerNameDnsHostname:
    case ComputerNamePhysicalDnsHostname:
      return dns.substr(0, dot);
    case ComputerNameDnsDomain:
    case ComputerNamePhysicalDnsDomain:
      return dot == std::wstring::npos ? std::wstring() : dns.substr(dot + 1);
    default:
      return dns;
  }
}

}  // namespace

DWORD WINAPI GetLastError() {
  return lastError;
}
void WINAPI SetLastError(DWORD error) {
  lastError = error;
}

BOOL WINAPI GetUserNameW(LPWSTR buffer, LPDWORD cchBuffer) {
  if (cchBuffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::wstring name;
  DWORD error = compat::CurrentMachine().UserName(name);
  if (error != ERROR_SUCCESS) return Fail(error);
  auto cchNeeded = static_cast<DWORD>(name.size() + 1);
  if (buffer == nullptr || *cchBuffer < cchNeeded) {
    *cchBuffer = cchNeeded;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  name.copy(buffer, name.size());
  buffer[name.size()] = L'\0';
  *cchBuffer = cchNeeded;  // GetUserNameW counts the terminating null
  return TRUE;
}

BOOL WINAPI GetComputerNameExW(COMPUTER_NAME_FORMAT nameType, LPWSTR buffer, LPDWORD cchSize) {
  if (cchSize == nullptr || nameType < ComputerNameNetBIOS || nameType >= ComputerNameMax) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::wstring name = ComputerName(nameType);
  auto cchNeeded = static_cast<DWORD>(name.size() + 1);
  if (buffer == nullptr || *cchSize < cchNeeded) {
    *cchSize = cchNeeded;
    return Fail(ERROR_MORE_DATA);
  }
  name.copy(buffer, name.size());
  buffer[name.size()] = L'\0';
  *cchSize = cchNeeded - 1;
  return TRUE;
}

BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD cchSize) {
  if (cchSize == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  compat::Machine& machine = compat::CurrentMachine();
  std::string name = compat::EncodeText(machine.AnsiCodePage(), machine.ComputerNameNetBios());
  if (buffer == nullptr || *cchSize < name.size() + 1) {
    *cchSize = static_cast<DWORD>(name.size() + 1);
    return Fail(111);  // ERROR_BUFFER_OVERFLOW
  }
  name.copy(buffer, name.size());
  buffer[name.size()] = '\0';
  *cchSize = static_cast<DWORD>(name.size());
  return TRUE;
}

LPWCH WINAPI GetEnvironmentStringsW() {
  std::optional<std::wstring> block = compat::CurrentMachine().EnvironmentBlock();
  if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  // The entries as the machine gives them, then the empty entry that ends the block.
  auto* copy = static_cast<wchar_t*>(compat::AllocateBlock(compat::BlockKind::EnvironmentBlock,
                                                           (block->size() + 2) * sizeof(wchar_t)));
  if (copy == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  block->copy(copy, block->size());
  return copy;
}

BOOL WINAPI FreeEnvironmentStringsW(LPWCH environmentBlock) {
  if (!compat::ReleaseBlock(compat::BlockKind::EnvironmentBlock, environmentBlock)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  return TRUE;
}

int WINAPI GetLocaleInfoW(LCID locale, LCTYPE lcType, LPWSTR data, int cchData) {
  if (locale != LOCALE_USER_DEFAULT || cchData < 0 || (cchData > 0 && data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  compat::LocaleFacts facts = compat::CurrentMachine().Locale();
  std::wstring value;
  if (lcType >= LOCALE_SMONTHNAME1 && lcType < LOCALE_SMONTHNAME1 + 12) {
    value = facts.monthNames[lcType - LOCALE_SMONTHNAME1];
  } else if (lcType == LOCALE_STIMEFORMAT) {
    value = facts.longTimeFormat;
  } else if (lcType == LOCALE_S1159) {
    value = facts.amDesignator;
  } else if (lcType == LOCALE_S2359) {
    value = facts.pmDesignator;
  } else {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  auto cchNeeded = static_cast<int>(value.size() + 1);
  if (cchData == 0) return cchNeeded;
  if (cchData < cchNeeded) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  value.copy(data, value.size());
  data[value.size()] = L'\0';
  return cchNeeded;
}
