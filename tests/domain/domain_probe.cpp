// Prints what the domain module answers, one line per question, so that scripts can hold it
// against wbinfo and the domain controller:
//
//   domain_probe [--nsswitch PATH] [--budget MS] QUESTION...
//
//   source            the identity source in use: winbind, sssd, or "-"
//   uid:N  gid:N      the SID of a uid or gid
//   sid:SID           DOMAIN\NAME TYPE
//   name:NAME         SID TYPE
//   uidof:SID  gidof:SID
//   sids:SID          the SIDs of the user's groups, one a line; "admins" after Domain Admins
//   user:DOMAIN\NAME  the DC's record, one field a line
//
// Each answer starts with the question and a tab; "-" stands for "not known". The last line
// says how long the module waited, and "loaded: no" when nsswitch.conf named no domain source.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "DomainLink.h"

using compat::domain::DomainLink;
using compat::domain::DomainOptions;
using compat::domain::DomainUser;

namespace {

void Print(const std::string& question, const std::string& answer) {
  std::printf("%s\t%s\n", question.c_str(), answer.empty() ? "-" : answer.c_str());
}

std::string Type(compat::domain::SidType type) {
  return std::to_string(static_cast<uint32_t>(type));
}

void PrintUser(const std::string& question, const DomainUser& user) {
  const char* status[] = {"found", "no-such-user", "not-known"};
  Print(question, std::string("status=") + status[static_cast<int>(user.status)] +
                      " net=" + std::to_string(user.netStatus) + " server=" + user.server);
  if (user.status != DomainUser::Status::Found) return;
  auto field = [&](const char* name, const std::string& value) {
    std::printf("%s\t%s=%s\n", question.c_str(), name, value.c_str());
  };
  field("name", user.name);
  field("full_name", user.fullName);
  field("flags", std::to_string(user.flags));
  field("password_age", std::to_string(user.passwordAge));
  field("last_logon", std::to_string(user.lastLogon));
  field("num_logons", std::to_string(user.numLogons));
  field("acct_expires", std::to_string(user.acctExpires));
  field("user_id", std::to_string(user.userId));
  field("primary_group_id", std::to_string(user.primaryGroupId));
  field("password_expired", std::to_string(user.passwordExpired));
  field("logon_hours", std::to_string(user.logonHours.size()));
  auto names = [&](const char* name, const std::optional<std::vector<std::string>>& list) {
    std::string joined = list ? "" : "-";
    for (const std::string& item : list.value_or(std::vector<std::string>{})) {
      joined += (joined.empty() ? "" : ",") + item;
    }
    field(name, joined);
  };
  names("groups", user.groups);
  names("local_groups", user.localGroups);
}

}  // namespace

int main(int argc, char** argv) {
  DomainOptions options;
  int first = 1;
  for (; first + 1 < argc; first += 2) {
    const std::string option = argv[first];
    if (option == "--nsswitch") {
      options.nsswitchPath = argv[first + 1];
    } else if (option == "--budget") {
      options.budget = std::chrono::milliseconds(std::atoi(argv[first + 1]));
    } else {
      break;
    }
  }
  std::unique_ptr<DomainLink> link = DomainLink::Open(options);
  if (!link) {
    std::printf("loaded: no\n");
    return 0;
  }
  for (int i = first; i < argc; ++i) {
    const std::string question = argv[i];
    const size_t colon = question.find(':');
    const std::string kind = question.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : question.substr(colon + 1);
    const auto id = static_cast<uint32_t>(std::strtoul(arg.c_str(), nullptr, 10));
    if (kind == "source") {
      Print(question, link->Source());
    } else if (kind == "uid" || kind == "gid") {
      Print(question, (kind == "uid" ? link->UidToSid(id) : link->GidToSid(id)).value_or(""));
    } else if (kind == "sid") {
      const auto name = link->LookupSid(arg);
      Print(question, name ? name->domain + "\\" + name->name + " " + Type(name->type) : "");
    } else if (kind == "name") {
      const auto sid = link->LookupName(arg);
      Print(question, sid ? sid->sid + " " + Type(sid->type) : "");
    } else if (kind == "uidof" || kind == "gidof") {
      const auto found = kind == "uidof" ? link->SidToUid(arg) : link->SidToGid(arg);
      Print(question, found ? std::to_string(*found) : "");
    } else if (kind == "sids") {
      const auto sids = link->UserGroupSids(arg);
      if (!sids) Print(question, "");
      for (const std::string& sid : sids.value_or(std::vector<std::string>{})) {
        Print(question, sid + (compat::domain::IsDomainAdminsSid(sid) ? " admins" : ""));
      }
    } else if (kind == "user") {
      const size_t slash = arg.find('\\');
      PrintUser(question, link->GetUser(arg.substr(0, slash), arg.substr(slash + 1)));
    } else {
      Print(question, "unknown question");
    }
  }
  std::printf("waited: %lld ms\n", static_cast<long long>(link->Waited().count()));
  return 0;
}
