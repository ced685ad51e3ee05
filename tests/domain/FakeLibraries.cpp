// One shared library that stands in for libwbclient, libsss_nss_idmap, libnetapi,
// libsamba-credentials and libsamba-hostconfig, answering from a script: the file named by
// USERLENS_FAKE_SCRIPT, read anew at each call. A line is a key and its answer, words separated
// by single spaces (a name may hold spaces):
//
//   ping 0                          wbcPing's status
//   uid2sid 20001 S-1-5-21-...      wbcUidToSid (gid2sid, sid2gid alike)
//   sid2name SID DOMAIN NAME TYPE   wbcLookupSid
//   usersids SID SID1 SID2 ...      wbcLookupUserSids
//   dns DOMAIN DNS-NAME             wbcDomainInfo
//   dc DOMAIN NAME                  wbcLookupDomainController
//   sss-uid2sid, sss-gid2sid ID SID; sss-sid2name SID NAME@DOMAIN TYPE
//   credentials ccache|machine      the credentials the DC accepts (one line each)
//   user NAME FULL_NAME FLAGS LAST_LOGON LOGONS EXPIRES   NetUserGetInfo; others answer 1332;
//                                   NetUserEnum lists these users in order
//   page N                          NetUserEnum and NetGroupGetUsers hand out N entries a call
//   members GROUP NAME1,NAME2,...   NetGroupGetUsers (group and member names may hold spaces)
//   hang FUNCTION                   FUNCTION sleeps for a minute before it answers
//   slow FUNCTION MS                FUNCTION sleeps MS milliseconds before it answers
//   fail FUNCTION N                 NetUserEnum or NetGroupGetUsers answers 59 (a network error)
//                                   from its Nth call on
//   crash FUNCTION                  FUNCTION ends the process
//
// The file named by USERLENS_FAKE_LOG holds "outstanding N": N counts the buffers it handed out
// that were not given back; USERLENS_FAKE_CALLS, when set, names a file that gets one line per
// call.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "host/domain/LibraryAbi.h"

namespace abi = compat::domain::abi;

