#include "DomainLink.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DomainWorker.h"
#include "Wire.h"

namespace compat::domain {

NssSources ParseNsswitch(std::string_view text) {
  NssSources sources;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    line.erase(std::min(line.find('#'), line.size()));
    std::istringstream words(line);
    std::string database, word;
    if (!(words >> database) || (database != "passwd:" && database != "group:")) continue;
    while (words >> word) {
      // "[NOTFOUND=return]" and the like are actions, not sources.
      if (word == "winbind") sources.winbind = true;
      if (word == "sss") sources.sss = true;
    }
  }
  return sources;
}

bool IsDomainAdminsSid(std::string_view sid) {
  abi::WbcDomainSid binary{};
  if (!ParseSid(sid, binary)) return false;
  const bool ntAuthority = binary.id_auth[5] == 5 && binary.id_auth[0] == 0 &&
                           binary.id_auth[1] == 0 && binary.id_auth[2] == 0 &&
                           binary.id_auth[3] == 0 && binary.id_auth[4] == 0;
  return ntAuthority && binary.num_auths == 5 && binary.sub_auths[0] == 21 &&
         binary.sub_auths[4] == 512;
}

std::unique_ptr<DomainLink> DomainLink::Open(const DomainOptions& options) {
  std::ifstream file(options.nsswitchPath);
  if (!file) return nullptr;
  std::ostringstream text;
  text << file.rdbuf();
  const NssSources sources = ParseNsswitch(text.str());
  if (!sources.winbind && !sources.sss) return nullptr;
  return std::unique_ptr<DomainLink>(new DomainLink(options, sources));
}

DomainLink::DomainLink(const DomainOptions& options, NssSources sources)
    : options_(options), sources_(sources) {}

DomainLink::~DomainLink() {
  Stop();
}

void DomainLink::Stop() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
  if (worker_ <= 0) return;
  // An idle helper ends by itself when its socket closes, giving back what the libraries hold;
  // one that is stuck in a library (or slow to end) is killed.
  const auto grace = std::chrono::steady_clock::now() + std::chrono::milliseconds(spent_ ? 0 : 200);
  while (waitpid(worker_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= grace) {
      kill(worker_, SIGKILL);
      while (waitpid(worker_, nullptr, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    usleep(1000);
  }
  worker_ = -1;
}

namespace {

// The helper's life: answer each message until the program closes its end.
[[noreturn]] void ServeRequests(int fd, const DomainOptions& options, NssSources sources) {
  {
    DomainWorker worker(options, sources);
    while (const std::optional<Message> request = ReceiveMessage(fd, std::nullopt)) {
      if (!SendAll(fd, EncodeMessage(worker.Answer(*request)))) break;
    }
  }
  _exit(0);
}

}  // namespace

std::optional<Message> DomainLink::Ask(const Message& request) {
  if (spent_) return std::nullopt;
  const auto start = std::chrono::steady_clock::now();
  if (worker_ < 0) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
      spent_ = true;
      return std::nullopt;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      close(ends[0]);
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      // The libraries log and prompt on the standard streams; the program's own output and
      // input are not theirs.
      const int null = open("/dev/null", O_RDWR);
      for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
      if (null > 2) close(null);
      ServeRequests(ends[1], options_, sources_);
    }
    close(ends[1]);
    if (pid < 0) {
      close(ends[0]);
      spent_ = true;
      return std::nullopt;
    }
    worker_ = pid;
    socket_ = ends[0];
  }
  const auto deadline = start + (options_.budget - waited_);
  std::optional<Message> answer;
  if (SendAll(socket_, EncodeMessage(request))) answer = ReceiveMessage(socket_, deadline);
  waited_ += std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  if (!answer) {
    // Out of time, or the helper died: nothing more is asked of it.
    spent_ = true;
    Stop();
  }
  return answer;
}

namespace {

std::optional<std::string> First(const std::optional<Message>& answer) {
  if (!answer || answer->empty() || (*answer)[0].empty()) return std::nullopt;
  return (*answer)[0];
}

std::optional<uint32_t> Number(const std::optional<Message>& answer) {
  const std::optional<std::string> text = First(answer);
  if (!text) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(text->c_str(), nullptr, 10));
}

SidType TypeOf(const std::string& text) {
  return static_cast<SidType>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

std::string DomainLink::Source() {
  return First(Ask({"source"})).value_or("");
}

std::optional<std::string> DomainLink::UidToSid(uint32_t uid) {
  return First(Ask({"uid2sid", std::to_string(uid)}));
}

std::optional<std::string> DomainLink::GidToSid(uint32_t gid) {
  return First(Ask({"gid2sid", std::to_string(gid)}));
}

std::optional<SidName> DomainLink::LookupSid(const std::string& sid) {
  const std::optional<Message> answer = Ask({"sid2name", sid});
  if (!answer || answer->size() != 3) return std::nullopt;
  return SidName{(*answer)[0], (*answer)[1], TypeOf((*answer)[2])};
}

std::optional<NamedSid> DomainLink::LookupName(const std::string& name) {
  const std::optional<Message> answer = Ask({"name2sid", name});
  if (!answer || answer->size() != 2) return std::nullopt;
  return NamedSid{(*answer)[0], TypeOf((*answer)[1])};
}

std::optional<uint32_t> DomainLink::SidToUid(const std::string& sid) {
  return Number(Ask({"sid2uid", sid}));
}

std::optional<uint32_t> DomainLink::SidToGid(const std::string& sid) {
  return Number(Ask({"sid2gid", sid}));
}

std::optional<std::vector<std::string>> DomainLink::UserGroupSids(const std::string& userSid) {
  std::optional<Message> answer = Ask({"usersids", userSid});
  if (!answer || answer->empty()) return std::nullopt;
  return std::move(*answer);
}

DomainUser DomainLink::GetUser(const std::string& domain, const std::string& name) {
  const std::optional<Message> answer = Ask({"user", domain, name});
  return answer ? DecodeUser(*answer) : DomainUser{};
}

}  // namespace compat::domain
