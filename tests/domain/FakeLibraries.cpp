// One shared library that stands in for libwbclient, libsss_nss_idmap, libnetapi,
// libsamba-credentials and libsamba-hostconfig, answering from a script: the file named by
// USERLENS_FAKE_SCRIPT, one answer a line, read anew at each call. A line is a key and its
// answer, words separated by single spaces:
//
//   ping 0                          wbcPing's status
//   uid2sid 20001 S-1-5-21-...      wbcUidToSid (gid2sid, sid2uid, sid2gid alike)
//   sid2name SID DOMAIN NAME TYPE   wbcLookupSid
//   name2sid DOMAIN\NAME SID TYPE   wbcLookupName (the domain as it was passed, maybe empty)
//   usersids SID SID1 SID2 ...      wbcLookupUserSids
//   dc DOMAIN NAME                  wbcLookupDomainController
//   own-domain DOMAIN               wbcInterfaceDetails
//   sss-uid2sid, sss-gid2sid, sss-sid2name, sss-name2sid, sss-sid2id   the same for SSSD
//   credentials ccache|machine      the credentials the DC accepts (one line each)
//   user NAME FULL_NAME FLAGS LAST_LOGON LOGONS EXPIRES GROUP1,GROUP2 LOCAL1,LOCAL2
//   hang FUNCTION                   FUNCTION sleeps for a minute before it answers
//   crash FUNCTION                  FUNCTION ends the process
//
// The file named by USERLENS_FAKE_LOG holds "outstanding N": N counts the buffers it handed out
// that were not given back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "LibraryAbi.h"
#include "Wire.h"

namespace abi = compat::domain::abi;

namespace {

std::string credentialsInUse;

// The count of buffers handed out and not given back, written to USERLENS_FAKE_LOG at each
// change (the helper ends with _exit, so nothing would run at unload).
class Outstanding {
 public:
  Outstanding& operator++() { return Add(1); }
  Outstanding& operator--() { return Add(-1); }

 private:
  Outstanding& Add(int change) {
    count_ += change;
    if (const char* log = getenv("USERLENS_FAKE_LOG")) {
      std::ofstream(log, std::ios::trunc) << "outstanding " << count_ << "\n";
    }
    return *this;
  }
  int count_ = 0;
} outstanding;

// The words after KEY on the first line of the script that starts with KEY.
std::vector<std::string> Find(const std::string& key) {
  const char* script = getenv("USERLENS_FAKE_SCRIPT");
  std::ifstream file(script == nullptr ? "" : script);
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, key.size() + 1, key + " ") != 0) continue;
    std::vector<std::string> words;
    std::istringstream rest(line.substr(key.size() + 1));
    std::string word;
    while (std::getline(rest, word, ' ')) words.push_back(word);
    return words;
  }
  return {};
}

// Scripted misbehaviour of FUNCTION.
void Misbehave(const char* function) {
  for (const std::string& word : Find("hang")) {
    if (word == function) sleep(60);
  }
  for (const std::string& word : Find("crash")) {
    if (word == function) abort();
  }
}

// A name may hold spaces: every word between the first and the last.
std::string Middle(const std::vector<std::string>& words, size_t first, size_t last) {
  std::string joined;
  for (size_t i = first; i < last; ++i) joined += (i == first ? "" : " ") + words[i];
  return joined;
}

char* Copy(const std::string& text) {
  ++outstanding;
  return strdup(text.c_str());
}

uint32_t Number(const std::string& text) {
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

abi::WbcErr SidAnswer(const std::string& key, abi::WbcDomainSid* sid) {
  const std::vector<std::string> found = Find(key);
  if (found.empty() || !compat::domain::ParseSid(found[0], *sid)) return 12;  // UNKNOWN_USER
  return abi::kWbcSuccess;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  return parts;
}

// A block of rows of one pointer each, as the level-0 group calls return them.
uint8_t* NameRows(const std::vector<std::string>& names, uint32_t* count) {
  auto** rows = static_cast<const char**>(calloc(names.size() + 1, sizeof(char*)));
  for (size_t i = 0; i < names.size(); ++i) rows[i] = strdup(names[i].c_str());
  *count = static_cast<uint32_t>(names.size());
  ++outstanding;
  return reinterpret_cast<uint8_t*>(rows);
}

}  // namespace

