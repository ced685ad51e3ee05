// SID texts, account names behind SIDs (the computer's NetBIOS name as the domain of every group
// and alias), and the SID text of a named account.
#include <algorithm>
#include <vector>

#include "Format/Guards.h"
#include "Format/TextConversion.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"

std::string GetNetBiosComputerName() {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD cchSize = sizeof(buffer);
  // A failed call reports the size it would need, not a length; nothing was written then.
  if (!GetComputerNameA(buffer, &cchSize) || cchSize >= sizeof(buffer)) return std::string();
  return std::string(buffer, cchSize);
}

std::wstring SidToText(PSID sid) {
  if (sid == nullptr || Sddl.ConvertSidToStringSidW == nullptr) return std::wstring();
  LocalGuard<LPWSTR> text;
  if (!Sddl.ConvertSidToStringSidW(sid, text.Receive()) || !text) return std::wstring();
  return std::wstring(text.get());
}

std::wstring AccountNameToSidText(std::wstring_view accountName, std::wstring_view systemName) {
  OwnedSid sid;
  StringToSid(accountName, systemName, sid);
  if (sid.get() == nullptr) return std::wstring();
  return SidToText(sid.get());
}

int SidToAccountName(PSID sid, std::wstring& accountName, std::wstring& domainName,
                     std::wstring& fullName) {
  DWORD cchName = 260;
  DWORD cchDomain = 260;
  std::vector<wchar_t> name(cchName, L'\0');
  std::vector<wchar_t> domain(cchDomain, L'\0');
  SID_NAME_USE use = SidTypeUser;
  BOOL found =
      LookupAccountSidW(nullptr, sid, name.data(), &cchName, domain.data(), &cchDomain, &use);
  if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER && cchName <= 65536 &&
      cchDomain <= 65536) {
    // A name longer than the usual buffers: ask again with the sizes the platform reported.
    name.assign(std::max<DWORD>(cchName, 260), L'\0');
    domain.assign(std::max<DWORD>(cchDomain, 260), L'\0');
    cchName = static_cast<DWORD>(name.size());
    cchDomain = static_cast<DWORD>(domain.size());
    found = LookupAccountSidW(nullptr, sid, name.data(), &cchName, domain.data(), &cchDomain, &use);
  }
  if (!found) {
    accountName = SidToText(sid);
    domainName.clear();
    return 0;
  }
  accountName.assign(name.data(), std::min<size_t>(cchName, name.size()));
  domainName.assign(domain.data(), std::min<size_t>(cchDomain, domain.size()));
  fullName.clear();
  if (use == SidTypeWellKnownGroup) return use;
  if (use != SidTypeUser) {
    domainName = AnsiToWide(GetNetBiosComputerName());
    return use;
  }
  NetApiBufferGuard record;
  NET_API_STATUS status =
      NetUserGetInfo(domainName.c_str(), accountName.c_str(), 2, record.Receive());
  switch (status) {
    case NERR_Success:
      fullName = reinterpret_cast<const USER_INFO_2*>(record.get())->usri2_full_name == nullptr
                     ? std::wstring()
                     : reinterpret_cast<const USER_INFO_2*>(record.get())->usri2_full_name;
      return use;
    case ERROR_ACCESS_DENIED:
      RaiseSecUtilsError("Access Denied");
    case NERR_UserNotFound:
      RaiseSecUtilsError("User Not Found");
    case NERR_InvalidComputer:
      RaiseSecUtilsError("Invalid Computer");
    default:
      RaiseSecUtilsError("Unknown error");
  }
}
