// The account calls: one full record from the machine, projected to the level asked for, in one
// block per call that NetApiBufferFree gives back.
#include <cstddef>
#include <string>

#include "Machine.h"
#include "NetBuffer.h"
#include "Resources.h"

namespace {

using compat::NetBuffer;

std::wstring_view OrEmpty(LPCWSTR text) {
  return text == nullptr ? std::wstring_view() : text;
}

// All logon hours allowed: the value for a record that carries no block of its own.
constexpr std::array<BYTE, 21> kAllHours = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

#define TEXT_FIELDS_2(T, p)                                                             \
  offsetof(T, p##name), offsetof(T, p##password), offsetof(T, p##home_dir),             \
      offsetof(T, p##comment), offsetof(T, p##script_path), offsetof(T, p##full_name),  \
      offsetof(T, p##usr_comment), offsetof(T, p##parms), offsetof(T, p##workstations), \
      offsetof(T, p##logon_hours), offsetof(T, p##logon_server)

NetBuffer MakeBuffer(DWORD level) {
  switch (level) {
    case 0:
      return NetBuffer(sizeof(USER_INFO_0), {offsetof(USER_INFO_0, usri0_name)});
    case 1:
      return NetBuffer(sizeof(USER_INFO_1),
                       {offsetof(USER_INFO_1, usri1_name), offsetof(USER_INFO_1, usri1_password),
                        offsetof(USER_INFO_1, usri1_home_dir), offsetof(USER_INFO_1, usri1_comment),
                        offsetof(USER_INFO_1, usri1_script_path)});
    case 2:
      return NetBuffer(sizeof(USER_INFO_2), {TEXT_FIELDS_2(USER_INFO_2, usri2_)});
    default:
      return NetBuffer(sizeof(USER_INFO_3),
                       {TEXT_FIELDS_2(USER_INFO_3, usri3_), offsetof(USER_INFO_3, usri3_profile),
                        offsetof(USER_INFO_3, usri3_home_dir_drive)});
  }
}

bool IsImplementedLevel(DWORD level) {
  return level <= 3;
}

// Levels that Windows knows but the stand-in does not project.
bool IsWindowsUserLevel(DWORD level) {
  return level == 4 || level == 10 || level == 11 || level == 20 || level == 23 || level == 24;
}

// Level 2 and 3 share their first 24 fields; the macro projects them for either record type.
#define PROJECT_COMMON(R, p)                                                   \
  ok = ok && buffer.SetText(offsetof(R, p##name), a.name) &&                   \
       buffer.SetText(offsetof(R, p##home_dir), a.homeDir) &&                  \
       buffer.SetText(offsetof(R, p##comment), a.comment) &&                   \
       buffer.SetText(offsetof(R, p##script_path), a.scriptPath) &&            \
       buffer.SetText(offsetof(R, p##full_name), a.fullName) &&                \
       buffer.SetText(offsetof(R, p##usr_comment), a.usrComment) &&            \
       buffer.SetText(offsetof(R, p##parms), a.parms) &&                       \
       buffer.SetText(offsetof(R, p##workstations), a.workstations) &&         \
       buffer.SetText(offsetof(R, p##logon_server), a.logonServer) &&          \
       buffer.SetBytes(offsetof(R, p##logon_hours),                            \
                       (a.logonHours ? *a.logonHours : kAllHours).data(), 21); \
  r->p##password_age = a.passwordAge;                                          \
  r->p##priv = a.priv;                                                         \
  r->p##flags = a.flags;                                                       \
  r->p##auth_flags = a.authFlags;                                              \
  r->p##last_logon = a.lastLogon;                                              \
  r->p##last_logoff = a.lastLogoff;                                            \
  r->p##acct_expires = a.acctExpires;                                          \
  r->p##max_storage = a.maxStorage;                                            \
  r->p##units_per_week = a.unitsPerWeek;                                       \
  r->p##bad_pw_count = a.badPwCount;                                           \
  r->p##num_logons = a.numLogons;                                              \
  r->p##country_code = a.countryCode;                                          \
  r->p##code_page = a.codePage

// Appends one record at the given level; the password is never handed out (null, as Windows).
bool Project(NetBuffer& buffer, DWORD level, const compat::AccountRecord& a) {
  BYTE* record = buffer.AddRecord();
  if (record == nullptr) return false;
  bool ok = true;
  switch (level) {
    case 0:
      return buffer.SetText(offsetof(USER_INFO_0, usri0_name), a.name);
    case 1: {
      auto* r = reinterpret_cast<USER_INFO_1*>(record);
      r->usri1_password_age = a.passwordAge;
      r->usri1_priv = a.priv;
      r->usri1_flags = a.flags;
      return buffer.SetText(offsetof(USER_INFO_1, usri1_name), a.name) &&
             buffer.SetText(offsetof(USER_INFO_1, usri1_home_dir), a.homeDir) &&
             buffer.SetText(offsetof(USER_INFO_1, usri1_comment), a.comment) &&
             buffer.SetText(offsetof(USER_INFO_1, usri1_script_path), a.scriptPath);
    }
    case 2: {
      auto* r = reinterpret_cast<USER_INFO_2*>(record);
      PROJECT_COMMON(USER_INFO_2, usri2_);
      return ok;
    }
    default: {
      auto* r = reinterpret_cast<USER_INFO_3*>(record);
      PROJECT_COMMON(USER_INFO_3, usri3_);
      r->usri3_user_id = a.userId;
      r->usri3_primary_group_id = a.primaryGroupId;
      r->usri3_password_expired = a.passwordExpired;
      return ok && buffer.SetText(offsetof(USER_INFO_3, usri3_profile), a.profile) &&
             buffer.SetText(offsetof(USER_INFO_3, usri3_home_dir_drive), a.homeDirDrive);
    }
  }
}

NET_API_STATUS CheckLevel(DWORD level) {
  if (IsImplementedLevel(level)) return NERR_Success;
  return IsWindowsUserLevel(level) ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
}

// Group memberships at level 0: one name pointer per record.
NET_API_STATUS NameList(const std::vector<std::wstring>& names, LPBYTE* buffer, LPDWORD entriesRead,
                        LPDWORD totalEntries) {
  compat::NetBuffer list(sizeof(LPWSTR), {0});
  for (const std::wstring& name : names) {
    if (list.AddRecord() == nullptr || !list.SetText(0, name)) return ERROR_NOT_ENOUGH_MEMORY;
  }
  LPBYTE block = list.Finish();
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *buffer = block;
  *entriesRead = *totalEntries = static_cast<DWORD>(names.size());
  return NERR_Success;
}

}  // namespace

NET_API_STATUS WINAPI NetUserEnum(LPCWSTR serverName, DWORD level, DWORD filter, LPBYTE* buffer,
                                  DWORD prefMaxLen, LPDWORD entriesRead, LPDWORD totalEntries,
                                  LPDWORD resumeHandle) {
  (void)filter;
  (void)prefMaxLen;  // every batch is as long as the machine makes it
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  if (NET_API_STATUS status = CheckLevel(level); status != NERR_Success) return status;
  DWORD resume = resumeHandle == nullptr ? 0 : *resumeHandle;
  compat::NetBuffer batch = MakeBuffer(level);
  bool ok = true;
  NET_API_STATUS status = compat::CurrentMachine().EnumerateAccounts(
      OrEmpty(serverName), resume,
      [&](const compat::AccountRecord& record) { ok = ok && Project(batch, level, record); });
  if (!ok) return ERROR_NOT_ENOUGH_MEMORY;
  if (status != NERR_Success && status != ERROR_MORE_DATA && batch.Count() == 0) return status;
  DWORD count = static_cast<DWORD>(batch.Count());
  LPBYTE block = batch.Finish();
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *buffer = block;
  *entriesRead = count;
  *totalEntries = count;
  if (resumeHandle != nullptr) *resumeHandle = status == ERROR_MORE_DATA ? resume : 0;
  return status;
}

NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                     LPBYTE* buffer) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (userName == nullptr) return ERROR_INVALID_PARAMETER;
  if (NET_API_STATUS status = CheckLevel(level); status != NERR_Success) return status;
  compat::AccountRecord record;
  NET_API_STATUS status =
      compat::CurrentMachine().GetAccount(OrEmpty(serverName), userName, record);
  if (status != NERR_Success) return status;
  compat::NetBuffer one = MakeBuffer(level);
  if (!Project(one, level, record)) return ERROR_NOT_ENOUGH_MEMORY;
  LPBYTE block = one.Finish();
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *buffer = block;
  return NERR_Success;
}

NET_API_STATUS WINAPI NetUserGetGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                       LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                                       LPDWORD totalEntries) {
  (void)prefMaxLen;
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  if (userName == nullptr) return ERROR_INVALID_PARAMETER;
  if (level == 1) return ERROR_CALL_NOT_IMPLEMENTED;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> groups;
  NET_API_STATUS status =
      compat::CurrentMachine().GlobalGroups(OrEmpty(serverName), userName, groups);
  if (status != NERR_Success) return status;
  return NameList(groups, buffer, entriesRead, totalEntries);
}

NET_API_STATUS WINAPI NetUserGetLocalGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                            DWORD flags, LPBYTE* buffer, DWORD prefMaxLen,
                                            LPDWORD entriesRead, LPDWORD totalEntries) {
  (void)prefMaxLen;
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  if (userName == nullptr || (flags & ~LG_INCLUDE_INDIRECT) != 0) return ERROR_INVALID_PARAMETER;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> groups;
  NET_API_STATUS status =
      compat::CurrentMachine().LocalGroups(OrEmpty(serverName), userName, flags, groups);
  if (status != NERR_Success) return status;
  return NameList(groups, buffer, entriesRead, totalEntries);
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
  if (buffer == nullptr) return NERR_Success;
  return compat::ReleaseBlock(compat::BlockKind::NetApiBuffer, buffer) ? NERR_Success
                                                                       : ERROR_INVALID_PARAMETER;
}
