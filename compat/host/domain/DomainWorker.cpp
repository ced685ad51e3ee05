// The domain helper: binds the identity mapping and libnetapi at run time and answers the
// program's questions, one message each. It runs in a child of the program, so a library that
// blocks, prints or crashes costs the program no more than the time it is willing to wait.
#include <arpa/nameser.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "host/HostText.h"
#include "host/NssDirectory.h"
#include "host/domain/LibraryAbi.h"
#include "host/domain/Wire.h"

namespace compat::domain {
namespace {

// A library loaded with dlopen, closed when its owner goes away.
struct Closer {
  void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, Closer>;

// None for an empty path.
Library Load(const std::string& path) {
  return Library(path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

// Binds fn to the export name; false (and fn null) when the library lacks it.
template <typename Fn>
bool Bind(const Library& library, const char* name, Fn& fn) {
  fn = library ? reinterpret_cast<Fn>(dlsym(library.get(), name)) : nullptr;
  return fn != nullptr;
}

// Memory a library handed out, given back with that library's own release.
template <typename T, typename Release>
struct Owned {
  Owned(T* held, Release releaseFn) : value(held), release(releaseFn) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (value != nullptr) release(value);
  }
  T* value;
  Release release;
};
using Freed = void (*)(void*);

std::wstring Wide(const char* text) {
  return text == nullptr ? std::wstring() : WideFromHost(text);
}

std::string Host(std::wstring_view text) {
  return HostNameOf(text).value_or(std::string());
}

// An S-1-22 answer is a Unix SID of the host's own, which the program makes itself.
std::optional<SidValue> Mapped(std::optional<SidValue> sid) {
  return sid && sid->authority != 22 ? sid : std::nullopt;
}

// winbind's SID is Windows' binary SID with room for every sub-authority.
static_assert(sizeof(abi::WbcDomainSid) == 8 + 4 * SID_MAX_SUB_AUTHORITIES);

abi::WbcDomainSid ToWbc(const SidValue& value) {
  abi::WbcDomainSid sid{};
  value.WriteBinary(&sid);
  return sid;
}

// Whether the caller has a ticket cache: KRB5CCNAME, else the default file. A file cache is
// there only as a regular file of the caller's own. It is looked at, not opened: opening a pipe
// planted in /tmp would hold the helper until its budget is spent, and opening a device can act
// (a watchdog starts). And a file another user left at the default place in /tmp, which anyone
// may write to, is no ticket of root's. Other kinds (KEYRING:, KCM:, DIR:) are taken as there.
bool HasKerberosTicket() {
  std::string name = "/tmp/krb5cc_" + std::to_string(geteuid());
  if (const char* set = getenv("KRB5CCNAME"); set != nullptr && *set != '\0') name = set;
  if (name.compare(0, 5, "FILE:") == 0) {
    name.erase(0, 5);
  } else if (name.find(':') != std::string::npos) {
    return true;
  }
  struct stat info {};
  return stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
}

// A Samba DC answers a name it does not know with ERROR_NONE_MAPPED, Windows with
// NERR_UserNotFound.
constexpr abi::NetApiStatus kNoneMapped = 1332;
// Samba cuts the directory's "never" (the largest NTTIME) to 32 bits without a check.
constexpr uint32_t kTruncatedNever = 159663333;

class Helper {
 public:
  Helper(const DomainOptions& options, bool winbind, bool sss)
      : options_(options), wbcLibrary_(Load(winbind ? options.wbclient : "")) {
    const Library& w = wbcLibrary_;
    if (Bind(w, "wbcPing", wbc_.ping) && Bind(w, "wbcUidToSid", wbc_.uidToSid) &&
        Bind(w, "wbcGidToSid", wbc_.gidToSid) && Bind(w, "wbcSidToGid", wbc_.sidToGid) &&
        Bind(w, "wbcLookupSid", wbc_.lookupSid) &&
        Bind(w, "wbcLookupUserSids", wbc_.lookupUserSids) &&
        Bind(w, "wbcDomainInfo", wbc_.domainInfo) &&
        Bind(w, "wbcLookupDomainController", wbc_.lookupDc) &&
        Bind(w, "wbcFreeMemory", wbc_.free) && wbc_.ping() == abi::kWbcSuccess) {
      source_ = Source::Winbind;
      return;
    }
    const Library& s = sssLibrary_ = Load(sss ? options.sssIdmap : "");
    if (Bind(s, "sss_nss_getsidbyuid", sss_.sidByUid) &&
        Bind(s, "sss_nss_getsidbygid", sss_.sidByGid) &&
        Bind(s, "sss_nss_getnamebysid", sss_.nameBySid)) {
      source_ = Source::Sssd;
    }
  }
  ~Helper() {
    if (context_ != nullptr) net_.free(context_);
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // An empty answer: not known.
  Message Answer(const Message& request) {
    uint32_t id = 0;
    uint32_t gid = 0;
    if (request.size() == 4 && request[0] == L"account" && TakeNumber(request[1], id) &&
        TakeNumber(request[3], gid)) {
      return Account(id, request[2], gid);
    }
    if (request.size() == 3 && request[0] == L"record") return Record(request[1], request[2]);
    if (request.size() == 3 && request[0] == L"roster") {
      std::optional<SidValue> admins = SidValue::FromText(request[2]);
      return admins ? Roster(request[1], *admins) : Message();
    }
    // A group's name and gid, or a user's name alone (for the list, which needs no groups).
    bool user = request.size() == 2 && request[0] == L"user";
    bool group = request.size() == 2 && request[0] == L"group";
    std::optional<SidValue> sid =
        (user || group) && TakeNumber(request[1], id) ? IdToSid(id, user) : std::nullopt;
    Message answer;
    if (std::optional<DomainName> name = sid ? NameOf(*sid) : std::nullopt) {
      if (group) name->gid = id;
      PutName(answer, *name);
    }
    return answer;
  }

 private:
  std::optional<SidValue> IdToSid(uint32_t id, bool user) {
    if (source_ == Source::Winbind) {
      abi::WbcDomainSid sid{};
      abi::WbcErr status = user ? wbc_.uidToSid(id, &sid) : wbc_.gidToSid(id, &sid);
      return status == abi::kWbcSuccess ? Mapped(SidValue::FromBinary(&sid)) : std::nullopt;
    }
    Owned<char, Freed> sid{nullptr, free};
    abi::SssIdType type = 0;
    if (source_ != Source::Sssd || (user ? sss_.sidByUid : sss_.sidByGid)(id, &sid.value, &type)) {
      return std::nullopt;
    }
    return Mapped(SidValue::FromText(Wide(sid.value)));
  }

  std::optional<DomainName> NameOf(const SidValue& sid) {
    DomainName name;
    name.sid = sid;
    if (source_ == Source::Winbind) {
      abi::WbcDomainSid binary = ToWbc(sid);
      Owned<char, abi::WbcFreeMemory> domain{nullptr, wbc_.free}, account{nullptr, wbc_.free};
      abi::WbcSidType type = 0;
      if (wbc_.lookupSid(&binary, &domain.value, &account.value, &type) != abi::kWbcSuccess) {
        return std::nullopt;
      }
      name.domain = Wide(domain.value);
      name.name = Wide(account.value);
      name.use = static_cast<SID_NAME_USE>(type);
      return name;
    }
    // SSSD names an account NAME@DOMAIN, and tells only whether its id is a uid or a gid.
    Owned<char, Freed> qualified{nullptr, free};
    abi::SssIdType type = 0;
    if (source_ != Source::Sssd ||
        sss_.nameBySid(Host(sid.ToText()).c_str(), &qualified.value, &type) != 0) {
      return std::nullopt;
    }
    std::wstring text = Wide(qualified.value);
    size_t at = std::min(text.rfind(L'@'), text.size());
    name.name = text.substr(0, at);
    name.domain = text.substr(std::min(at + 1, text.size()));
    name.use = type == abi::kSssIdGid ? SidTypeGroup : SidTypeUser;
    return name;
  }

  Message Account(uint32_t uid, const std::wstring& userName, uint32_t gid) {
    Message answer;
    std::optional<SidValue> sid = IdToSid(uid, true);
    std::optional<DomainName> user = sid ? NameOf(*sid) : std::nullopt;
    if (!user) return answer;
    PutName(answer, *user);
    auto add = [&](const std::optional<SidValue>& group, std::optional<uint32_t> id) {
      std::optional<DomainName> name = group && !(*group == *sid) ? NameOf(*group) : std::nullopt;
      if (!name) return;
      name->gid = id;
      PutName(answer, *name);
    };
    if (source_ == Source::Winbind) {
      abi::WbcDomainSid binary = ToWbc(*sid);
      Owned<abi::WbcDomainSid, abi::WbcFreeMemory> sids{nullptr, wbc_.free};
      uint32_t count = 0;
      if (wbc_.lookupUserSids(&binary, false, &count, &sids.value) == abi::kWbcSuccess) {
        for (uint32_t i = 0; i < count; ++i) {
          uint32_t id = 0;
          bool mapped = wbc_.sidToGid(&sids.value[i], &id) == abi::kWbcSuccess;
          add(SidValue::FromBinary(&sids.value[i]), mapped ? std::optional(id) : std::nullopt);
        }
        return answer;
      }
      // winbind cannot tell them now (its DC away, nothing cached): NSS's, as for SSSD.
    }
    // SSSD tells no groups of a SID: they are the user's NSS groups that it maps.
    UserEntry entry;
    entry.name = Host(userName);
    entry.gid = gid;
    std::vector<uint32_t> gids;
    NssDirectory().GroupIdsOf(entry, gids);
    for (uint32_t group : gids) add(IdToSid(group, false), group);
    return answer;
  }

  // DNS first, as Windows clients find their DC (a DC's own winbind takes seconds to say it knows
  // none); a domain's NetBIOS name is turned into its DNS name by winbind, which also knows a DC
  // where DNS does not. A domain that winbind knows without a DNS name (a member's own accounts,
  // such as its guest account "nobody") has no DC, which winbind would take seconds to say.
  std::string DomainController(const std::wstring& domain) {
    auto known = controllers_.find(domain);
    if (known != controllers_.end()) return known->second;
    std::string dnsName = Host(domain);
    bool winbind = source_ == Source::Winbind;
    bool local = false;
    Owned<abi::WbcDomainInfo, abi::WbcFreeMemory> info{nullptr, wbc_.free};
    if (dnsName.find('.') == std::string::npos) {
      bool named = winbind && wbc_.domainInfo(dnsName.c_str(), &info.value) == abi::kWbcSuccess &&
                   info.value != nullptr;
      local = named && (info.value->dns_name == nullptr || *info.value->dns_name == '\0');
      dnsName = named && !local ? info.value->dns_name : "";
    }
    std::string found;
    std::vector<unsigned char> answer(NS_MAXMSG);  // the largest DNS message
    std::string question = "_ldap._tcp.dc._msdcs." + dnsName;
    int length = dnsName.empty() ? -1
                                 : res_query(question.c_str(), ns_c_in, ns_t_srv, answer.data(),
                                             static_cast<int>(answer.size()));
    // A truncated answer reports its whole length, which may pass the buffer.
    length = std::min(length, static_cast<int>(answer.size()));
    if (length > 0) found = FirstSrvTarget(answer.data(), length);
    Owned<abi::WbcDomainControllerInfo, abi::WbcFreeMemory> dc{nullptr, wbc_.free};
    if (found.empty() && winbind && !local &&
        wbc_.lookupDc(Host(domain).c_str(), 0, &dc.value) == abi::kWbcSuccess &&
        dc.value != nullptr && dc.value->dc_name != nullptr) {
      found = dc.value->dc_name;
      found.erase(0, found.find_first_not_of('\\'));
    }
    return controllers_[domain] = found;
  }

  // One libnetapi context for the helper's life, made at the first record or roster asked: with the
  // caller's ticket when there is one, else, for root, with the machine account (whose libraries
  // are bound only then).
  bool Connect() {
    if (connected_) return context_ != nullptr;
    connected_ = true;
    bool ticket = HasKerberosTicket();
    bool machine = !ticket && geteuid() == 0 && options_.machineAccount;
    const Library& n = netapiLibrary_ = Load(ticket || machine ? options_.netapi : "");
    const Library& c = credentialsLibrary_ = Load(machine ? options_.credentials : "");
    const Library& h = hostconfigLibrary_ = Load(machine ? options_.hostconfig : "");
    bool bound =
        Bind(n, "libnetapi_init", net_.init) && Bind(n, "libnetapi_free", net_.free) &&
        Bind(n, "libnetapi_set_use_ccache", net_.useCcache) &&
        Bind(n, "libnetapi_set_creds", net_.setCreds) &&
        Bind(n, "NetApiBufferFree", net_.bufferFree) && Bind(n, "NetUserGetInfo", net_.getInfo) &&
        Bind(n, "NetUserEnum", net_.userEnum) && Bind(n, "NetGroupGetUsers", net_.groupUsers) &&
        (!machine || (Bind(c, "cli_credentials_init", net_.credsInit) &&
                      Bind(c, "cli_credentials_set_conf", net_.credsSetConf) &&
                      Bind(c, "cli_credentials_set_machine_account", net_.credsSetMachine) &&
                      Bind(h, "loadparm_init_global", net_.loadparm)));
    abi::LibnetapiCtx* context = nullptr;
    if (!bound || net_.init(&context) != 0 || context == nullptr) return false;
    bool ready = ticket && net_.useCcache(context) == 0;
    if (machine) {
      abi::LoadparmContext* lp = net_.loadparm(true);
      abi::CliCredentials* creds = net_.credsInit(context);
      ready = lp != nullptr && creds != nullptr && net_.credsSetConf(creds, lp) &&
              net_.credsSetMachine(creds, lp) == 0 && net_.setCreds(context, creds) == 0;
    }
    if (!ready) net_.free(context);
    context_ = ready ? context : nullptr;
    return ready;
  }

  Message Record(const std::wstring& domain, const std::wstring& name) {
    if (!Connect()) return {};
    std::string server = DomainController(domain);
    Owned<uint8_t, abi::NetApiBufferFree> buffer{nullptr, net_.bufferFree};
    abi::NetApiStatus status =
        server.empty() ? 1 : net_.getInfo(server.c_str(), Host(name).c_str(), 3, &buffer.value);
    if (status == kNoneMapped || status == NERR_UserNotFound) return {L"none"};
    if (status != NERR_Success || buffer.value == nullptr) return {};
    abi::UserInfo3 info = *reinterpret_cast<const abi::UserInfo3*>(buffer.value);
    if (info.usri3_acct_expires == 0 || info.usri3_acct_expires == kTruncatedNever) {
      info.usri3_acct_expires = TIMEQ_FOREVER;
    }
    Message answer{L"found"};
    PutRecord(answer, info);
    return answer;
  }

  // Each entry of type T of an enumeration that libnetapi hands out in pages (call takes the
  // buffer, preferred length, counts and resume handle): NERR_Success when the DC answered it
  // whole, otherwise the status that cut it short.
  template <typename T, typename Call, typename Take>
  abi::NetApiStatus EachEntry(Call call, Take take) {
    uint32_t resume = 0;
    for (;;) {
      Owned<uint8_t, abi::NetApiBufferFree> buffer{nullptr, net_.bufferFree};
      uint32_t read = 0;
      uint32_t total = 0;
      abi::NetApiStatus status = call(&buffer.value, MAX_PREFERRED_LENGTH, &read, &total, &resume);
      if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
      const T* entries = reinterpret_cast<const T*>(buffer.value);
      for (uint32_t i = 0; entries != nullptr && i < read; ++i) take(entries[i]);
      if (status == NERR_Success || read == 0) return status;
    }
  }

  // The members of a global group, and of the global groups in it: a member that is no account
  // of the domain is asked for its own members, each name once. False when the DC did not give a
  // list whole.
  bool AddMembers(const std::string& server, const std::string& group,
                  const std::map<std::string, uint32_t>& accounts, std::set<std::string>& members,
                  bool nested = false) {
    std::vector<std::string> groups;
    size_t listed = 0;
    abi::NetApiStatus status = EachEntry<abi::GroupUsersInfo0>(
        [&](auto... page) { return net_.groupUsers(server.c_str(), group.c_str(), 0, page...); },
        [&](const abi::GroupUsersInfo0& member) {
          ++listed;
          if (member.grui0_name != nullptr && members.insert(member.grui0_name).second &&
              accounts.count(member.grui0_name) == 0) {
            groups.emplace_back(member.grui0_name);
          }
        });
    // A member the DC refuses to list at once is taken for no group (an account the list of
    // accounts leaves out, such as a computer's); a list that stops after its start is cut short.
    bool whole = status == NERR_Success || (nested && listed == 0 && status != ERROR_MORE_DATA);
    for (const std::string& inner : groups) {
      whole = AddMembers(server, inner, accounts, members, true) && whole;
    }
    return whole;
  }

  // Every account of a domain as the list shows it: its name, its flags and whether it is in
  // the group admins (Domain Admins), from one enumeration of the accounts and one of the
  // group's members, whatever the number of accounts. Empty: not known, also when either list
  // came only in part, so that no account is shown outside Domain Admins for want of an answer.
  Message Roster(const std::wstring& domain, const SidValue& admins) {
    std::string server = DomainController(domain);
    std::map<std::string, uint32_t> accounts;  // flags by name
    bool listed =
        !server.empty() && Connect() &&
        EachEntry<abi::UserInfo20>(
            [&](auto... page) {
              return net_.userEnum(server.c_str(), 20, abi::kFilterNormalAccount, page...);
            },
            [&](const abi::UserInfo20& user) {
              if (user.usri20_name != nullptr) accounts[user.usri20_name] = user.usri20_flags;
            }) == NERR_Success;
    std::set<std::string> members;
    std::optional<DomainName> group = listed ? NameOf(admins) : std::nullopt;
    if (!group || !AddMembers(server, Host(group->name), accounts, members)) return {};
    Message answer;
    for (const auto& [name, flags] : accounts) {
      answer.insert(answer.end(), {Wide(name.c_str()), std::to_wstring(flags),
                                   members.count(name) != 0 ? L"admin" : L""});
    }
    return answer;
  }

  const DomainOptions& options_;
  enum class Source { None, Winbind, Sssd } source_ = Source::None;
  Library wbcLibrary_, sssLibrary_, netapiLibrary_, credentialsLibrary_, hostconfigLibrary_;
  abi::Wbclient wbc_{};
  abi::SssNssIdmap sss_{};
  abi::Netapi net_{};
  std::map<std::wstring, std::string> controllers_;  // by domain
  bool connected_ = false;
  abi::LibnetapiCtx* context_ = nullptr;
};

}  // namespace

std::string FirstSrvTarget(const unsigned char* answer, int length) {
  if (length < HFIXEDSZ) return "";
  const unsigned char* end = answer + length;
  const unsigned char* at = answer + HFIXEDSZ;
  auto word = [](const unsigned char* p) { return (p[0] << 8) | p[1]; };
  for (int i = word(answer + 4); i > 0; --i) {  // the questions
    int skip = dn_skipname(at, end);
    if (skip < 0 || end - at < skip + QFIXEDSZ) return "";
    at += skip + QFIXEDSZ;
  }
  // An answer may end before its records do (one cut to the buffer, a truncated answer that
  // could not be had whole, a malformed one): every record read whole before the cut names a
  // controller of the domain as well.
  std::string best;
  int bestPriority = 0x10000;
  for (int i = word(answer + 6); i > 0; --i) {  // the answers
    int skip = dn_skipname(at, end);
    if (skip < 0 || end - at < skip + RRFIXEDSZ) return best;
    at += skip;
    int type = word(at);
    int size = word(at + 8);
    at += RRFIXEDSZ;
    if (end - at < size) return best;
    char target[NS_MAXDNAME];
    if (type == ns_t_srv && size > 6 && word(at) < bestPriority &&
        dn_expand(answer, end, at + 6, target, sizeof target) > 0) {
      best = target;
      bestPriority = word(at);
    }
    at += size;
  }
  return best;
}

void ServeDomainRequests(int fd, const DomainOptions& options, bool winbind, bool sss) {
  // Nothing may unwind out of the helper: it is a copy of the program, and the program's code
  // past the fork (its error message, its output flushed at exit) is not the helper's to run.
  try {
    Helper helper(options, winbind, sss);
    while (std::optional<Message> request = ReceiveMessage(fd, std::nullopt)) {
      if (!SendMessage(fd, helper.Answer(*request))) break;
    }
  } catch (...) {
    _exit(1);
  }
  _exit(0);
}

}  // namespace compat::domain
