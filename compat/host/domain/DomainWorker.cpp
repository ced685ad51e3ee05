// The helper process: binds the identity mapping and libnetapi at run time and answers the
// program's questions, one message each. It runs in a child of the program, so a library that
// blocks, prints or crashes costs the program no more than the time it is willing to wait.
#include "DomainWorker.h"

#include <dlfcn.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "LibraryAbi.h"

namespace compat::domain {

namespace {

// A library loaded with dlopen, closed when its owner goes away.
class Library {
 public:
  Library() = default;
  explicit Library(const std::string& path, int flags = RTLD_NOW | RTLD_LOCAL)
      : handle_(dlopen(path.c_str(), flags)) {}
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Library& operator=(Library&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // Binds FN to the export NAME; false (and FN null) when the library lacks it.
  template <typename Fn>
  bool Bind(const char* name, Fn& fn) const {
    fn = handle_ == nullptr ? nullptr : reinterpret_cast<Fn>(dlsym(handle_, name));
    return fn != nullptr;
  }

 private:
  void* handle_ = nullptr;
};

// Memory a library handed out, given back with that library's own release.
template <typename T, typename Release>
class Owned {
 public:
  explicit Owned(Release release) : release_(release) {}
  ~Owned() {
    if (value != nullptr) release_(value);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  T* value = nullptr;

 private:
  Release release_;
};

std::string Text(const char* text) {
  return text == nullptr ? std::string() : text;
}

SidType FromSssType(abi::SssIdType type) {
  if (type == abi::kSssIdUid || type == abi::kSssIdBoth) return SidType::User;
  if (type == abi::kSssIdGid) return SidType::Group;
  return SidType::Unknown;
}

// Whether the caller has a ticket cache: KRB5CCNAME, else the default file. A file cache is
// there only when its file is; other kinds (KEYRING:, KCM:, DIR:) are taken as there.
bool HasKerberosTicket() {
  std::string name = "/tmp/krb5cc_" + std::to_string(getuid());
  if (const char* set = getenv("KRB5CCNAME"); set != nullptr && *set != '\0') name = set;
  if (name.compare(0, 5, "FILE:") == 0) {
    name.erase(0, 5);
  } else if (name.find(':') != std::string::npos) {
    return true;
  }
  struct stat info {};
  return stat(name.c_str(), &info) == 0;
}

// Samba converts the directory's "never" (the largest NTTIME) to 32 bits without a check.
constexpr uint32_t kTruncatedNever = 159663333;

}  // namespace

struct DomainWorker::Bindings {
  Library wbcLibrary, sssLibrary, netapiLibrary, credentialsLibrary, hostconfigLibrary;
  struct {
    abi::WbcPing ping;
    abi::WbcUidToSid uidToSid;
    abi::WbcGidToSid gidToSid;
    abi::WbcSidToUid sidToUid;
    abi::WbcSidToGid sidToGid;
    abi::WbcLookupSid lookupSid;
    abi::WbcLookupName lookupName;
    abi::WbcLookupUserSids lookupUserSids;
    abi::WbcLookupDomainController lookupDc;
    abi::WbcDomainInfoFn domainInfo;
    abi::WbcInterfaceDetailsFn interfaceDetails;
    abi::WbcFreeMemory free;
  } wbc{};
  struct {
    abi::SssGetSidById sidByUid, sidByGid, sidById;
    abi::SssGetNameBySid nameBySid;
    abi::SssGetSidByName sidByName;
    abi::SssGetIdBySid idBySid;
  } sss{};
  struct {
    abi::LibnetapiInit init;
    abi::LibnetapiFree free;
    abi::LibnetapiSetUseCcache useCcache;
    abi::LibnetapiSetCreds setCreds;
    abi::LibnetapiSetDebuglevel setDebuglevel;
    abi::NetUserGetInfo getInfo;
    abi::NetUserGetGroups getGroups;
    abi::NetUserGetLocalGroups getLocalGroups;
    abi::NetApiBufferFree bufferFree;
    abi::CliCredentialsInit credsInit;
    abi::CliCredentialsSetConf credsSetConf;
    abi::CliCredentialsSetMachineAccount credsSetMachine;
    abi::LoadparmInitGlobal loadparm;
  } net{};
};

DomainWorker::DomainWorker(DomainOptions options, NssSources sources)
    : options_(std::move(options)), sources_(sources), lib_(std::make_unique<Bindings>()) {
  Bindings& b = *lib_;
  if (sources_.winbind) {
    b.wbcLibrary = Library(options_.wbclient);
    const Library& l = b.wbcLibrary;
    const bool bound =
        l.Bind("wbcPing", b.wbc.ping) && l.Bind("wbcUidToSid", b.wbc.uidToSid) &&
        l.Bind("wbcGidToSid", b.wbc.gidToSid) && l.Bind("wbcSidToUid", b.wbc.sidToUid) &&
        l.Bind("wbcSidToGid", b.wbc.sidToGid) && l.Bind("wbcLookupSid", b.wbc.lookupSid) &&
        l.Bind("wbcLookupName", b.wbc.lookupName) &&
        l.Bind("wbcLookupUserSids", b.wbc.lookupUserSids) &&
        l.Bind("wbcLookupDomainController", b.wbc.lookupDc) &&
        l.Bind("wbcDomainInfo", b.wbc.domainInfo) &&
        l.Bind("wbcInterfaceDetails", b.wbc.interfaceDetails) &&
        l.Bind("wbcFreeMemory", b.wbc.free);
    if (bound && b.wbc.ping() == abi::kWbcSuccess) source_ = "winbind";
  }
  if (source_.empty() && sources_.sss) {
    b.sssLibrary = Library(options_.sssIdmap);
    const Library& l = b.sssLibrary;
    // Older SSSD has only the id form, which may answer a uid's SID for a gid.
    l.Bind("sss_nss_getsidbyuid", b.sss.sidByUid);
    l.Bind("sss_nss_getsidbygid", b.sss.sidByGid);
    l.Bind("sss_nss_getsidbyid", b.sss.sidById);
    if (l.Bind("sss_nss_getnamebysid", b.sss.nameBySid) &&
        l.Bind("sss_nss_getsidbyname", b.sss.sidByName) &&
        l.Bind("sss_nss_getidbysid", b.sss.idBySid) &&
        (b.sss.sidById != nullptr || (b.sss.sidByUid != nullptr && b.sss.sidByGid != nullptr))) {
      source_ = "sssd";
    }
  }
}

DomainWorker::~DomainWorker() = default;

Message DomainWorker::Answer(const Message& request) {
  if (request.empty()) return {};
  const std::string& op = request[0];
  const std::string arg = request.size() > 1 ? request[1] : std::string();
  if (op == "source") return {source_};
  if (op == "uid2sid" || op == "gid2sid") {
    const auto id = static_cast<uint32_t>(std::strtoul(arg.c_str(), nullptr, 10));
    std::string sid = IdToSid(id, op == "uid2sid");
    return sid.empty() ? Message{} : Message{sid};
  }
  if (op == "sid2uid" || op == "sid2gid") return SidToId(arg, op == "sid2uid");
  if (op == "sid2name") return LookupSid(arg);
  if (op == "name2sid") return LookupName(arg);
  if (op == "usersids") return UserGroupSids(arg);
  if (op == "user" && request.size() == 3) return EncodeUser(GetUser(request[1], request[2]));
  return {};
}

std::string DomainWorker::IdToSid(uint32_t id, bool user) {
  const Bindings& b = *lib_;
  if (source_ == "winbind") {
    abi::WbcDomainSid sid{};
    const abi::WbcErr status = user ? b.wbc.uidToSid(id, &sid) : b.wbc.gidToSid(id, &sid);
    return status == abi::kWbcSuccess ? FormatSid(sid) : "";
  }
  if (source_ == "sssd") {
    Owned<char, void (*)(void*)> sid(free);
    abi::SssIdType type = 0;
    abi::SssGetSidById byKind = user ? b.sss.sidByUid : b.sss.sidByGid;
    if (byKind != nullptr) return byKind(id, &sid.value, &type) == 0 ? Text(sid.value) : "";
    if (b.sss.sidById(id, &sid.value, &type) != 0) return "";
    const bool fits = type == abi::kSssIdBoth || type == (user ? abi::kSssIdUid : abi::kSssIdGid);
    return fits ? Text(sid.value) : "";
  }
  return "";
}

Message DomainWorker::SidToId(const std::string& text, bool user) {
  const Bindings& b = *lib_;
  uint32_t id = 0;
  if (source_ == "winbind") {
    abi::WbcDomainSid sid{};
    if (!ParseSid(text, sid)) return {};
    const abi::WbcErr status = user ? b.wbc.sidToUid(&sid, &id) : b.wbc.sidToGid(&sid, &id);
    return status == abi::kWbcSuccess ? Message{std::to_string(id)} : Message{};
  }
  if (source_ == "sssd") {
    abi::SssIdType type = 0;
    if (b.sss.idBySid(text.c_str(), &id, &type) != 0) return {};
    const bool fits = type == abi::kSssIdBoth || type == (user ? abi::kSssIdUid : abi::kSssIdGid);
    return fits ? Message{std::to_string(id)} : Message{};
  }
  return {};
}

Message DomainWorker::LookupSid(const std::string& text) {
  const Bindings& b = *lib_;
  if (source_ == "winbind") {
    abi::WbcDomainSid sid{};
    if (!ParseSid(text, sid)) return {};
    Owned<char, abi::WbcFreeMemory> domain(b.wbc.free), name(b.wbc.free);
    abi::WbcSidType type = 0;
    if (b.wbc.lookupSid(&sid, &domain.value, &name.value, &type) != abi::kWbcSuccess) return {};
    return {Text(domain.value), Text(name.value), std::to_string(type)};
  }
  if (source_ == "sssd") {
    Owned<char, void (*)(void*)> name(free);
    abi::SssIdType type = 0;
    if (b.sss.nameBySid(text.c_str(), &name.value, &type) != 0) return {};
    const QualifiedName split = SplitAccountName(Text(name.value));
    return {split.domain, split.name, std::to_string(static_cast<uint32_t>(FromSssType(type)))};
  }
  return {};
}

Message DomainWorker::LookupName(const std::string& text) {
  const Bindings& b = *lib_;
  if (source_ == "winbind") {
    QualifiedName split = SplitAccountName(text);
    if (split.domain.empty()) {
      // A bare name is one of the host's own domain, as for wbinfo.
      Owned<abi::WbcInterfaceDetails, abi::WbcFreeMemory> details(b.wbc.free);
      if (b.wbc.interfaceDetails(&details.value) == abi::kWbcSuccess && details.value) {
        split.domain = Text(details.value->netbios_domain);
      }
    }
    abi::WbcDomainSid sid{};
    abi::WbcSidType type = 0;
    if (b.wbc.lookupName(split.domain.c_str(), split.name.c_str(), &sid, &type) !=
        abi::kWbcSuccess) {
      return {};
    }
    return {FormatSid(sid), std::to_string(type)};
  }
  if (source_ == "sssd") {
    Owned<char, void (*)(void*)> sid(free);
    abi::SssIdType type = 0;
    if (b.sss.sidByName(text.c_str(), &sid.value, &type) != 0) return {};
    return {Text(sid.value), std::to_string(static_cast<uint32_t>(FromSssType(type)))};
  }
  return {};
}

Message DomainWorker::UserGroupSids(const std::string& text) {
  const Bindings& b = *lib_;
  abi::WbcDomainSid sid{};
  if (source_ != "winbind" || !ParseSid(text, sid)) return {};
  Owned<abi::WbcDomainSid, abi::WbcFreeMemory> sids(b.wbc.free);
  uint32_t count = 0;
  if (b.wbc.lookupUserSids(&sid, false, &count, &sids.value) != abi::kWbcSuccess) return {};
  Message answer;
  for (uint32_t i = 0; i < count; ++i) answer.push_back(FormatSid(sids.value[i]));
  return answer;
}

std::string DomainWorker::FindDomainController(const std::string& domain) {
  std::string& found = domainControllers_[domain];
  if (!found.empty()) return found;
  const Bindings& b = *lib_;
  // DNS first, as Windows clients find their DC: winbind on a DC takes seconds to say that it
  // knows no DC for its own domain.
  std::string dnsName = domain.find('.') != std::string::npos ? domain : "";
  if (dnsName.empty() && source_ == "winbind") {
    Owned<abi::WbcDomainInfo, abi::WbcFreeMemory> info(b.wbc.free);
    if (b.wbc.domainInfo(domain.c_str(), &info.value) == abi::kWbcSuccess && info.value) {
      dnsName = Text(info.value->dns_name);
    }
  }
  if (!dnsName.empty()) {
    unsigned char answer[4096];
    const std::string question = "_ldap._tcp.dc._msdcs." + dnsName;
    const int length = res_query(question.c_str(), C_IN, ns_t_srv, answer, sizeof answer);
    if (length > 0) found = FirstSrvTarget(answer, length);
  }
  if (found.empty() && source_ == "winbind") {
    Owned<abi::WbcDomainControllerInfo, abi::WbcFreeMemory> dc(b.wbc.free);
    if (b.wbc.lookupDc(domain.c_str(), 0, &dc.value) == abi::kWbcSuccess && dc.value) {
      found = Text(dc.value->dc_name);
      found.erase(0, found.find_first_not_of('\\'));
    }
  }
  return found;
}

bool DomainWorker::BindNetapi() {
  Bindings& b = *lib_;
  if (b.netapiLibrary.loaded()) return b.net.getInfo != nullptr;
  b.netapiLibrary = Library(options_.netapi);
  const Library& l = b.netapiLibrary;
  const bool bound = l.Bind("libnetapi_init", b.net.init) && l.Bind("libnetapi_free", b.net.free) &&
                     l.Bind("libnetapi_set_use_ccache", b.net.useCcache) &&
                     l.Bind("libnetapi_set_creds", b.net.setCreds) &&
                     l.Bind("libnetapi_set_debuglevel", b.net.setDebuglevel) &&
                     l.Bind("NetUserGetInfo", b.net.getInfo) &&
                     l.Bind("NetUserGetGroups", b.net.getGroups) &&
                     l.Bind("NetUserGetLocalGroups", b.net.getLocalGroups) &&
                     l.Bind("NetApiBufferFree", b.net.bufferFree);
  if (!bound) {
    b.net.getInfo = nullptr;
    return false;
  }
  // The machine account needs two more libraries; without them only tickets are used.
  b.credentialsLibrary = Library(options_.credentials);
  b.hostconfigLibrary = Library(options_.hostconfig);
  if (!(b.credentialsLibrary.Bind("cli_credentials_init", b.net.credsInit) &&
        b.credentialsLibrary.Bind("cli_credentials_set_conf", b.net.credsSetConf) &&
        b.credentialsLibrary.Bind("cli_credentials_set_machine_account", b.net.credsSetMachine) &&
        b.hostconfigLibrary.Bind("loadparm_init_global", b.net.loadparm))) {
    b.net.credsInit = nullptr;
  }
  return true;
}

DomainUser DomainWorker::GetUser(const std::string& domain, const std::string& name) {
  DomainUser user;
  const bool root = geteuid() == 0 && options_.machineAccount;
  const bool ticket = HasKerberosTicket();
  if ((!ticket && !root) || !BindNetapi()) return user;
  user.server = FindDomainController(domain);
  if (user.server.empty()) return user;
  const Bindings& b = *lib_;
  // The caller's ticket first; root falls back to the machine account.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool machine = attempt == 1;
    if (machine ? !root || b.net.credsInit == nullptr : !ticket) continue;
    abi::LibnetapiCtx* context = nullptr;
    if (b.net.init(&context) != 0 || context == nullptr) return user;
    Owned<abi::LibnetapiCtx, abi::LibnetapiFree> ctx(b.net.free);
    ctx.value = context;
    b.net.setDebuglevel(context, "0");
    if (machine) {
      // The context is a talloc object: credentials made as its child go when it goes.
      abi::LoadparmContext* lp = b.net.loadparm(true);
      abi::CliCredentials* creds = b.net.credsInit(context);
      if (lp == nullptr || creds == nullptr || !b.net.credsSetConf(creds, lp) ||
          b.net.credsSetMachine(creds, lp) != 0 || b.net.setCreds(context, creds) != 0) {
        continue;
      }
    } else {
      b.net.useCcache(context);
    }
    if (QueryUser(user, name)) return user;
  }
  return user;
}

// Fills USER from the DC; true when the answer is final (found, or no such user).
bool DomainWorker::QueryUser(DomainUser& user, const std::string& name) {
  const Bindings& b = *lib_;
  const char* server = user.server.c_str();
  Owned<uint8_t, abi::NetApiBufferFree> buffer(b.net.bufferFree);
  user.netStatus = b.net.getInfo(server, name.c_str(), 3, &buffer.value);
  constexpr uint32_t kNoneMapped = 1332, kUserNotFound = 2221;
  if (user.netStatus == kNoneMapped || user.netStatus == kUserNotFound) {
    user.status = DomainUser::Status::NoSuchUser;
    return true;
  }
  if (user.netStatus != 0 || buffer.value == nullptr) return false;
  abi::UserInfo3 info{};
  std::memcpy(&info, buffer.value, sizeof info);
  user.status = DomainUser::Status::Found;
  user.name = Text(info.usri3_name);
  user.fullName = Text(info.usri3_full_name);
  user.comment = Text(info.usri3_comment);
  user.userComment = Text(info.usri3_usr_comment);
  user.homeDir = Text(info.usri3_home_dir);
  user.homeDirDrive = Text(info.usri3_home_dir_drive);
  user.scriptPath = Text(info.usri3_script_path);
  user.profile = Text(info.usri3_profile);
  user.workstations = Text(info.usri3_workstations);
  user.logonServer = Text(info.usri3_logon_server);
  user.parms = Text(info.usri3_parms);
  user.passwordAge = info.usri3_password_age;
  user.priv = info.usri3_priv;
  user.flags = info.usri3_flags;
  user.authFlags = info.usri3_auth_flags;
  user.lastLogon = info.usri3_last_logon;
  user.lastLogoff = info.usri3_last_logoff;
  user.acctExpires = info.usri3_acct_expires;
  if (user.acctExpires == 0 || user.acctExpires == kTruncatedNever) {
    user.acctExpires = kTimeqForever;
  }
  user.maxStorage = info.usri3_max_storage;
  user.unitsPerWeek = info.usri3_units_per_week;
  user.badPwCount = info.usri3_bad_pw_count;
  user.numLogons = info.usri3_num_logons;
  user.countryCode = info.usri3_country_code;
  user.codePage = info.usri3_code_page;
  user.userId = info.usri3_user_id;
  user.primaryGroupId = info.usri3_primary_group_id;
  user.passwordExpired = info.usri3_password_expired;
  if (info.usri3_logon_hours != nullptr) {
    user.logonHours.assign(info.usri3_logon_hours, info.usri3_logon_hours + 21);
  }
  uint32_t read = 0, total = 0;
  Owned<uint8_t, abi::NetApiBufferFree> groups(b.net.bufferFree);
  if (b.net.getGroups(server, name.c_str(), 0, &groups.value, abi::kMaxPreferredLength, &read,
                      &total) == 0) {
    user.groups.emplace();
    const auto* rows = reinterpret_cast<const abi::GroupUsersInfo0*>(groups.value);
    for (uint32_t i = 0; rows != nullptr && i < read; ++i) {
      user.groups->push_back(Text(rows[i].grui0_name));
    }
  }
  Owned<uint8_t, abi::NetApiBufferFree> locals(b.net.bufferFree);
  if (b.net.getLocalGroups(server, name.c_str(), 0, abi::kLgIncludeIndirect, &locals.value,
                           abi::kMaxPreferredLength, &read, &total) == 0) {
    user.localGroups.emplace();
    const auto* rows = reinterpret_cast<const abi::LocalgroupUsersInfo0*>(locals.value);
    for (uint32_t i = 0; rows != nullptr && i < read; ++i) {
      user.localGroups->push_back(Text(rows[i].lgrui0_name));
    }
  }
  return true;
}

}  // namespace compat::domain
