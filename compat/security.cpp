// SIDs, account lookups, tokens, privileges and local memory.
#include <cstring>
#include <string>

#include "Machine.h"
#include "Privileges.h"
#include "Resources.h"

namespace {

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::wstring_view OrEmpty(LPCWSTR text) {
  return text == nullptr ? std::wstring_view() : text;
}

template <typename Char>
Char* AllocateLocalText(std::basic_string_view<Char> text) {
  auto* copy = static_cast<Char*>(
      compat::AllocateBlock(compat::BlockKind::LocalMemory, (text.size() + 1) * sizeof(Char)));
  if (copy != nullptr) text.copy(copy, text.size());
  return copy;
}

BOOL SidToStringSid(PSID sid, std::wstring& text) {
  auto value = compat::SidValue::FromBinary(sid);
  if (!value) return Fail(ERROR_INVALID_SID);
  text = value->ToText();
  return TRUE;
}

BOOL StringSidToSid(std::wstring_view text, PSID* sid) {
  if (sid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  auto value = compat::SidValue::FromText(text);
  if (!value) return Fail(ERROR_INVALID_SID);
  void* block = compat::AllocateBlock(compat::BlockKind::LocalMemory, value->BinarySize());
  if (block == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  value->WriteBinary(block);
  *sid = block;
  return TRUE;
}

std::wstring Widen(LPCSTR text) {
  std::wstring wide;
  for (const char* p = text; *p != '\0'; ++p)
    wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T cbBytes) {
  (void)flags;  // every block is fixed and zero-filled
  HLOCAL block = compat::AllocateBlock(compat::BlockKind::LocalMemory, cbBytes);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  if (memory == nullptr) return nullptr;
  if (!compat::ReleaseBlock(compat::BlockKind::LocalMemory, memory)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  return nullptr;
}

BOOL WINAPI IsValidSid(PSID sid) {
  return compat::SidValue::FromBinary(sid) ? TRUE : FALSE;
}

DWORD WINAPI GetLengthSid(PSID sid) {
  auto value = compat::SidValue::FromBinary(sid);
  return value ? value->BinarySize() : 0;
}

BOOL WINAPI EqualSid(PSID sid1, PSID sid2) {
  auto a = compat::SidValue::FromBinary(sid1);
  auto b = compat::SidValue::FromBinary(sid2);
  if (!a || !b) return Fail(ERROR_INVALID_SID);
  SetLastError(ERROR_SUCCESS);
  return *a == *b ? TRUE : FALSE;
}

BOOL WINAPI LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD cbSid,
                               LPWSTR referencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE use) {
  if (accountName == nullptr || cbSid == nullptr || cchReferencedDomainName == nullptr ||
      use == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  compat::AccountLookup found;
  DWORD error = compat::CurrentMachine().LookupName(OrEmpty(systemName), accountName, found);
  if (error != ERROR_SUCCESS) return Fail(error);
  DWORD cbNeeded = found.sid.BinarySize();
  auto cchNeeded = static_cast<DWORD>(found.domain.size() + 1);
  if (sid == nullptr || *cbSid < cbNeeded || referencedDomainName == nullptr ||
      *cchReferencedDomainName < cchNeeded) {
    *cbSid = cbNeeded;
    *cchReferencedDomainName = cchNeeded;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  found.sid.WriteBinary(sid);
  *cbSid = cbNeeded;
  found.domain.copy(referencedDomainName, found.domain.size());
  referencedDomainName[found.domain.size()] = L'\0';
  *cchReferencedDomainName = cchNeeded - 1;
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
  DWORD error = compat::CurrentMachine().LookupSid(OrEmpty(systemName), *value, found);
  if (error != ERROR_SUCCESS) return Fail(error);
  auto cchNameNeeded = static_cast<DWORD>(found.name.size() + 1);
  auto cchDomainNeeded = static_cast<DWORD>(found.domain.size() + 1);
  if (name == nullptr || *cchName < cchNameNeeded || referencedDomainName == nullptr ||
      *cchReferencedDomainName < cchDomainNeeded) {
    *cchName = cchNameNeeded;
    *cchReferencedDomainName = cchDomainNeeded;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  found.name.copy(name, found.name.size());
  name[found.name.size()] = L'\0';
  found.domain.copy(referencedDomainName, found.domain.size());
  referencedDomainName[found.domain.size()] = L'\0';
  *cchName = cchNameNeeded - 1;
  *cchReferencedDomainName = cchDomainNeeded - 1;
  *use = found.use;
  return TRUE;
}

BOOL WINAPI ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid) {
  std::wstring text;
  if (stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!SidToStringSid(sid, text)) return FALSE;
  *stringSid = AllocateLocalText<wchar_t>(text);
  return *stringSid != nullptr ? TRUE : Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* stringSid) {
  std::wstring text;
  if (stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!SidToStringSid(sid, text)) return FALSE;
  std::string narrow(text.begin(), text.end());  // a SID text is ASCII
  *stringSid = AllocateLocalText<char>(narrow);
  return *stringSid != nullptr ? TRUE : Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL WINAPI ConvertStringSidToSidW(LPCWSTR stringSid, PSID* sid) {
  if (stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StringSidToSid(stringSid, sid);
}

BOOL WINAPI ConvertStringSidToSidA(LPCSTR stringSid, PSID* sid) {
  if (stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StringSidToSid(Widen(stringSid), sid);
}

// Security descriptors and named-object security: the program binds these but never calls them,
// and the stand-in does not provide them.
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
  (void)desiredAccess;
  if (tokenHandle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *tokenHandle = nullptr;
  if (processHandle != kCurrentProcess) return Fail(ERROR_INVALID_HANDLE);
  DWORD error = compat::CurrentMachine().OpenToken(compat::TokenKind::Process);
  if (error != ERROR_SUCCESS) return Fail(error);
  *tokenHandle = compat::RegisterToken(compat::TokenKind::Process);
  return TRUE;
}

BOOL WINAPI OpenThreadToken(HANDLE threadHandle, DWORD desiredAccess, BOOL openAsSelf,
                            PHANDLE tokenHandle) {
  (void)desiredAccess;
  (void)openAsSelf;
  if (tokenHandle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *tokenHandle = nullptr;
  if (threadHandle != kCurrentThread) return Fail(ERROR_INVALID_HANDLE);
  DWORD error = compat::CurrentMachine().OpenToken(compat::TokenKind::Thread);
  if (error != ERROR_SUCCESS) return Fail(error);
  *tokenHandle = compat::RegisterToken(compat::TokenKind::Thread);
  return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE tokenHandle, TOKEN_INFORMATION_CLASS tokenInformationClass,
                                LPVOID tokenInformation, DWORD cbTokenInformationLength,
                                PDWORD cbReturnLength) {
  const compat::TokenObject* token = compat::FindToken(tokenHandle);
  if (token == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (cbReturnLength == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (tokenInformationClass != TokenGroups) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  std::vector<compat::TokenGroup> groups;
  DWORD error = compat::CurrentMachine().TokenGroups(token->kind, groups);
  if (error != ERROR_SUCCESS) return Fail(error);
  // The header and the array first, the SIDs after them, as Windows lays the record out.
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

BOOL WINAPI LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) {
  if (systemName != nullptr && *systemName != L'\0') return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (name == nullptr || luid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const compat::PrivilegeInfo* info = compat::FindPrivilegeByName(name);
  if (info == nullptr) return Fail(ERROR_NO_SUCH_PRIVILEGE);
  luid->LowPart = info->luid;
  luid->HighPart = 0;
  return TRUE;
}

BOOL WINAPI PrivilegeCheck(HANDLE clientToken, PPRIVILEGE_SET requiredPrivileges, LPBOOL result) {
  const compat::TokenObject* token = compat::FindToken(clientToken);
  if (token == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (requiredPrivileges == nullptr || result == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD held = 0;
  for (DWORD i = 0; i < requiredPrivileges->PrivilegeCount; ++i) {
    LUID_AND_ATTRIBUTES& entry = requiredPrivileges->Privilege[i];
    const compat::PrivilegeInfo* info =
        entry.Luid.HighPart == 0 ? compat::FindPrivilegeByLuid(entry.Luid.LowPart) : nullptr;
    if (info != nullptr && compat::CurrentMachine().PrivilegeEnabled(token->kind, info->name)) {
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
  if (systemName != nullptr && *systemName != L'\0') return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (name == nullptr || cchDisplayName == nullptr || languageId == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const compat::PrivilegeInfo* info = compat::FindPrivilegeByName(name);
  if (info == nullptr) return Fail(ERROR_NO_SUCH_PRIVILEGE);
  std::wstring_view text = info->displayName;
  if (displayName == nullptr || *cchDisplayName < text.size() + 1) {
    *cchDisplayName = static_cast<DWORD>(text.size() + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  text.copy(displayName, text.size());
  displayName[text.size()] = L'\0';
  *cchDisplayName = static_cast<DWORD>(text.size());
  *languageId = 0x0409;  // English (United States), the language of the display names
  return TRUE;
}
