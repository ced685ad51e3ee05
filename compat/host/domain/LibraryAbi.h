// The few functions and structures of libwbclient, libsss_nss_idmap, libnetapi,
// libsamba-credentials and libsamba-hostconfig that the domain helper calls, declared from their
// documented ABI (C calling convention) so that none of their headers is needed to build.
// tests/domain/LibraryAbi_check.cpp holds each declaration against the libraries' own headers
// wherever those are installed.
#pragma once

#include <cstdint>

namespace compat::domain::abi {

// libwbclient.so.0 (wbclient.h)
constexpr int kWbcMaxSubAuths = 15;
struct WbcDomainSid {
  uint8_t sid_rev_num;
  uint8_t num_auths;
  uint8_t id_auth[6];
  uint32_t sub_auths[kWbcMaxSubAuths];
};
struct WbcDomainControllerInfo {
  char* dc_name;
};
struct WbcDomainInfo {
  char* short_name;
  char* dns_name;
  WbcDomainSid sid;
  uint32_t domain_flags;
  uint32_t trust_flags;
  uint32_t trust_type;
  char* trust_routing;
};
using WbcErr = uint32_t;  // enum _wbcErrType
constexpr WbcErr kWbcSuccess = 0;
using WbcSidType = uint32_t;  // enum wbcSidType: the values of SID_NAME_USE

using WbcFreeMemory = void (*)(void* memory);
// The functions the helper binds, by its own names for them (wbcPing, wbcUidToSid, ...).
struct Wbclient {
  WbcErr (*ping)();
  WbcErr (*uidToSid)(uint32_t uid, WbcDomainSid* sid);
  WbcErr (*gidToSid)(uint32_t gid, WbcDomainSid* sid);
  WbcErr (*sidToGid)(const WbcDomainSid* sid, uint32_t* gid);
  WbcErr (*lookupSid)(const WbcDomainSid* sid, char** domain, char** name, WbcSidType* type);
  WbcErr (*lookupUserSids)(const WbcDomainSid* userSid, bool domainGroupsOnly, uint32_t* count,
                           WbcDomainSid** sids);
  WbcErr (*domainInfo)(const char* domain, WbcDomainInfo** info);
  WbcErr (*lookupDc)(const char* domain, uint32_t flags, WbcDomainControllerInfo** info);
  WbcFreeMemory free;
};

// libsss_nss_idmap.so.0 (sss_nss_idmap.h); every answer is released with free().
using SssIdType = uint32_t;  // enum sss_id_type
constexpr SssIdType kSssIdGid = 2;
struct SssNssIdmap {
  int (*sidByUid)(uint32_t uid, char** sid, SssIdType* type);
  int (*sidByGid)(uint32_t gid, char** sid, SssIdType* type);
  int (*nameBySid)(const char* sid, char** fqName, SssIdType* type);
};

// libnetapi.so.1 (netapi.h)
struct LibnetapiCtx;
struct CliCredentials;
struct LoadparmContext;
using NetApiStatus = uint32_t;  // NET_API_STATUS
struct UserInfo3 {
  const char* usri3_name;
  uint32_t usri3_password_age;
  uint32_t usri3_priv;
  const char* usri3_home_dir;
  const char* usri3_comment;
  uint32_t usri3_flags;
  const char* usri3_script_path;
  uint32_t usri3_auth_flags;
  const char* usri3_full_name;
  const char* usri3_usr_comment;
  const char* usri3_parms;
  const char* usri3_workstations;
  uint32_t usri3_last_logon;
  uint32_t usri3_last_logoff;
  uint32_t usri3_acct_expires;
  uint32_t usri3_max_storage;
  uint32_t usri3_units_per_week;
  uint8_t* usri3_logon_hours;
  uint32_t usri3_bad_pw_count;
  uint32_t usri3_num_logons;
  const char* usri3_logon_server;
  uint32_t usri3_country_code;
  uint32_t usri3_code_page;
  uint32_t usri3_user_id;
  uint32_t usri3_primary_group_id;
  const char* usri3_profile;
  const char* usri3_home_dir_drive;
  uint32_t usri3_password_expired;
};
struct UserInfo20 {
  const char* usri20_name;
  const char* usri20_full_name;
  const char* usri20_comment;
  uint32_t usri20_flags;
  uint32_t usri20_user_id;
};
struct GroupUsersInfo0 {
  const char* grui0_name;
};
constexpr uint32_t kFilterNormalAccount = 2;  // FILTER_NORMAL_ACCOUNT

using NetApiBufferFree = NetApiStatus (*)(void* buffer);
// With libsamba-credentials.so.1 (credentials.h) and libsamba-hostconfig.so.0 (param.h), whose
// NTSTATUS is 32 bits, 0 for success. cli_credentials_init takes the talloc parent; a libnetapi
// context is a talloc object, so credentials made as its child go when it goes.
struct Netapi {
  NetApiStatus (*init)(LibnetapiCtx** ctx);
  NetApiStatus (*free)(LibnetapiCtx* ctx);
  NetApiStatus (*useCcache)(LibnetapiCtx* ctx);
  NetApiStatus (*setCreds)(LibnetapiCtx* ctx, CliCredentials* creds);
  NetApiStatus (*getInfo)(const char* server, const char* user, uint32_t level, uint8_t** buffer);
  NetApiBufferFree bufferFree;
  NetApiStatus (*userEnum)(const char* server, uint32_t level, uint32_t filter, uint8_t** buffer,
                           uint32_t prefMaxLen, uint32_t* read, uint32_t* total, uint32_t* resume);
  NetApiStatus (*groupUsers)(const char* server, const char* group, uint32_t level,
                             uint8_t** buffer, uint32_t prefMaxLen, uint32_t* read, uint32_t* total,
                             uint32_t* resume);
  CliCredentials* (*credsInit)(void* tallocParent);
  bool (*credsSetConf)(CliCredentials* creds, LoadparmContext* lp);
  uint32_t (*credsSetMachine)(CliCredentials* creds, LoadparmContext* lp);
  LoadparmContext* (*loadparm)(bool loadDefault);
};

}  // namespace compat::domain::abi
