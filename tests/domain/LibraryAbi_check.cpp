// Compiled only where the Samba headers are installed: each function and structure the domain
// module declares for itself must have the shape of the real one, or this file does not build.
#include <cstddef>
#include <cstdint>
#include <type_traits>

// credentials.h declares two enums ahead, as C may, that no installed header defines; C++ needs
// them defined first (their values matter to no function checked here).
enum smb_signing_setting {};
enum smb_encryption_setting {};
#include <credentials.h>
#include <netapi.h>
#include <param.h>
#include <wbclient.h>
#if __has_include(<sss_nss_idmap.h>)
#include <sss_nss_idmap.h>
#define USERLENS_HAVE_SSS_HEADER 1
#endif

#include "host/domain/LibraryAbi.h"

namespace abi = compat::domain::abi;

// The structure wbclient.h declares beside a function of the same name.
using WbcDomainInfoStruct = struct wbcDomainInfo;

namespace {

template <typename T, typename = void>
struct IsComplete : std::false_type {};
template <typename T>
struct IsComplete<T, std::void_t<decltype(sizeof(T))>> : std::true_type {};

// Two types are passed alike when they have the same size and both or neither are pointers,
// and pointers point at things of the same size where both are known (an enum and the 32-bit
// integer it is declared as here are passed alike; an opaque handle matches anything).
template <typename A, typename B>
constexpr bool PassedAlike() {
  if constexpr (std::is_void_v<A> || std::is_void_v<B>) {
    return std::is_void_v<A> == std::is_void_v<B>;
  } else if constexpr (std::is_pointer_v<A> != std::is_pointer_v<B>) {
    return false;
  } else if constexpr (std::is_pointer_v<A>) {
    using PointeeA = std::remove_cv_t<std::remove_pointer_t<A>>;
    using PointeeB = std::remove_cv_t<std::remove_pointer_t<B>>;
    if constexpr (std::is_void_v<PointeeA> || std::is_void_v<PointeeB> ||
                  !IsComplete<PointeeA>::value || !IsComplete<PointeeB>::value) {
      return true;
    } else {
      return PassedAlike<PointeeA, PointeeB>();
    }
  } else {
    return sizeof(A) == sizeof(B);
  }
}

template <typename Ours, typename Theirs>
struct SameShape : std::false_type {};
template <typename R1, typename... A1, typename R2, typename... A2>
struct SameShape<R1 (*)(A1...), R2 (*)(A2...)>
    : std::bool_constant<sizeof...(A1) == sizeof...(A2) && PassedAlike<R1, R2>() &&
                         (PassedAlike<A1, A2>() && ...)> {};

// ours: the member of the helper's table of a library's functions.
#define USERLENS_SAME_FUNCTION(ours, theirs) \
  static_assert(SameShape<decltype(abi::ours), decltype(&::theirs)>::value, #theirs)
// Our declaration keeps the library's field names.
#define USERLENS_SAME_FIELD(ours, theirs, field)                           \
  static_assert(offsetof(abi::ours, field) == offsetof(::theirs, field) && \
                    sizeof(abi::ours::field) == sizeof(::theirs::field),   \
                #theirs "." #field)

USERLENS_SAME_FUNCTION(Wbclient::ping, wbcPing);
USERLENS_SAME_FUNCTION(Wbclient::uidToSid, wbcUidToSid);
USERLENS_SAME_FUNCTION(Wbclient::gidToSid, wbcGidToSid);
USERLENS_SAME_FUNCTION(Wbclient::sidToGid, wbcSidToGid);
USERLENS_SAME_FUNCTION(Wbclient::lookupSid, wbcLookupSid);
USERLENS_SAME_FUNCTION(Wbclient::lookupUserSids, wbcLookupUserSids);
USERLENS_SAME_FUNCTION(Wbclient::lookupDc, wbcLookupDomainController);
USERLENS_SAME_FUNCTION(Wbclient::domainInfo, wbcDomainInfo);
USERLENS_SAME_FUNCTION(Wbclient::free, wbcFreeMemory);
static_assert(abi::kWbcMaxSubAuths == WBC_MAXSUBAUTHS);
static_assert(abi::kWbcSuccess == WBC_ERR_SUCCESS);
static_assert(sizeof(abi::WbcDomainSid) == sizeof(wbcDomainSid));
USERLENS_SAME_FIELD(WbcDomainSid, wbcDomainSid, num_auths);
USERLENS_SAME_FIELD(WbcDomainSid, wbcDomainSid, id_auth);
USERLENS_SAME_FIELD(WbcDomainSid, wbcDomainSid, sub_auths);
USERLENS_SAME_FIELD(WbcDomainControllerInfo, wbcDomainControllerInfo, dc_name);
USERLENS_SAME_FIELD(WbcDomainInfo, WbcDomainInfoStruct, dns_name);
static_assert(sizeof(abi::WbcDomainInfo) == sizeof(WbcDomainInfoStruct));
static_assert(static_cast<uint32_t>(WBC_SID_NAME_USER) == 1 &&
              static_cast<uint32_t>(WBC_SID_NAME_DOM_GRP) == 2 &&
              static_cast<uint32_t>(WBC_SID_NAME_ALIAS) == 4 &&
              static_cast<uint32_t>(WBC_SID_NAME_WKN_GRP) == 5);

USERLENS_SAME_FUNCTION(Netapi::init, libnetapi_init);
USERLENS_SAME_FUNCTION(Netapi::free, libnetapi_free);
USERLENS_SAME_FUNCTION(Netapi::useCcache, libnetapi_set_use_ccache);
USERLENS_SAME_FUNCTION(Netapi::setCreds, libnetapi_set_creds);
USERLENS_SAME_FUNCTION(Netapi::getInfo, NetUserGetInfo);
USERLENS_SAME_FUNCTION(Netapi::bufferFree, NetApiBufferFree);
USERLENS_SAME_FUNCTION(Netapi::userEnum, NetUserEnum);
USERLENS_SAME_FUNCTION(Netapi::groupUsers, NetGroupGetUsers);
USERLENS_SAME_FUNCTION(Netapi::credsInit, cli_credentials_init);
USERLENS_SAME_FUNCTION(Netapi::credsSetConf, cli_credentials_set_conf);
USERLENS_SAME_FUNCTION(Netapi::credsSetMachine, cli_credentials_set_machine_account);
USERLENS_SAME_FUNCTION(Netapi::loadparm, loadparm_init_global);
static_assert(abi::kFilterNormalAccount == FILTER_NORMAL_ACCOUNT);
static_assert(sizeof(abi::UserInfo20) == sizeof(USER_INFO_20));
USERLENS_SAME_FIELD(UserInfo20, USER_INFO_20, usri20_name);
USERLENS_SAME_FIELD(UserInfo20, USER_INFO_20, usri20_flags);
USERLENS_SAME_FIELD(UserInfo20, USER_INFO_20, usri20_user_id);
static_assert(sizeof(abi::GroupUsersInfo0) == sizeof(GROUP_USERS_INFO_0));
USERLENS_SAME_FIELD(GroupUsersInfo0, GROUP_USERS_INFO_0, grui0_name);
static_assert(sizeof(abi::UserInfo3) == sizeof(USER_INFO_3));
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_name);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_password_age);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_flags);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_full_name);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_last_logon);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_acct_expires);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_logon_hours);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_num_logons);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_user_id);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_primary_group_id);
USERLENS_SAME_FIELD(UserInfo3, USER_INFO_3, usri3_password_expired);

#ifdef USERLENS_HAVE_SSS_HEADER
USERLENS_SAME_FUNCTION(SssNssIdmap::sidByUid, sss_nss_getsidbyuid);
USERLENS_SAME_FUNCTION(SssNssIdmap::sidByGid, sss_nss_getsidbygid);
USERLENS_SAME_FUNCTION(SssNssIdmap::nameBySid, sss_nss_getnamebysid);
static_assert(abi::kSssIdGid == SSS_ID_TYPE_GID);
static_assert(sizeof(abi::SssIdType) == sizeof(enum sss_id_type));
#endif

}  // namespace
