// SIDs, account names, the process token and privileges.
#include <algorithm>
#include <cstring>
#include <string>

#include "Privileges.h"
#include "Win32Contract.h"

namespace {

using compat::Fail;

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

// A SID text is ASCII; the 8-bit variants widen it byte by byte.
std::wstring Widen(LPCSTR text) {
  std::wstring wide;
  for (const char* p = text; *p != '\0'; ++p)
    wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

BOOL StringSidToSid(std::wstring_view text, PSID* sid) {
  std::optional<compat::SidValue> value =
      compat::SidOfAlias(text, compat::TheNames().AccountDomainSid());
  if (!value) value = compat::SidValue::FromText(text);
  if (!value) return Fail(ERROR_INVALID_SID);
  *sid = compat::NewBlock(compat::BlockKind::LocalMemory, value->BinarySize());
  if (*sid == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  value->WriteBinary(*sid);
  return TRUE;
}

template <typename Char>
BOOL SidToStringSid(PSID sid, Char** stringSid) {
  if (stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  auto value = compat::SidValue::FromBinary(sid);
  if (!value) return Fail(ERROR_INVALID_SID);
  std::wstring text = value->ToText();
  // A zero-filled block, so the text's null is there; a SID text is ASCII in either width.
  *stringSid = static_cast<Char*>(
      compat::NewBlock(compat::BlockKind::LocalMemory, (text.size() + 1) * sizeof(Char)));
  if (*stringSid == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::copy(text.begin(), text.end(), *stringSid);
  return TRUE;
}

// The token of the current process or thread, which is the only one the stand-in opens; the
// out-handle is cleared first, so that a failure leaves no handle behind.
BOOL OpenToken(HANDLE given, HANDLE current, const compat::Token& token, PHANDLE tokenHandle) {
  if (tokenHandle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *tokenHandle = nullptr;
  if (given != current) return Fail(ERROR_INVALID_HANDLE);
  if (DWORD error = compat::TheProcess().OpenToken(token.whose); error != ERROR_SUCCESS) {
    return Fail(error);
  }
  *tokenHandle = compat::NewTokenHandle(token);
  return TRUE;
}

// The token behind a handle that was opened for what the call needs; null, with the last error
// set, for a handle that is no token or lacks the access.
const compat::Token* TokenFor(HANDLE tokenHandle, DWORD access) {
  const compat::Token* token = compat::TokenOf(tokenHandle);
  if (token == nullptr) return compat::FailWith(ERROR_INVALID_HANDLE, nullptr);
  if ((token->access & access) != access) return compat::FailWith(ERROR_ACCESS_DENIED, nullptr);
  return token;
}

}  // namespace

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  if (memory == nullptr || compat::FreeBlock(compat::BlockKind::LocalMemory, memory))
    return nullptr;
  return compat::FailWith(ERROR_INVALID_HANDLE, memory);
}

BOOL WINAPI LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD cbSid,
                               LPWSTR referencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE use) {
  if (accountName == nullptr || cbSid == nullptr || cchReferencedDomainName == nullptr ||
      use == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  compat::AccountLookup found;
  DWORD error = compat::TheAccounts().LookupName(compat::OrEmpty(systemName), accountName, found);
  if (error != ERROR_SUCCESS) return Fail(error);
  std::wstring_view domain = found.domain;
  bool fits = sid != nullptr && *cbSid >= found.sid.BinarySize();
  if (!compat::Fits(domain, referencedDomainName, *cchReferencedDomainName) || !fits) {
    *cbSid = found.sid.BinarySize();
    *cchReferencedDomainName = compat::Reported(domain, compat::Counts::LengthAndNull);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  found.sid.WriteBinary(sid);
  compat::CopyText(domain, referencedDomainName);
  *cbSid = found.sid.BinarySize();
  *cchReferencedDomainName = compat::Reported(domain, compat::Counts::Length);
  *use = found.use;
  return TRUE;
}

BOOL WINAPI LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD cchName,
                              LPWSTR referencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE use) {
  if (cchName == nullptr || cchReferencedDomainName == nullptr || use == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  auto value = compat::SidValue::FromBinary(sid);
  if (!value) return Fail(ERROR_INVALID_SID);
  compat::AccountLookup found;
  DWORD error = compat::TheAccounts().LookupSid(compat::OrEmpty(systemName), *value, found);
  if (error != ERROR_SUCCESS) return Fail(error);
  std::wstring_view account = found.name;
  std::wstring_view domain = found.domain;
  if (!compat::Fits(account, name, *cchName) ||
      !compat::Fits(domain, referencedDomainName, *cchReferencedDomainName)) {
    *cchName = compat::Reported(account, compat::Counts::LengthAndNull);
    *cchReferencedDomainName = compat::Reported(domain, compat::Counts::LengthAndNull);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  compat::CopyText(account, name);
  compat::CopyText(domain, referencedDomainName);
  *cchName = compat::Reported(account, compat::Counts::Length);
  *cchReferencedDomainName = compat::Reported(domain, compat::Counts::Length);
  *use = found.use;
  return TRUE;
}

BOOL WINAPI ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid) {
  return SidToStringSid(sid, stringSid);
}

BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* stringSid) {
  return SidToStringSid(sid, stringSid);
}

BOOL WINAPI ConvertStringSidToSidW(LPCWSTR stringSid, PSID* sid) {
  if (stringSid == nullptr || sid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StringSidToSid(stringSid, sid);
}

BOOL WINAPI ConvertStringSidToSidA(LPCSTR stringSid, PSID* sid) {
  if (stringSid == nullptr || sid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StringSidToSid(Widen(stringSid), sid);
}

// Security descriptors and named-object security: the program binds these with the SID text
// functions but never calls them, and the stand-in does not provide them.
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR, DWORD,
                                                                 PSECURITY_DESCRIPTOR*, PULONG) {
  return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR, DWORD,
                                                                 PSECURITY_DESCRIPTOR*, PULONG) {
  return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}
BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR, DWORD,
                                                                 SECURITY_INFORMATION, LPSTR*,
                                                                 PULONG) {
  return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}
BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorW(PSECURITY_DESCRIPTOR, DWORD,
                                                                 SECURITY_INFORMATION, LPWSTR*,
                                                                 PULONG) {
  return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}
DWORD WINAPI GetNamedSecurityInfoA(LPCSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                   PACL*, PACL*, PSECURITY_DESCRIPTOR*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD WINAPI GetNamedSecurityInfoW(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                   PACL*, PACL*, PSECURITY_DESCRIPTOR*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD WINAPI SetNamedSecurityInfoA(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL,
                                   PACL) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD WINAPI SetNamedSecurityInfoW(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL,
                                   PACL) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD WINAPI SetEntriesInAclA(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}
DWORD WINAPI SetEntriesInAclW(ULONG, PEXPLICIT_ACCESS_W, PACL, PACL*) {
  return ERROR_CALL_NOT_IMPLEMENTED;
}

HANDLE WINAPI GetCurrentProcess() {
  return kCurrentProcess;
}
HANDLE WINAPI GetCurrentThread() {
  return kCurrentThread;
}

BOOL WINAPI OpenProcessToken(HANDLE processHandle, DWORD desiredAccess, PHANDLE tokenHandle) {
  compat::Token token{compat::TokenKind::Process, desiredAccess, std::nullopt};
  return OpenToken(processHandle, kCurrentProcess, token, tokenHandle);
}

BOOL WINAPI OpenThreadToken(HANDLE threadHandle, DWORD desiredAccess, BOOL, PHANDLE tokenHandle) {
  compat::Token token{compat::TokenKind::Thread, desiredAccess, SecurityImpersonation};
  return OpenToken(threadHandle, kCurrentThread, token, tokenHandle);
}

// An impersonation copy of a token at the given level, open for query and impersonation.
BOOL WINAPI DuplicateToken(HANDLE existingTokenHandle, SECURITY_IMPERSONATION_LEVEL level,
                           PHANDLE duplicateTokenHandle) {
  if (duplicateTokenHandle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *duplicateTokenHandle = nullptr;
  const compat::Token* existing = TokenFor(existingTokenHandle, TOKEN_DUPLICATE);
  if (existing == nullptr) return FALSE;
  *duplicateTokenHandle =
      compat::NewTokenHandle({existing->whose, TOKEN_IMPERSONATE | TOKEN_QUERY, level});
  return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE tokenHandle, TOKEN_INFORMATION_CLASS tokenInformationClass,
                                LPVOID tokenInformation, DWORD cbTokenInformationLength,
                                PDWORD cbReturnLength) {
  const compat::Token* token = TokenFor(tokenHandle, TOKEN_QUERY);
  if (token == nullptr) return FALSE;
  if (cbReturnLength == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (tokenInformationClass != TokenGroups) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  std::vector<compat::TokenGroup> groups;
  if (DWORD error = compat::TheProcess().TokenGroups(token->whose, groups);
      error != ERROR_SUCCESS) {
    return Fail(error);
  }
  // The count and the array first, the SIDs after them, as Windows lays the record out.
  size_t cbArray = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t cbNeeded = cbArray;
  for (const compat::TokenGroup& group : groups) cbNeeded += group.sid.BinarySize();
  if (cbNeeded > 0xFFFFFFFFu) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  *cbReturnLength = static_cast<DWORD>(cbNeeded);
  if (tokenInformation == nullptr || cbTokenInformationLength < cbNeeded) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* record = static_cast<TOKEN_GROUPS*>(tokenInformation);
  auto* base = static_cast<BYTE*>(tokenInformation);
  record->GroupCount = static_cast<DWORD>(groups.size());
  size_t offset = cbArray;
  for (size_t i = 0; i < groups.size(); ++i) {
    groups[i].sid.WriteBinary(base + offset);
    record->Groups[i].Sid = base + offset;
    record->Groups[i].Attributes = groups[i].attributes;
    offset += groups[i].sid.BinarySize();
  }
  return TRUE;
}

// Privileges of the local system only: the program asks no other.
BOOL WINAPI LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) {
  if (!compat::OrEmpty(systemName).empty()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (name == nullptr || luid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const compat::Privilege* privilege = compat::FindPrivilege(name);
  if (privilege == nullptr || privilege->luid == 0) return Fail(ERROR_NO_SUCH_PRIVILEGE);
  luid->LowPart = privilege->luid;
  luid->HighPart = 0;
  return TRUE;
}

// Windows checks a client's privileges on the client's impersonation token only: a primary token
// is refused, and so is an anonymous one, which has no privileges to check.
BOOL WINAPI PrivilegeCheck(HANDLE clientToken, PPRIVILEGE_SET requiredPrivileges, LPBOOL result) {
  const compat::Token* token = TokenFor(clientToken, TOKEN_QUERY);
  if (token == nullptr) return FALSE;
  if (!token->impersonation) return Fail(ERROR_NO_IMPERSONATION_TOKEN);
  if (*token->impersonation < SecurityIdentification) return Fail(ERROR_BAD_IMPERSONATION_LEVEL);
  if (requiredPrivileges == nullptr || result == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD held = 0;
  for (DWORD i = 0; i < requiredPrivileges->PrivilegeCount; ++i) {
    LUID_AND_ATTRIBUTES& entry = requiredPrivileges->Privilege[i];
    const compat::Privilege* privilege =
        entry.Luid.HighPart == 0 ? compat::FindPrivilegeByLuid(entry.Luid.LowPart) : nullptr;
    if (privilege != nullptr &&
        compat::TheProcess().PrivilegeEnabled(token->whose, privilege->name)) {
      entry.Attributes |= SE_PRIVILEGE_USED_FOR_ACCESS;
      ++held;
    }
  }
  bool all = (requiredPrivileges->Control & PRIVILEGE_SET_ALL_NECESSARY) != 0;
  *result = (all ? held == requiredPrivileges->PrivilegeCount : held > 0) ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI LookupPrivilegeDisplayNameW(LPCWSTR systemName, LPCWSTR name, LPWSTR displayName,
                                        LPDWORD cchDisplayName, LPDWORD languageId) {
  if (!compat::OrEmpty(systemName).empty()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (name == nullptr || cchDisplayName == nullptr || languageId == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const compat::Privilege* privilege = compat::FindPrivilege(name);
  if (privilege == nullptr || privilege->luid == 0) return Fail(ERROR_NO_SUCH_PRIVILEGE);
  if (!compat::CopyOut(std::wstring_view(privilege->displayName), displayName, cchDisplayName,
                       compat::Counts::Length)) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  *languageId = 0x0409;  // English (United States), the language of the display names
  return TRUE;
}
