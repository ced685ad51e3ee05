#include "host/domain/DomainLink.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "LetterCase.h"
#include "host/CtrlSignals.h"
#include "host/HostText.h"
#include "host/domain/Wire.h"

namespace compat {
namespace {

using domain::Message;

bool Lists(const std::vector<std::string>& sources, const char* source) {
  return std::find(sources.begin(), sources.end(), source) != sources.end();
}

bool NamedAlike(std::string_view nssName, const DomainName& mapped) {
  std::wstring name = WideFromHost(nssName);
  return name.empty() || SameNameIgnoringCase(name, mapped.Qualified()) ||
         SameNameIgnoringCase(name, mapped.name) ||
         SameNameIgnoringCase(name, mapped.name + L"@" + mapped.domain);
}

// A descriptor moved above the standard streams, which the helper points at /dev/null: a program
// started with one of them closed would get its socket's ends there (and could print into it).
FileDescriptor AboveStandardStreams(int fd) {
  FileDescriptor given(fd);
  if (fd > STDERR_FILENO) return given;
  return FileDescriptor(fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
}

}  // namespace

bool IsDomainAdmins(const SidValue& sid) {
  const std::vector<DWORD>& parts = sid.subAuthorities;
  return sid.authority == 5 && parts.size() == 5 && parts[0] == 21 && parts[4] == 512;
}

std::unique_ptr<DomainLink> DomainLink::Open(const Nsswitch& nsswitch, DomainOptions options) {
  bool winbind = Lists(nsswitch.passwd, "winbind") || Lists(nsswitch.group, "winbind");
  bool sss = Lists(nsswitch.passwd, "sss") || Lists(nsswitch.group, "sss");
  if (!winbind && !sss) return nullptr;
  return std::unique_ptr<DomainLink>(new DomainLink(std::move(options), winbind, sss));
}

DomainLink::DomainLink(DomainOptions options, bool winbind, bool sss)
    : options_(std::move(options)), winbind_(winbind), sss_(sss) {}

DomainLink::~DomainLink() {
  Stop();
}

// An idle helper ends by itself when its socket closes, giving back what the libraries hold; one
// that is stuck in a library, or slow to end, is killed.
void DomainLink::Stop() {
  socket_.Reset();
  for (int waited = 0; helper_ > 0 && waitpid(helper_, nullptr, WNOHANG) == 0; ++waited) {
    if (spent_ || waited == 200) {
      kill(helper_, SIGKILL);
      while (waitpid(helper_, nullptr, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    poll(nullptr, 0, 1);
  }
  helper_ = -1;
}

std::optional<Message> DomainLink::Ask(const Message& request) {
  if (spent_) return std::nullopt;
  auto start = std::chrono::steady_clock::now();
  if (helper_ < 0) {
    int ends[2];
    spent_ = socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0;
    if (spent_) return std::nullopt;
    FileDescriptor mine = AboveStandardStreams(ends[0]);
    FileDescriptor theirs = AboveStandardStreams(ends[1]);
    spent_ = !mine.valid() || !theirs.valid();
    if (spent_) return std::nullopt;
    // The program waits for its helper from now on.
    TakeControlSignalsOnAThread();
    pid_t program = getpid();
    pid_t pid = fork();
    if (pid == 0) {
      // The helper ends at the end of the stream, when the program closes its end or ends; one
      // stuck in a library is killed when the program ends (also when it ended before the
      // request to be killed with it was made). The console's signals stay blocked, as the
      // program blocks them, so a Ctrl+C at the terminal breaks off none of its waits.
      mine.Reset();
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != program) _exit(0);
      // The libraries log and prompt on the standard streams; the program's own are not theirs.
      int null = open("/dev/null", O_RDWR);
      if (null < 0) _exit(1);
      for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
      if (null > 2) close(null);
      domain::ServeDomainRequests(theirs.get(), options_, winbind_, sss_);
    }
    spent_ = pid < 0;
    if (spent_) return std::nullopt;
    helper_ = pid;
    socket_ = std::move(mine);
  }
  auto deadline = start + (options_.budget - waited_);
  std::optional<Message> answer;
  if (domain::SendMessage(socket_.get(), request, deadline)) {
    answer = domain::ReceiveMessage(socket_.get(), deadline);
  }
  waited_ += std::chrono::steady_clock::now() - start;
  if (!answer) {
    // Out of time, or the helper died: nothing more is asked of it.
    spent_ = true;
    Stop();
  }
  return answer;
}

void DomainLink::Remember(const DomainName& name) {
  sids_[name.sid.ToText()] = name;
  names_[UpperCased(name.Qualified())] = name;
  if (name.gid) groups_[std::to_wstring(*name.gid)] = name;
}

const DomainAccount* DomainLink::Account(const UserEntry& user) {
  auto known = accounts_.find({user.uid, user.name});
  if (known == accounts_.end()) {
    std::optional<Message> answer = Ask({L"account", std::to_wstring(user.uid),
                                         WideFromHost(user.name), std::to_wstring(user.gid)});
    std::optional<DomainAccount> account;
    size_t at = 0;
    DomainAccount found;
    if (answer && domain::TakeName(*answer, at, found.user)) {
      DomainName group;
      while (domain::TakeName(*answer, at, group)) found.groups.push_back(group);
      for (const DomainName& name : found.groups) Remember(name);
      Remember(found.user);
      if (NamedAlike(user.name, found.user)) account = std::move(found);
    }
    known = accounts_.emplace(std::make_pair(user.uid, user.name), std::move(account)).first;
  }
  return known->second ? &*known->second : nullptr;
}

bool DomainLink::InDomainAdmins(const UserEntry& user) {
  const DomainAccount* account = Account(user);
  return account != nullptr &&
         std::any_of(account->groups.begin(), account->groups.end(),
                     [](const DomainName& group) { return IsDomainAdmins(group.sid); });
}

std::optional<DomainName> DomainLink::Group(uint32_t gid, std::string_view nssName) {
  std::wstring id = std::to_wstring(gid);
  auto known = groups_.find(id);
  if (known == groups_.end()) {
    DomainName name;
    size_t at = 0;
    std::optional<Message> answer = Ask({L"group", id});
    bool named = answer && domain::TakeName(*answer, at, name);
    known = groups_.emplace(id, std::nullopt).first;
    if (named) Remember(name);
  }
  return known->second && NamedAlike(nssName, *known->second) ? known->second : std::nullopt;
}

std::optional<DomainName> DomainLink::LookupSid(const SidValue& sid) const {
  auto known = sids_.find(sid.ToText());
  return known != sids_.end() ? known->second : std::nullopt;
}

std::optional<DomainName> DomainLink::LookupName(std::wstring_view domainAndName) const {
  auto known = names_.find(UpperCased(domainAndName));
  return known != names_.end() ? known->second : std::nullopt;
}

Found DomainLink::Record(const DomainName& user, AccountRecord& record) {
  std::optional<Message> answer = Ask({L"record", user.domain, user.name});
  if (!answer || answer->empty()) return Found::Failed;
  if ((*answer)[0] == L"none") return Found::No;
  size_t at = 1;
  return (*answer)[0] == L"found" && domain::TakeRecord(*answer, at, record) ? Found::Yes
                                                                             : Found::Failed;
}

std::optional<ListedAccount> DomainLink::Listed(const UserEntry& user) {
  std::optional<Message> answer = Ask({L"user", std::to_wstring(user.uid)});
  DomainName name;
  size_t at = 0;
  if (!answer || !domain::TakeName(*answer, at, name) || !NamedAlike(user.name, name) ||
      name.sid.subAuthorities.empty()) {
    return std::nullopt;
  }
  auto roster = rosters_.find(UpperCased(name.domain));
  if (roster == rosters_.end()) {
    SidValue admins = name.sid;  // the account's domain, RID 512
    admins.subAuthorities.back() = 512;
    answer = Ask({L"roster", name.domain, admins.ToText()});
    roster =
        rosters_.emplace(UpperCased(name.domain), std::map<std::wstring, ListedAccount>()).first;
    for (size_t i = 0; answer && i + 3 <= answer->size(); i += 3) {
      DWORD flags = 0;
      if (domain::TakeNumber((*answer)[i + 1], flags)) {
        roster->second[UpperCased((*answer)[i])] = {flags, !(*answer)[i + 2].empty()};
      }
    }
  }
  auto found = roster->second.find(UpperCased(name.name));
  return found != roster->second.end() ? found->second : ListedAccount{};
}

}  // namespace compat
