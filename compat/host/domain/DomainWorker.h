// The helper process's side of DomainLink: the bound libraries and the answer to each question.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "DomainLink.h"
#include "Wire.h"

namespace compat::domain {

class DomainWorker {
 public:
  DomainWorker(DomainOptions options, NssSources sources);
  ~DomainWorker();
  DomainWorker(const DomainWorker&) = delete;
  DomainWorker& operator=(const DomainWorker&) = delete;

  // REQUEST is an operation and its arguments; an empty answer means "not known".
  Message Answer(const Message& request);

 private:
  struct Bindings;
  std::string IdToSid(uint32_t id, bool user);
  Message SidToId(const std::string& sid, bool user);
  Message LookupSid(const std::string& sid);
  Message LookupName(const std::string& name);
  Message UserGroupSids(const std::string& sid);
  std::string FindDomainController(const std::string& domain);
  bool BindNetapi();
  DomainUser GetUser(const std::string& domain, const std::string& name);
  bool QueryUser(DomainUser& user, const std::string& name);

  DomainOptions options_;
  NssSources sources_;
  std::string source_;
  std::unique_ptr<Bindings> lib_;
  std::map<std::string, std::string> domainControllers_;
};

}  // namespace compat::domain