namespace {

std::string credentialsInUse;
int outstanding = 0;

// Written at each change: the helper ends with _exit, so nothing would run at unload.
void Count(int change) {
  outstanding += change;
  if (const char* log = getenv("USERLENS_FAKE_LOG")) {
    std::ofstream(log, std::ios::trunc) << "outstanding " << outstanding << "\n";
  }
}

uint32_t Number(const std::string& text) {
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

// The words after key on each line of the script that starts with key.
std::vector<std::vector<std::string>> FindAll(const std::string& key) {
  const char* script = getenv("USERLENS_FAKE_SCRIPT");
  std::ifstream file(script == nullptr ? "" : script);
  std::string line;
  std::vector<std::vector<std::string>> lines;
  while (std::getline(file, line)) {
    if (line.compare(0, key.size() + 1, key + " ") != 0) continue;
    std::vector<std::string>& words = lines.emplace_back();
    std::istringstream rest(line.substr(key.size() + 1));
    std::string word;
    while (std::getline(rest, word, ' ')) words.push_back(word);
  }
  return lines;
}

// The words after key on the first line of the script that starts with key.
std::vector<std::string> Find(const std::string& key) {
  std::vector<std::vector<std::string>> lines = FindAll(key);
  return lines.empty() ? std::vector<std::string>() : lines[0];
}

// Whether the DC accepts the credentials the context was given.
bool Accepted() {
  bool accepted = false;
  for (const std::string& credentials : Find("credentials")) {
    accepted = accepted || credentials == credentialsInUse;
  }
  return accepted;
}

// One page of an enumeration of names, as libnetapi hands it out: entries of type T from
// *resume on, at most "page" of them, each filled by fill; ERROR_MORE_DATA while more remain.
template <typename T, typename Fill>
abi::NetApiStatus Page(const std::vector<std::string>& names, Fill fill, uint8_t** buffer,
                       uint32_t* read, uint32_t* total, uint32_t* resume) {
  const std::vector<std::string> page = Find("page");
  size_t first = *resume;
  size_t count = std::min(names.size() - std::min(first, names.size()),
                          page.empty() ? names.size() : static_cast<size_t>(Number(page[0])));
  auto* entries = static_cast<T*>(calloc(count + 1, sizeof(T)));
  Count(1);
  for (size_t i = 0; i < count; ++i) fill(entries[i], names[first + i]);
  *buffer = reinterpret_cast<uint8_t*>(entries);
  *read = static_cast<uint32_t>(count);
  *total = static_cast<uint32_t>(names.size() - first);
  bool more = first + count < names.size();
  *resume = more ? static_cast<uint32_t>(first + count) : 0;
  return more ? 234 : 0;  // ERROR_MORE_DATA
}

// Scripted misbehaviour of a function, and the record of its call.
void Enter(const char* function) {
  if (const char* calls = getenv("USERLENS_FAKE_CALLS")) {
    std::ofstream(calls, std::ios::app) << function << "\n";
  }
  for (const std::string& word : Find("hang")) {
    if (word == function) sleep(60);
  }
  for (const std::vector<std::string>& words : FindAll("slow")) {
    if (words.size() == 2 && words[0] == function) usleep(Number(words[1]) * 1000);
  }
  for (const std::string& word : Find("crash")) {
    if (word == function) abort();
  }
}

// Whether the script has this call of the function fail.
bool Fails(const char* function) {
  static std::map<std::string, uint32_t> calls;
  uint32_t call = ++calls[function];
  for (const std::vector<std::string>& words : FindAll("fail")) {
    if (words.size() == 2 && words[0] == function && call >= Number(words[1])) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& words, size_t first, size_t last) {
  std::string joined;
  for (size_t i = first; i < last; ++i) joined += (i == first ? "" : " ") + words[i];
  return joined;
}

char* Copy(const std::string& text) {
  Count(1);
  return strdup(text.c_str());
}

bool ParseSid(const std::string& text, abi::WbcDomainSid& sid) {
  sid = {};
  std::istringstream parts(text);
  std::string part;
  std::vector<uint64_t> numbers;
  while (std::getline(parts, part, '-'))
    numbers.push_back(std::strtoull(part.c_str(), nullptr, 10));
  if (numbers.size() < 3 || text.compare(0, 4, "S-1-") != 0) return false;
  sid.sid_rev_num = 1;
  sid.num_auths = static_cast<uint8_t>(numbers.size() - 3);
  sid.id_auth[5] = static_cast<uint8_t>(numbers[2]);
  for (size_t i = 3; i < numbers.size(); ++i)
    sid.sub_auths[i - 3] = static_cast<uint32_t>(numbers[i]);
  return true;
}

std::string FormatSid(const abi::WbcDomainSid& sid) {
  std::string text = "S-1-" + std::to_string(sid.id_auth[5]);
  for (int i = 0; i < sid.num_auths; ++i) text += "-" + std::to_string(sid.sub_auths[i]);
  return text;
}

abi::WbcErr SidAnswer(const std::string& key, abi::WbcDomainSid* sid) {
  const std::vector<std::string> found = Find(key);
  return !found.empty() && ParseSid(found[0], *sid) ? abi::kWbcSuccess : 12;  // UNKNOWN_USER
}

int SssAnswer(const std::string& key, char** text, abi::SssIdType* type) {
  const std::vector<std::string> found = Find(key);
  if (found.size() < 2) return 2;  // ENOENT
  *text = strdup(Joined(found, 0, found.size() - 1).c_str());
  *type = Number(found.back());
  return 0;
}

}  // namespace

extern "C" {

abi::WbcErr wbcPing() {
  Enter("wbcPing");
  const std::vector<std::string> found = Find("ping");
  return found.empty() ? 6 : Number(found[0]);  // WINBIND_NOT_AVAILABLE
}

abi::WbcErr wbcUidToSid(uint32_t uid, abi::WbcDomainSid* sid) {
  Enter("wbcUidToSid");
  return SidAnswer("uid2sid " + std::to_string(uid), sid);
}

abi::WbcErr wbcGidToSid(uint32_t gid, abi::WbcDomainSid* sid) {
  Enter("wbcGidToSid");
  return SidAnswer("gid2sid " + std::to_string(gid), sid);
}

abi::WbcErr wbcSidToGid(const abi::WbcDomainSid* sid, uint32_t* gid) {
  const std::vector<std::string> found = Find("sid2gid " + FormatSid(*sid));
  if (found.empty()) return 12;
  *gid = Number(found[0]);
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupSid(const abi::WbcDomainSid* sid, char** domain, char** name,
                         abi::WbcSidType* type) {
  Enter("wbcLookupSid");
  const std::vector<std::string> found = Find("sid2name " + FormatSid(*sid));
  if (found.size() < 3) return 12;
  *domain = Copy(found[0]);
  *name = Copy(Joined(found, 1, found.size() - 1));
  *type = Number(found.back());
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupUserSids(const abi::WbcDomainSid* userSid, bool, uint32_t* count,
                              abi::WbcDomainSid** sids) {
  Enter("wbcLookupUserSids");
  const std::vector<std::string> found = Find("usersids " + FormatSid(*userSid));
  if (found.empty()) return 12;
  *sids = static_cast<abi::WbcDomainSid*>(calloc(found.size(), sizeof(abi::WbcDomainSid)));
  Count(1);
  for (size_t i = 0; i < found.size(); ++i) ParseSid(found[i], (*sids)[i]);
  *count = static_cast<uint32_t>(found.size());
  return abi::kWbcSuccess;
}

abi::WbcErr wbcDomainInfo(const char* domain, abi::WbcDomainInfo** info) {
  const std::vector<std::string> found = Find("dns " + std::string(domain));
  if (found.empty()) return 7;  // DOMAIN_NOT_FOUND
  *info = static_cast<abi::WbcDomainInfo*>(calloc(1, sizeof(abi::WbcDomainInfo)));
  (*info)->dns_name = strdup(found[0].c_str());  // the fake's nested strings are not counted
  Count(1);
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupDomainController(const char* domain, uint32_t,
                                      abi::WbcDomainControllerInfo** info) {
  const std::vector<std::string> found = Find("dc " + std::string(domain));
  if (found.empty()) return 7;
  *info =
      static_cast<abi::WbcDomainControllerInfo*>(calloc(1, sizeof(abi::WbcDomainControllerInfo)));
  (*info)->dc_name = strdup(("\\\\" + found[0]).c_str());
  Count(1);
  return abi::kWbcSuccess;
}

void wbcFreeMemory(void* memory) {
  if (memory != nullptr) Count(-1);
  free(memory);
}

int sss_nss_getsidbyuid(uint32_t uid, char** sid, abi::SssIdType* type) {
  return SssAnswer("sss-uid2sid " + std::to_string(uid), sid, type);
}

int sss_nss_getsidbygid(uint32_t gid, char** sid, abi::SssIdType* type) {
  return SssAnswer("sss-gid2sid " + std::to_string(gid), sid, type);
}

int sss_nss_getnamebysid(const char* sid, char** name, abi::SssIdType* type) {
  return SssAnswer("sss-sid2name " + std::string(sid), name, type);
}

abi::NetApiStatus libnetapi_init(abi::LibnetapiCtx** ctx) {
  Enter("libnetapi_init");
  Count(1);
  credentialsInUse.clear();
  *ctx = static_cast<abi::LibnetapiCtx*>(malloc(64));
  return 0;
}

abi::NetApiStatus libnetapi_free(abi::LibnetapiCtx* ctx) {
  Count(-1);
  free(ctx);
  return 0;
}

abi::NetApiStatus libnetapi_set_use_ccache(abi::LibnetapiCtx*) {
  credentialsInUse = "ccache";
  return 0;
}

abi::NetApiStatus libnetapi_set_creds(abi::LibnetapiCtx*, abi::CliCredentials*) {
  credentialsInUse = "machine";
  return 0;
}

abi::CliCredentials* cli_credentials_init(void* parent) {
  return static_cast<abi::CliCredentials*>(parent);  // lives as long as its context, as talloc's
}

bool cli_credentials_set_conf(abi::CliCredentials*, abi::LoadparmContext*) {
  return true;
}

uint32_t cli_credentials_set_machine_account(abi::CliCredentials*, abi::LoadparmContext*) {
  return 0;
}

abi::LoadparmContext* loadparm_init_global(bool) {
  static int global;
  return reinterpret_cast<abi::LoadparmContext*>(&global);
}

abi::NetApiStatus NetUserGetInfo(const char* server, const char* user, uint32_t level,
                                 uint8_t** buffer) {
  Enter("NetUserGetInfo");
  if (!Accepted()) return 1326;  // logon failure
  if (level != 3) return 124;
  const std::vector<std::string> found = Find("user " + std::string(user));
  if (found.size() < 5) return 1332;
  auto* info = static_cast<abi::UserInfo3*>(calloc(1, sizeof(abi::UserInfo3)));
  Count(1);
  info->usri3_name = strdup(user);
  info->usri3_full_name = strdup(found[0] == "-" ? "" : found[0].c_str());
  info->usri3_logon_server = strdup(server);  // so that a test sees which DC was asked
  info->usri3_flags = Number(found[1]);
  info->usri3_last_logon = Number(found[2]);
  info->usri3_num_logons = Number(found[3]);
  info->usri3_acct_expires = Number(found[4]);
  info->usri3_user_id = 1104;
  info->usri3_primary_group_id = 513;
  static uint8_t hours[21] = {0xFF, 0x00, 0x0F};
  info->usri3_logon_hours = hours;
  *buffer = reinterpret_cast<uint8_t*>(info);
  return 0;
}

abi::NetApiStatus NetUserEnum(const char*, uint32_t level, uint32_t filter, uint8_t** buffer,
                              uint32_t, uint32_t* read, uint32_t* total, uint32_t* resume) {
  Enter("NetUserEnum");
  if (!Accepted()) return 1326;
  if (Fails("NetUserEnum")) return 59;
  if (level != 20 || filter != abi::kFilterNormalAccount) return 124;
  std::vector<std::string> names;
  for (const std::vector<std::string>& user : FindAll("user")) names.push_back(user[0]);
  return Page<abi::UserInfo20>(
      names,
      [](abi::UserInfo20& entry, const std::string& name) {
        entry.usri20_name = strdup(name.c_str());
        entry.usri20_flags = Number(Find("user " + name).at(1));
      },
      buffer, read, total, resume);
}

abi::NetApiStatus NetGroupGetUsers(const char*, const char* group, uint32_t level, uint8_t** buffer,
                                   uint32_t, uint32_t* read, uint32_t* total, uint32_t* resume) {
  Enter("NetGroupGetUsers");
  if (!Accepted()) return 1326;
  if (Fails("NetGroupGetUsers")) return 59;
  if (level != 0) return 124;
  const std::vector<std::string> found = Find("members " + std::string(group));
  if (found.empty()) return 2220;  // NERR_GroupNotFound
  std::vector<std::string> members;
  std::istringstream list(Joined(found, 0, found.size()));
  for (std::string member; std::getline(list, member, ',');) members.push_back(member);
  return Page<abi::GroupUsersInfo0>(
      members,
      [](abi::GroupUsersInfo0& entry, const std::string& name) {
        entry.grui0_name = strdup(name.c_str());
      },
      buffer, read, total, resume);
}

abi::NetApiStatus NetApiBufferFree(void* buffer) {
  if (buffer != nullptr) Count(-1);
  free(buffer);
  return 0;
}

}  // extern "C"

// The fake's exports have the types the program binds them with.
static_assert(std::is_same_v<decltype(&wbcLookupSid), decltype(abi::Wbclient::lookupSid)>);
static_assert(
    std::is_same_v<decltype(&wbcLookupUserSids), decltype(abi::Wbclient::lookupUserSids)>);
static_assert(
    std::is_same_v<decltype(&sss_nss_getnamebysid), decltype(abi::SssNssIdmap::nameBySid)>);
static_assert(std::is_same_v<decltype(&NetUserGetInfo), decltype(abi::Netapi::getInfo)>);
static_assert(std::is_same_v<decltype(&NetUserEnum), decltype(abi::Netapi::userEnum)>);
static_assert(std::is_same_v<decltype(&NetGroupGetUsers), decltype(abi::Netapi::groupUsers)>);
static_assert(std::is_same_v<decltype(&cli_credentials_set_machine_account),
                             decltype(abi::Netapi::credsSetMachine)>);
