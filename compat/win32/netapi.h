// The local account database (lmaccess.h, lmapibuf.h).
#pragma once

#include "win32/base.h"

constexpr DWORD MAX_PREFERRED_LENGTH = static_cast<DWORD>(-1);
constexpr DWORD USER_PRIV_GUEST = 0, USER_PRIV_USER = 1, USER_PRIV_ADMIN = 2;
constexpr DWORD USER_MAXSTORAGE_UNLIMITED = static_cast<DWORD>(-1);
constexpr DWORD TIMEQ_FOREVER = static_cast<DWORD>(-1);
constexpr DWORD UNITS_PER_WEEK = 168;
constexpr DWORD LG_INCLUDE_INDIRECT = 0x0001;

constexpr DWORD UF_SCRIPT = 0x0001;
constexpr DWORD UF_ACCOUNTDISABLE = 0x0002;
constexpr DWORD UF_HOMEDIR_REQUIRED = 0x0008;
constexpr DWORD UF_LOCKOUT = 0x0010;
constexpr DWORD UF_PASSWD_NOTREQD = 0x0020;
constexpr DWORD UF_PASSWD_CANT_CHANGE = 0x0040;
constexpr DWORD UF_ENCRYPTED_TEXT_PASSWORD_ALLOWED = 0x0080;
constexpr DWORD UF_TEMP_DUPLICATE_ACCOUNT = 0x0100;
constexpr DWORD UF_NORMAL_ACCOUNT = 0x0200;
constexpr DWORD UF_INTERDOMAIN_TRUST_ACCOUNT = 0x0800;
constexpr DWORD UF_WORKSTATION_TRUST_ACCOUNT = 0x1000;
constexpr DWORD UF_SERVER_TRUST_ACCOUNT = 0x2000;
constexpr DWORD UF_DONT_EXPIRE_PASSWD = 0x10000;
constexpr DWORD UF_MNS_LOGON_ACCOUNT = 0x20000;
constexpr DWORD UF_SMARTCARD_REQUIRED = 0x40000;
constexpr DWORD UF_TRUSTED_FOR_DELEGATION = 0x80000;
constexpr DWORD UF_NOT_DELEGATED = 0x100000;
constexpr DWORD UF_USE_DES_KEY_ONLY = 0x200000;
constexpr DWORD UF_DONT_REQUIRE_PREAUTH = 0x400000;
constexpr DWORD UF_PASSWORD_EXPIRED = 0x800000;
constexpr DWORD UF_TRUSTED_TO_AUTHENTICATE_FOR_DELEGATION = 0x1000000;

constexpr DWORD AF_OP_PRINT = 0x0001, AF_OP_COMM = 0x0002, AF_OP_SERVER = 0x0004,
                AF_OP_ACCOUNTS = 0x0008;

struct USER_INFO_0 {
  LPWSTR usri0_name;
};
struct USER_INFO_2 {
  LPWSTR usri2_name;
  LPWSTR usri2_password;
  DWORD usri2_password_age;
  DWORD usri2_priv;
  LPWSTR usri2_home_dir;
  LPWSTR usri2_comment;
  DWORD usri2_flags;
  LPWSTR usri2_script_path;
  DWORD usri2_auth_flags;
  LPWSTR usri2_full_name;
  LPWSTR usri2_usr_comment;
  LPWSTR usri2_parms;
  LPWSTR usri2_workstations;
  DWORD usri2_last_logon;
  DWORD usri2_last_logoff;
  DWORD usri2_acct_expires;
  DWORD usri2_max_storage;
  DWORD usri2_units_per_week;
  PBYTE usri2_logon_hours;
  DWORD usri2_bad_pw_count;
  DWORD usri2_num_logons;
  LPWSTR usri2_logon_server;
  DWORD usri2_country_code;
  DWORD usri2_code_page;
};
struct USER_INFO_3 {
  LPWSTR usri3_name;
  LPWSTR usri3_password;
  DWORD usri3_password_age;
  DWORD usri3_priv;
  LPWSTR usri3_home_dir;
  LPWSTR usri3_comment;
  DWORD usri3_flags;
  LPWSTR usri3_script_path;
  DWORD usri3_auth_flags;
  LPWSTR usri3_full_name;
  LPWSTR usri3_usr_comment;
  LPWSTR usri3_parms;
  LPWSTR usri3_workstations;
  DWORD usri3_last_logon;
  DWORD usri3_last_logoff;
  DWORD usri3_acct_expires;
  DWORD usri3_max_storage;
  DWORD usri3_units_per_week;
  PBYTE usri3_logon_hours;
  DWORD usri3_bad_pw_count;
  DWORD usri3_num_logons;
  LPWSTR usri3_logon_server;
  DWORD usri3_country_code;
  DWORD usri3_code_page;
  DWORD usri3_user_id;
  DWORD usri3_primary_group_id;
  LPWSTR usri3_profile;
  LPWSTR usri3_home_dir_drive;
  DWORD usri3_password_expired;
};

struct GROUP_USERS_INFO_0 {
  LPWSTR grui0_name;
};

NET_API_STATUS WINAPI NetUserEnum(LPCWSTR serverName, DWORD level, DWORD filter, LPBYTE* buffer,
                                  DWORD prefMaxLen, LPDWORD entriesRead, LPDWORD totalEntries,
                                  LPDWORD resumeHandle);
NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                     LPBYTE* buffer);
NET_API_STATUS WINAPI NetUserGetGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                       LPBYTE* buffer, DWORD prefMaxLen, LPDWORD entriesRead,
                                       LPDWORD totalEntries);
NET_API_STATUS WINAPI NetUserGetLocalGroups(LPCWSTR serverName, LPCWSTR userName, DWORD level,
                                            DWORD flags, LPBYTE* buffer, DWORD prefMaxLen,
                                            LPDWORD entriesRead, LPDWORD totalEntries);
NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer);
