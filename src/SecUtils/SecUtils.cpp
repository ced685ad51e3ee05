#include "SecUtils/SecUtils.h"

#include <cwctype>
#include <new>
#include <vector>

#include "SDDL/SDDL.h"

NamedSecurityEntryPoints NamedSecurity;

void RaiseSecUtilsError(const std::string& message) {
  throw EQvSecUtils(message);
}

void RaiseSecUtilsErrorFmt(std::string_view format, std::initializer_list<FormatArg> args) {
  throw EQvSecUtils(Format(format, args));
}

BindingGroup& NamedSecurityBindingGroup() {
  static BindingGroup group({
      Slot("SetNamedSecurityInfoA", NamedSecurity.SetNamedSecurityInfoA),
      Slot("SetEntriesInAclA", NamedSecurity.SetEntriesInAclA),
      Slot("GetNamedSecurityInfoA", NamedSecurity.GetNamedSecurityInfoA),
      Slot("SetNamedSecurityInfoA", NamedSecurity.SetNamedSecurityInfoGeneric),
      Slot("SetEntriesInAclA", NamedSecurity.SetEntriesInAclGeneric),
      Slot("GetNamedSecurityInfoA", NamedSecurity.GetNamedSecurityInfoGeneric),
      Slot("SetNamedSecurityInfoW", NamedSecurity.SetNamedSecurityInfoW),
      Slot("SetEntriesInAclW", NamedSecurity.SetEntriesInAclW),
      Slot("GetNamedSecurityInfoW", NamedSecurity.GetNamedSecurityInfoW),
  });
  return group;
}

bool BindNamedSecurityFunctions() {
  return NamedSecurityBindingGroup().Bind();
}

void UnbindNamedSecurityFunctions() {
  NamedSecurityBindingGroup().Unbind();
}

void OwnedSid::Reset(PSID sid, Origin origin) {
  if (sid_ != nullptr) {
    if (origin_ == Origin::Platform) {
      LocalFree(sid_);
    } else {
      ::operator delete(sid_);
    }
  }
  sid_ = sid;
  origin_ = origin;
}

bool LookupAccountSidByName(std::wstring_view accountName, std::wstring_view systemName,
                            OwnedSid& sid) {
  std::wstring account(accountName);
  std::wstring system(systemName);
  LPCWSTR systemArgument = system.empty() ? nullptr : system.c_str();
  DWORD cbSid = 0;
  DWORD cchDomain = 0;
  SID_NAME_USE use = SidTypeUser;
  if (LookupAccountNameW(systemArgument, account.c_str(), nullptr, &cbSid, nullptr, &cchDomain,
                         &use) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    throw EOSError("LookupAccountNameW", GetLastError());
  }
  OwnedSid found;
  found.Reset(::operator new(cbSid == 0 ? 1 : cbSid), OwnedSid::Origin::Program);
  std::vector<wchar_t> domain(cchDomain == 0 ? 1 : cchDomain);
  if (!LookupAccountNameW(systemArgument, account.c_str(), found.get(), &cbSid, domain.data(),
                          &cchDomain, &use)) {
    sid.Reset();
    return false;
  }
  sid.Reset(found.Release(), OwnedSid::Origin::Program);
  return true;
}

bool StringToSid(std::wstring_view text, std::wstring_view systemName, OwnedSid& sid) {
  std::wstring prefix(text.substr(0, 4));
  CharUpperBuffW(prefix.data(), static_cast<DWORD>(prefix.size()));
  if (prefix == L"SID#") {
    if (Sddl.ConvertStringSidToSidW == nullptr) return false;
    std::wstring sidText(text.substr(4));
    PSID converted = nullptr;
    if (!Sddl.ConvertStringSidToSidW(sidText.c_str(), &converted)) return false;
    sid.Reset(converted, OwnedSid::Origin::Platform);
    return true;
  }
  try {
    return LookupAccountSidByName(text, systemName, sid);
  } catch (const EOSError& error) {
    if (error.Code() == ERROR_NONE_MAPPED) {
      RaiseSecUtilsErrorFmt("User:\"%s\" does not exist", {text});
    }
    return false;
  }
}
