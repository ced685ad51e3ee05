// What a host joined to an Active Directory domain knows about domain accounts: the SIDs of its
// identity mapping (winbind or SSSD) and the domain controller's own record of an account.
//
// No library of Samba or SSSD is needed to build or run the program. When nsswitch.conf names
// winbind or sss for passwd or group, a helper process is forked at the first question; it binds
// libwbclient, libsss_nss_idmap and libnetapi at run time and answers over a socket. The program
// waits for it at most a fixed budget in all (5 seconds by default), whatever the network or a
// library does; once the budget is spent the helper is killed and every later question answers
// "not known" at once. When nsswitch.conf names neither, Open() returns nothing: no library is
// loaded and no process is started.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace compat::domain {

// The kinds of account a SID names, with the values of Windows' SID_NAME_USE.
enum class SidType : uint32_t {
  None = 0,
  User = 1,
  Group = 2,
  Domain = 3,
  Alias = 4,
  WellKnownGroup = 5,
  Deleted = 6,
  Invalid = 7,
  Unknown = 8,
  Computer = 9,
  Label = 10,
};

struct NamedSid {
  std::string sid;  // "S-1-5-21-..."
  SidType type = SidType::None;
};

struct SidName {
  std::string domain;  // winbind: the NetBIOS name ("SAMDOM"); SSSD: the name after '@'
  std::string name;
  SidType type = SidType::None;
};

// Which identity sources nsswitch.conf names for the passwd and group databases.
struct NssSources {
  bool winbind = false;
  bool sss = false;
};
NssSources ParseNsswitch(std::string_view text);

// Whether SID is the Domain Admins group of a domain: S-1-5-21-a-b-c-512.
bool IsDomainAdminsSid(std::string_view sid);

constexpr uint32_t kTimeqForever = 0xFFFFFFFF;  // "never" for account expiry
constexpr uint32_t kUserMaxStorageUnlimited = 0xFFFFFFFF;

// The domain controller's record of one account, with the fields of USER_INFO_3.
struct DomainUser {
  enum class Status {
    Found,       // the record below holds the DC's answer
    NoSuchUser,  // the DC has no such account (Samba answers 1332, Windows 2221)
    NotKnown,    // no credentials, no DC in reach, no libnetapi, or the budget was spent
  };
  Status status = Status::NotKnown;
  uint32_t netStatus = 0;  // libnetapi's answer to NetUserGetInfo, when it was asked
  std::string server;      // the DC that was asked
  std::string name, fullName, comment, userComment, homeDir, homeDirDrive, scriptPath, profile,
      workstations, logonServer, parms;
  uint32_t passwordAge = 0, priv = 0, flags = 0, authFlags = 0, lastLogon = 0, lastLogoff = 0,
           acctExpires = kTimeqForever, maxStorage = kUserMaxStorageUnlimited, unitsPerWeek = 0,
           badPwCount = 0, numLogons = 0, countryCode = 0, codePage = 0, userId = 0,
           primaryGroupId = 0, passwordExpired = 0;
  std::vector<uint8_t> logonHours;  // 21 bytes, or empty when the DC sent none
  // The names NetUserGetGroups and NetUserGetLocalGroups (indirect ones too) give; none when
  // the DC did not answer them.
  std::optional<std::vector<std::string>> groups, localGroups;
};

struct DomainOptions {
  std::string nsswitchPath = "/etc/nsswitch.conf";
  std::string wbclient = "libwbclient.so.0";
  std::string sssIdmap = "libsss_nss_idmap.so.0";
  std::string netapi = "libnetapi.so.1";
  std::string credentials = "libsamba-credentials.so.1";
  std::string hostconfig = "libsamba-hostconfig.so.0";
  std::chrono::milliseconds budget{5000};
  // Whether root may read the DC's record with the machine account when it has no ticket.
  bool machineAccount = true;
};

class DomainLink {
 public:
  // Nothing when nsswitch.conf cannot be read or names neither winbind nor sss.
  static std::unique_ptr<DomainLink> Open(const DomainOptions& options = {});
  ~DomainLink();
  DomainLink(const DomainLink&) = delete;
  DomainLink& operator=(const DomainLink&) = delete;

  // "winbind" when winbindd answers a ping, else "sssd" when nsswitch.conf names sss and its
  // library loads, else "" (then every identity question answers nothing).
  std::string Source();
  std::optional<std::string> UidToSid(uint32_t uid);
  std::optional<std::string> GidToSid(uint32_t gid);
  std::optional<SidName> LookupSid(const std::string& sid);
  // NAME, DOMAIN\NAME or NAME@DOMAIN.
  std::optional<NamedSid> LookupName(const std::string& name);
  std::optional<uint32_t> SidToUid(const std::string& sid);
  std::optional<uint32_t> SidToGid(const std::string& sid);
  // The SIDs of the user's groups, the user's own SID first (winbind only; SSSD answers none).
  std::optional<std::vector<std::string>> UserGroupSids(const std::string& userSid);
  // The DC's record of DOMAIN\NAME, asked with the caller's Kerberos ticket when there is one,
  // else, for root, with the machine account.
  DomainUser GetUser(const std::string& domain, const std::string& name);

  // How long the program has waited for the helper so far.
  std::chrono::milliseconds Waited() const { return waited_; }

 private:
  explicit DomainLink(const DomainOptions& options, NssSources sources);
  std::optional<std::vector<std::string>> Ask(const std::vector<std::string>& request);
  void Stop();

  DomainOptions options_;
  NssSources sources_;
  pid_t worker_ = -1;
  int socket_ = -1;
  bool spent_ = false;
  std::chrono::milliseconds waited_{0};
};

}  // namespace compat::domain
