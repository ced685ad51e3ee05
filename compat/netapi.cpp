// The account calls: one full record from the account database, projected to the level asked
// for, in one block per call that NetApiBufferFree gives back.
#include <cstddef>
#include <string>

#include "NetBuffer.h"
#include "Win32Contract.h"

namespace {

using compat::AccountRecord;
using compat::NetBuffer;

// All logon hours allowed: the block of a record that carries none of its own.
constexpr std::array<BYTE, 21> kAllHours = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The pointer fields of USER_INFO_2, which USER_INFO_3 begins with, and those USER_INFO_3 adds.
#define USER_INFO_2_POINTERS(T, p)                                                      \
  offsetof(T, p##name), offsetof(T, p##password), offsetof(T, p##home_dir),             \
      offsetof(T, p##comment), offsetof(T, p##script_path), offsetof(T, p##full_name),  \
      offsetof(T, p##usr_comment), offsetof(T, p##parms), offsetof(T, p##workstations), \
      offsetof(T, p##logon_hours), offsetof(T, p##logon_server)

NetBuffer BufferFor(DWORD level) {
  switch (level) {
    case 0:
      return NetBuffer(sizeof(USER_INFO_0), {offsetof(USER_INFO_0, usri0_name)});
    case 2:
      return NetBuffer(sizeof(USER_INFO_2), {USER_INFO_2_POINTERS(USER_INFO_2, usri2_)});
    default:
      return NetBuffer(sizeof(USER_INFO_3), {USER_INFO_2_POINTERS(USER_INFO_3, usri3_),
                                             offsetof(USER_INFO_3, usri3_profile),
                                             offsetof(USER_INFO_3, usri3_home_dir_drive)});
  }
}

// Appends one record at the level. Levels 2 and 3 share their first 24 fields; the password is
// never handed out (null, as on Windows).
bool Project(NetBuffer& buffer, DWORD level, const AccountRecord& a) {
  BYTE* record = buffer.AddRecord();
  if (record == nullptr) return false;
  if (level == 0) return buffer.SetText(offsetof(USER_INFO_0, usri0_name), a.name);
    // The home directory before the name, so that a name at its end is shared with it.
#define PROJECT_TEXTS(R, p)                                           \
  buffer.SetText(offsetof(R, p##home_dir), a.homeDir) &&              \
      buffer.SetText(offsetof(R, p##name), a.name) &&                 \
      buffer.SetText(offsetof(R, p##comment), a.comment) &&           \
      buffer.SetText(offsetof(R, p##script_path), a.scriptPath) &&    \
      buffer.SetText(offsetof(R, p##full_name), a.fullName) &&        \
      buffer.SetText(offsetof(R, p##usr_comment), a.usrComment) &&    \
      buffer.SetText(offsetof(R, p##parms), a.parms) &&               \
      buffer.SetText(offsetof(R, p##workstations), a.workstations) && \
      buffer.SetText(offsetof(R, p##logon_server), a.logonServer) &&  \
      buffer.SetBytes(offsetof(R, p##logon_hours),                    \
                      (a.logonHours ? *a.logonHours : kAllHours).data(), kAllHours.size())
#define PROJECT_NUMBERS(r, p)                                                           \
  (r)->p##password_age = a.passwordAge, (r)->p##priv = a.priv, (r)->p##flags = a.flags, \
  (r)->p##auth_flags = a.authFlags, (r)->p##last_logon = a.lastLogon,                   \
  (r)->p##last_logoff = a.lastLogoff, (r)->p##acct_expires = a.acctExpires,             \
  (r)->p##max_storage = a.maxStorage, (r)->p##units_per_week = a.unitsPerWeek,          \
  (r)->p##bad_pw_count = a.badPwCount, (r)->p##num_logons = a.numLogons,                \
  (r)->p##country_code = a.countryCode, (r)->p##code_page = a.codePage
  if (level == 2) {
    auto* r = reinterpret_cast<USER_INFO_2*>(record);
    PROJECT_NUMBERS(r, usri2_);
    return PROJECT_TEXTS(USER_INFO_2, usri2_);
  }
  auto* r = reinterpret_cast<USER_INFO_3*>(record);
  PROJECT_NUMBERS(r, usri3_);
  r->usri3_user_id = a.userId;
  r->usri3_primary_group_id = a.primaryGroupId;
  r->usri3_password_expired = a.passwordExpired;
  return PROJECT_TEXTS(USER_INFO_3, usri3_) &&
         buffer.SetText(offsetof(USER_INFO_3, usri3_profile), a.profile) &&
         buffer.SetText(offsetof(USER_INFO_3, usri3_home_dir_drive), a.homeDirDrive);
#undef PROJECT_TEXTS
#undef PROJECT_NUMBERS
}

// The levels the stand-in projects; the other levels Windows knows are not provided here.
NET_API_STATUS CheckLevel(DWORD level) {
  if (level == 0 || level == 2 || level == 3) return NERR_Success;
  bool windows = level == 1 || level == 4 || level == 10 || level == 11 || level == 20 ||
                 level == 23 || level == 24;
  return windows ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
}

// Clears the caller's out-pointers first, as Windows does; false when one is missing.
bool ClearOut(LPBYTE* buffer, LPDWORD entriesRead, LPDWORD totalEntries) {
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr) return false;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  return true;
}

// Group memberships at level 0: one name pointer per record.
NET_API_STATUS NameList(const std::vector<std::wstring>& names, LPBYTE* buffer, LPDWORD entriesRead,
                        LPDWORD totalEntries) {
  NetBuffer list(sizeof(LPWSTR), {0});
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
  if (!ClearOut(buffer, entriesRead, totalEntries)) return ERROR_INVALID_PARAMETER;
  if (NET_API_STATUS status = CheckLevel(level); status != NERR_Success) return status;
  if (filter != 0) return ERROR_CALL_NOT_IMPLEMENTED;  // the program lists every account
  DWORD resume = resumeHandle == nullptr ? 0 : *resumeHandle;
  NetBuffer batch = BufferFor(level);
  bool ok = true;
  size_t cbBatch = 0;
  // A preferred length ends the batch before the record that would pass it, counting each
  // record with its name (not its other texts); a batch holds one record at least, so that a
  // listing in pieces goes on.
  NET_API_STATUS status = compat::TheAccounts().EnumerateAccounts(
      compat::OrEmpty(serverName), resume, [&](const AccountRecord& record) {
        size_t cbRecord = batch.RecordSize() + (record.name.size() + 1) * sizeof(wchar_t);
        if (prefMaxLen != MAX_PREFERRED_LENGTH && batch.Count() > 0 &&
            cbBatch + cbRecord > prefMaxLen) {
          return false;
        }
        cbBatch += cbRecord;
        ok = ok && Project(batch, level, record);
        return true;
      });
  if (!ok) return ERROR_NOT_ENOUGH_MEMORY;
  // As on Windows, a failed listing hands out no records: the accounts read before the failure
  // would pass for the whole list.
  if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
  auto count = static_cast<DWORD>(batch.Count());
  LPBYTE block = batch.Finish();
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *buffer = block;
  *entriesRead = *totalEntries = count;
  if (resumeHandle != nullptr) *resumeHandle = status == ERROR_MORE_DATA ? resume : 0;
  return status;
}

NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                     LPBYTE* buffer) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (userName == nullptr) return ERROR_INVALID_PARAMETER;
  if (NET_API_STATUS status = CheckLevel(level); status != NERR_Success) return status;
  AccountRecord record;
  NET_API_STATUS status =
      compat::TheAccounts().GetAccount(compat::OrEmpty(serverName), userName, record);
  if (status != NERR_Success) return status;
  NetBuffer one = BufferFor(level);
  if (!Project(one, level, record)) return ERROR_NOT_ENOUGH_MEMORY;
  *buffer = one.Finish();
  return *buffer != nullptr ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS WINAPI NetUserGetGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                       LPBYTE* buffer, DWORD, LPDWORD entriesRead,
                                       LPDWORD totalEntries) {
  if (!ClearOut(buffer, entriesRead, totalEntries)) return ERROR_INVALID_PARAMETER;
  if (userName == nullptr) return ERROR_INVALID_PARAMETER;
  if (level != 0) return level == 1 ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
  std::vector<std::wstring> groups;
  NET_API_STATUS status = compat::TheAccounts().Groups(
      compat::GroupScope::Global, compat::OrEmpty(serverName), userName, groups);
  return status != NERR_Success ? status : NameList(groups, buffer, entriesRead, totalEntries);
}

NET_API_STATUS WINAPI NetUserGetLocalGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                            DWORD flags, LPBYTE* buffer, DWORD, LPDWORD entriesRead,
                                            LPDWORD totalEntries) {
  if (!ClearOut(buffer, entriesRead, totalEntries)) return ERROR_INVALID_PARAMETER;
  if (userName == nullptr || (flags & ~LG_INCLUDE_INDIRECT) != 0) return ERROR_INVALID_PARAMETER;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> groups;
  NET_API_STATUS status = compat::TheAccounts().Groups(
      compat::GroupScope::Local, compat::OrEmpty(serverName), userName, groups);
  return status != NERR_Success ? status : NameList(groups, buffer, entriesRead, totalEntries);
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
  if (buffer == nullptr) return NERR_Success;
  return compat::FreeBlock(compat::BlockKind::NetApiBuffer, buffer) ? NERR_Success
                                                                    : ERROR_INVALID_PARAMETER;
}
