// SIDs, account lookups, tokens and privileges (winnt.h, securitybaseapi.h, winbase.h, sddl.h,
// aclapi.h). SIDs have Windows' binary layout, so any SID converts both ways.
#pragma once

#include "win32/base.h"

using PSID = void*;
using PULONG = ULONG*;
using SECURITY_INFORMATION = DWORD;
using PSECURITY_DESCRIPTOR = void*;

constexpr BYTE SID_REVISION = 1;
constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;
constexpr DWORD SECURITY_MAX_SID_SIZE = 8 + 4 * SID_MAX_SUB_AUTHORITIES;

enum SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeUnknown = 8,
  SidTypeLabel = 10,  // an integrity level, in every token since Windows Vista
};
using PSID_NAME_USE = SID_NAME_USE*;

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
struct TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];
};

constexpr DWORD SE_GROUP_MANDATORY = 0x00000001, SE_GROUP_ENABLED_BY_DEFAULT = 0x00000002,
                SE_GROUP_ENABLED = 0x00000004, SE_GROUP_USE_FOR_DENY_ONLY = 0x00000010;

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
using PLUID = LUID*;
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct PRIVILEGE_SET {
  DWORD PrivilegeCount;
  DWORD Control;
  LUID_AND_ATTRIBUTES Privilege[1];
};
using PPRIVILEGE_SET = PRIVILEGE_SET*;
constexpr DWORD PRIVILEGE_SET_ALL_NECESSARY = 1;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002, SE_PRIVILEGE_USED_FOR_ACCESS = 0x80000000;

enum TOKEN_INFORMATION_CLASS { TokenGroups = 2 };
constexpr DWORD TOKEN_DUPLICATE = 0x0002, TOKEN_IMPERSONATE = 0x0004, TOKEN_QUERY = 0x0008;
enum SECURITY_IMPERSONATION_LEVEL {
  SecurityAnonymous,
  SecurityIdentification,
  SecurityImpersonation,
  SecurityDelegation
};

// Named-object security and security descriptors: bound at run time by the program, not
// implemented by the stand-in.
enum SE_OBJECT_TYPE { SE_UNKNOWN_OBJECT_TYPE = 0, SE_FILE_OBJECT };
struct ACL;
using PACL = ACL*;
struct EXPLICIT_ACCESS_A;
struct EXPLICIT_ACCESS_W;
using PEXPLICIT_ACCESS_A = EXPLICIT_ACCESS_A*;
using PEXPLICIT_ACCESS_W = EXPLICIT_ACCESS_W*;

HLOCAL WINAPI LocalFree(HLOCAL memory);

BOOL WINAPI LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD cbSid,
                               LPWSTR referencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE use);
BOOL WINAPI LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD cchName,
                              LPWSTR referencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE use);

BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* stringSid);
BOOL WINAPI ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid);
BOOL WINAPI ConvertStringSidToSidA(LPCSTR stringSid, PSID* sid);
BOOL WINAPI ConvertStringSidToSidW(LPCWSTR stringSid, PSID* sid);
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(
    LPCSTR stringSecurityDescriptor, DWORD stringSDRevision,
    PSECURITY_DESCRIPTOR* securityDescriptor, PULONG securityDescriptorSize);
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR stringSecurityDescriptor, DWORD stringSDRevision,
    PSECURITY_DESCRIPTOR* securityDescriptor, PULONG securityDescriptorSize);
BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorA(
    PSECURITY_DESCRIPTOR securityDescriptor, DWORD requestedStringSDRevision,
    SECURITY_INFORMATION securityInformation, LPSTR* stringSecurityDescriptor,
    PULONG stringSecurityDescriptorLen);
BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorW(
    PSECURITY_DESCRIPTOR securityDescriptor, DWORD requestedStringSDRevision,
    SECURITY_INFORMATION securityInformation, LPWSTR* stringSecurityDescriptor,
    PULONG stringSecurityDescriptorLen);
DWORD WINAPI GetNamedSecurityInfoA(LPCSTR objectName, SE_OBJECT_TYPE objectType,
                                   SECURITY_INFORMATION securityInfo, PSID* owner, PSID* group,
                                   PACL* dacl, PACL* sacl,
                                   PSECURITY_DESCRIPTOR* securityDescriptor);
DWORD WINAPI GetNamedSecurityInfoW(LPCWSTR objectName, SE_OBJECT_TYPE objectType,
                                   SECURITY_INFORMATION securityInfo, PSID* owner, PSID* group,
                                   PACL* dacl, PACL* sacl,
                                   PSECURITY_DESCRIPTOR* securityDescriptor);
DWORD WINAPI SetNamedSecurityInfoA(LPSTR objectName, SE_OBJECT_TYPE objectType,
                                   SECURITY_INFORMATION securityInfo, PSID owner, PSID group,
                                   PACL dacl, PACL sacl);
DWORD WINAPI SetNamedSecurityInfoW(LPWSTR objectName, SE_OBJECT_TYPE objectType,
                                   SECURITY_INFORMATION securityInfo, PSID owner, PSID group,
                                   PACL dacl, PACL sacl);
DWORD WINAPI SetEntriesInAclA(ULONG countOfExplicitEntries,
                              PEXPLICIT_ACCESS_A listOfExplicitEntries, PACL oldAcl, PACL* newAcl);
DWORD WINAPI SetEntriesInAclW(ULONG countOfExplicitEntries,
                              PEXPLICIT_ACCESS_W listOfExplicitEntries, PACL oldAcl, PACL* newAcl);

HANDLE WINAPI GetCurrentProcess();
HANDLE WINAPI GetCurrentThread();
BOOL WINAPI OpenProcessToken(HANDLE processHandle, DWORD desiredAccess, PHANDLE tokenHandle);
BOOL WINAPI OpenThreadToken(HANDLE threadHandle, DWORD desiredAccess, BOOL openAsSelf,
                            PHANDLE tokenHandle);
BOOL WINAPI DuplicateToken(HANDLE existingTokenHandle,
                           SECURITY_IMPERSONATION_LEVEL impersonationLevel,
                           PHANDLE duplicateTokenHandle);
BOOL WINAPI GetTokenInformation(HANDLE tokenHandle, TOKEN_INFORMATION_CLASS tokenInformationClass,
                                LPVOID tokenInformation, DWORD cbTokenInformationLength,
                                PDWORD cbReturnLength);
BOOL WINAPI LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid);
BOOL WINAPI PrivilegeCheck(HANDLE clientToken, PPRIVILEGE_SET requiredPrivileges, LPBOOL result);
BOOL WINAPI LookupPrivilegeDisplayNameW(LPCWSTR systemName, LPCWSTR name, LPWSTR displayName,
                                        LPDWORD cchDisplayName, LPDWORD languageId);
