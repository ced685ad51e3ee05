// The report driver: whom the report is about, the report-wide values, the four sections.
#include <vector>

#include "Actions/Actions.h"
#include "Format/Error.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"

namespace {

constexpr DWORD kNameBuffer = 255;

// The name of the user who runs the program; a name longer than the first buffer is asked
// for again with the size the platform reports.
std::wstring QueryCurrentUserName() {
  std::vector<wchar_t> buffer(kNameBuffer + 1, L'\0');
  DWORD cch = kNameBuffer;
  if (!GetUserNameW(buffer.data(), &cch)) {
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || cch <= kNameBuffer) {
      throw EOSError("GetUserNameW", error);
    }
    buffer.assign(cch + 1, L'\0');
    if (!GetUserNameW(buffer.data(), &cch)) throw EOSError("GetUserNameW", GetLastError());
  }
  // The length counts the terminating null.
  size_t length = cch > 0 ? cch - 1 : 0;
  return std::wstring(buffer.data(), std::min<size_t>(length, buffer.size() - 1));
}

// The fully qualified DNS name of the computer in upper case; empty when it cannot be had.
std::wstring QueryComputerName() {
  std::vector<wchar_t> buffer(kNameBuffer + 1, L'\0');
  DWORD cch = kNameBuffer;
  if (!GetComputerNameExW(ComputerNameDnsFullyQualified, buffer.data(), &cch)) {
    if (GetLastError() != ERROR_MORE_DATA || cch <= kNameBuffer || cch > 65536) {
      return std::wstring();
    }
    buffer.assign(cch + 1, L'\0');
    if (!GetComputerNameExW(ComputerNameDnsFullyQualified, buffer.data(), &cch)) {
      return std::wstring();
    }
  }
  std::wstring name(buffer.data(), std::min<size_t>(cch, buffer.size() - 1));
  if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

}  // namespace

void ReportUser(std::wstring_view userName) {
  std::wstring workingName(userName);
  BindSddlFunctions();
  BindNamedSecurityFunctions();
  IsCurrentUser = workingName.empty();
  if (IsCurrentUser) workingName = QueryCurrentUserName();
  ComputerName = QueryComputerName();
  ShowUserInfo(workingName);
  ShowGroups(workingName);
  ShowPrivileges();
  ShowEnvironment();
}
