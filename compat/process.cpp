// The last error, the names of the user and the computer, the environment and the locale.
#include <string>

#include "CodePages.h"
#include "Win32Contract.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD WINAPI GetLastError() {
  return lastError;
}

void WINAPI SetLastError(DWORD error) {
  lastError = error;
}

BOOL WINAPI GetUserNameW(LPWSTR buffer, LPDWORD cchBuffer) {
  if (cchBuffer == nullptr) return compat::Fail(ERROR_INVALID_PARAMETER);
  std::wstring name;
  if (DWORD error = compat::TheProcess().UserName(name); error != ERROR_SUCCESS) {
    return compat::Fail(error);
  }
  // GetUserNameW reports the size with the null, also after success.
  return compat::CopyOut(std::wstring_view(name), buffer, cchBuffer, compat::Counts::LengthAndNull)
             ? TRUE
             : compat::Fail(ERROR_INSUFFICIENT_BUFFER);
}

// The fully qualified DNS name: the only name format the program asks for.
BOOL WINAPI GetComputerNameExW(COMPUTER_NAME_FORMAT nameType, LPWSTR buffer, LPDWORD cchSize) {
  if (cchSize == nullptr || nameType < ComputerNameNetBIOS || nameType >= ComputerNameMax) {
    return compat::Fail(ERROR_INVALID_PARAMETER);
  }
  if (nameType != ComputerNameDnsFullyQualified) return compat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
  std::wstring name = compat::TheNames().ComputerNameDns();
  return compat::CopyOut(std::wstring_view(name), buffer, cchSize, compat::Counts::Length)
             ? TRUE
             : compat::Fail(ERROR_MORE_DATA);
}

BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD cchSize) {
  constexpr DWORD kBufferOverflow = 111;  // ERROR_BUFFER_OVERFLOW
  if (cchSize == nullptr) return compat::Fail(ERROR_INVALID_PARAMETER);
  compat::Names& names = compat::TheNames();
  std::string name = compat::EncodeText(names.AnsiCodePage(), names.ComputerNameNetBios());
  return compat::CopyOut(std::string_view(name), buffer, cchSize, compat::Counts::Length)
             ? TRUE
             : compat::Fail(kBufferOverflow);
}

LPWCH WINAPI GetEnvironmentStringsW() {
  std::optional<std::wstring> block = compat::TheProcess().EnvironmentBlock();
  if (!block) return compat::FailWith<LPWCH>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
  // The entries as the process holds them, then the empty entry that ends the block.
  auto* copy = static_cast<wchar_t*>(
      compat::NewBlock(compat::BlockKind::EnvironmentBlock, (block->size() + 2) * sizeof(wchar_t)));
  if (copy == nullptr) return compat::FailWith<LPWCH>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
  block->copy(copy, block->size());
  return copy;
}

BOOL WINAPI FreeEnvironmentStringsW(LPWCH environmentBlock) {
  // A heap free, as on Windows: no block is nothing to free.
  if (environmentBlock == nullptr) return TRUE;
  return compat::FreeBlock(compat::BlockKind::EnvironmentBlock, environmentBlock)
             ? TRUE
             : compat::Fail(ERROR_INVALID_PARAMETER);
}

// The user's locale and the texts of it that the date lines read.
int WINAPI GetLocaleInfoW(LCID locale, LCTYPE lcType, LPWSTR data, int cchData) {
  if (cchData < 0 || (cchData > 0 && data == nullptr)) {
    return compat::FailWith(ERROR_INVALID_PARAMETER, 0);
  }
  if (locale != LOCALE_USER_DEFAULT) return compat::FailWith(ERROR_CALL_NOT_IMPLEMENTED, 0);
  compat::LocaleFacts facts = compat::TheNames().Locale();
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
    return compat::FailWith(ERROR_CALL_NOT_IMPLEMENTED, 0);
  }
  auto cchNeeded = static_cast<int>(value.size() + 1);
  if (cchData == 0) return cchNeeded;
  auto cch = static_cast<DWORD>(cchData);
  return compat::CopyOut(std::wstring_view(value), data, &cch, compat::Counts::LengthAndNull)
             ? cchNeeded
             : compat::FailWith(ERROR_INSUFFICIENT_BUFFER, 0);
}