extern "C" {

abi::WbcErr wbcPing() {
  Misbehave("wbcPing");
  const std::vector<std::string> found = Find("ping");
  return found.empty() ? 6 : Number(found[0]);  // WINBIND_NOT_AVAILABLE
}

abi::WbcErr wbcUidToSid(uint32_t uid, abi::WbcDomainSid* sid) {
  Misbehave("wbcUidToSid");
  return SidAnswer("uid2sid " + std::to_string(uid), sid);
}

abi::WbcErr wbcGidToSid(uint32_t gid, abi::WbcDomainSid* sid) {
  Misbehave("wbcGidToSid");
  return SidAnswer("gid2sid " + std::to_string(gid), sid);
}

static abi::WbcErr IdAnswer(const char* key, const abi::WbcDomainSid* sid, uint32_t* id) {
  const std::vector<std::string> found = Find(key + (" " + compat::domain::FormatSid(*sid)));
  if (found.empty()) return 12;
  *id = Number(found[0]);
  return abi::kWbcSuccess;
}

abi::WbcErr wbcSidToUid(const abi::WbcDomainSid* sid, uint32_t* uid) {
  return IdAnswer("sid2uid", sid, uid);
}

abi::WbcErr wbcSidToGid(const abi::WbcDomainSid* sid, uint32_t* gid) {
  return IdAnswer("sid2gid", sid, gid);
}

abi::WbcErr wbcLookupSid(const abi::WbcDomainSid* sid, char** domain, char** name,
                         abi::WbcSidType* type) {
  Misbehave("wbcLookupSid");
  const std::vector<std::string> found = Find("sid2name " + compat::domain::FormatSid(*sid));
  if (found.size() < 3) return 12;
  *domain = Copy(found[0]);
  *name = Copy(Middle(found, 1, found.size() - 1));
  *type = Number(found.back());
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupName(const char* domain, const char* name, abi::WbcDomainSid* sid,
                          abi::WbcSidType* type) {
  const std::vector<std::string> found = Find("name2sid " + std::string(domain) + "\\" + name);
  if (found.size() != 2 || !compat::domain::ParseSid(found[0], *sid)) return 12;
  *type = Number(found[1]);
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupUserSids(const abi::WbcDomainSid* userSid, bool, uint32_t* count,
                              abi::WbcDomainSid** sids) {
  const std::vector<std::string> found = Find("usersids " + compat::domain::FormatSid(*userSid));
  if (found.empty()) return 12;
  *sids = static_cast<abi::WbcDomainSid*>(calloc(found.size(), sizeof(abi::WbcDomainSid)));
  ++outstanding;
  for (size_t i = 0; i < found.size(); ++i) compat::domain::ParseSid(found[i], (*sids)[i]);
  *count = static_cast<uint32_t>(found.size());
  return abi::kWbcSuccess;
}

abi::WbcErr wbcLookupDomainController(const char* domain, uint32_t,
                                      abi::WbcDomainControllerInfo** info) {
  const std::vector<std::string> found = Find("dc " + std::string(domain));
  if (found.empty()) return 7;  // DOMAIN_NOT_FOUND
  *info = static_cast<abi::WbcDomainControllerInfo*>(calloc(1, sizeof **info));
  (*info)->dc_name = strdup(("\\\\" + found[0]).c_str());
  ++outstanding;
  return abi::kWbcSuccess;
}

abi::WbcErr wbcDomainInfo(const char*, abi::WbcDomainInfo**) {
  return 7;  // DOMAIN_NOT_FOUND: the DC is found through wbcLookupDomainController
}

abi::WbcErr wbcInterfaceDetails(abi::WbcInterfaceDetails** details) {
  const std::vector<std::string> found = Find("own-domain");
  if (found.empty()) return 6;
  *details = static_cast<abi::WbcInterfaceDetails*>(calloc(1, sizeof **details));
  (*details)->netbios_domain = strdup(found[0].c_str());
  ++outstanding;
  return abi::kWbcSuccess;
}

void wbcFreeMemory(void* memory) {
  if (memory == nullptr) return;
  --outstanding;
  free(memory);  // the fake's nested strings are left to the end of the process
}

static int SssSid(const std::string& key, char** sid, abi::SssIdType* type) {
  const std::vector<std::string> found = Find(key);
  if (found.size() < 2) return 2;  // ENOENT
  *sid = strdup(Middle(found, 0, found.size() - 1).c_str());
  *type = Number(found.back());
  return 0;
}

int sss_nss_getsidbyuid(uint32_t uid, char** sid, abi::SssIdType* type) {
  return SssSid("sss-uid2sid " + std::to_string(uid), sid, type);
}

int sss_nss_getsidbygid(uint32_t gid, char** sid, abi::SssIdType* type) {
  return SssSid("sss-gid2sid " + std::to_string(gid), sid, type);
}

int sss_nss_getnamebysid(const char* sid, char** name, abi::SssIdType* type) {
  return SssSid("sss-sid2name " + std::string(sid), name, type);
}

int sss_nss_getsidbyname(const char* name, char** sid, abi::SssIdType* type) {
  return SssSid("sss-name2sid " + std::string(name), sid, type);
}

int sss_nss_getidbysid(const char* sid, uint32_t* id, abi::SssIdType* type) {
  const std::vector<std::string> found = Find("sss-sid2id " + std::string(sid));
  if (found.size() != 2) return 2;
  *id = Number(found[0]);
  *type = Number(found[1]);
  return 0;
}

abi::NetApiStatus libnetapi_init(abi::LibnetapiCtx** ctx) {
  ++outstanding;
  credentialsInUse.clear();
  *ctx = static_cast<abi::LibnetapiCtx*>(malloc(64));
  return 0;
}

abi::NetApiStatus libnetapi_free(abi::LibnetapiCtx* ctx) {
  --outstanding;
  free(ctx);
  return 0;
}

abi::NetApiStatus libnetapi_set_debuglevel(abi::LibnetapiCtx*, const char*) {
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

// 1326 (logon failure) when the DC does not accept the credentials in use.
static bool Accepted() {
  for (const std::string& accepted : Find("credentials")) {
    if (accepted == credentialsInUse) return true;
  }
  return false;
}

abi::NetApiStatus NetUserGetInfo(const char* server, const char* user, uint32_t level,
                                 uint8_t** buffer) {
  Misbehave("NetUserGetInfo");
  if (!Accepted()) return 1326;
  if (level != 3) return 124;
  const std::vector<std::string> found = Find("user " + std::string(user));
  if (found.size() < 6) return 1332;
  auto* info = static_cast<abi::UserInfo3*>(calloc(1, sizeof(abi::UserInfo3)));
  ++outstanding;
  info->usri3_name = strdup(user);
  info->usri3_full_name = strdup(found[0] == "-" ? "" : found[0].c_str());
  info->usri3_logon_server = strdup(server);  // so that a test sees which DC was asked
  info->usri3_flags = Number(found[1]);
  info->usri3_last_logon = Number(found[2]);
  info->usri3_num_logons = Number(found[3]);
  info->usri3_acct_expires = Number(found[4]);
  info->usri3_primary_group_id = 513;
  static uint8_t hours[21] = {0xFF, 0x00, 0x0F};
  info->usri3_logon_hours = hours;
  *buffer = reinterpret_cast<uint8_t*>(info);
  return 0;
}

abi::NetApiStatus NetUserGetGroups(const char*, const char* user, uint32_t, uint8_t** buffer,
                                   uint32_t, uint32_t* read, uint32_t* total) {
  const std::vector<std::string> found = Find("user " + std::string(user));
  if (found.size() < 6 || !Accepted()) return 1332;
  *buffer = NameRows(Split(found[5]), read);
  *total = *read;
  return 0;
}

abi::NetApiStatus NetUserGetLocalGroups(const char*, const char* user, uint32_t, uint32_t,
                                        uint8_t** buffer, uint32_t, uint32_t* read,
                                        uint32_t* total) {
  const std::vector<std::string> found = Find("user " + std::string(user));
  if (found.size() < 7 || !Accepted()) return 1332;
  *buffer = NameRows(Split(found[6]), read);
  *total = *read;
  return 0;
}

abi::NetApiStatus NetApiBufferFree(void* buffer) {
  if (buffer != nullptr) --outstanding;
  free(buffer);
  return 0;
}

}  // extern "C"

// The fake's exports have the types the program binds them with.
static_assert(std::is_same_v<decltype(&wbcLookupSid), abi::WbcLookupSid>);
static_assert(std::is_same_v<decltype(&wbcLookupUserSids), abi::WbcLookupUserSids>);
static_assert(std::is_same_v<decltype(&sss_nss_getnamebysid), abi::SssGetNameBySid>);
static_assert(std::is_same_v<decltype(&NetUserGetLocalGroups), abi::NetUserGetLocalGroups>);
static_assert(std::is_same_v<decltype(&cli_credentials_set_machine_account),
                             abi::CliCredentialsSetMachineAccount>);
