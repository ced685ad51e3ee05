// The host's users and groups as NSS gives them (passwd, group, shadow, initgroups).
#pragma once

#include "host/AccountDirectory.h"

namespace compat {

class NssDirectory : public AccountDirectory {
 public:
  Found FindUser(std::string_view name, UserEntry& user) override;
  Found FindUserById(uint32_t uid, UserEntry& user) override;
  Found FindGroup(std::string_view name, GroupEntry& group) override;
  Found FindGroupById(uint32_t gid, GroupEntry& group) override;
  Found GroupIdsOf(const UserEntry& user, std::vector<uint32_t>& gids) override;
  Found FindShadow(std::string_view name, ShadowEntry& shadow) override;
  bool ForEachUser(const std::function<void(const UserEntry&)>& visit) override;
  bool ForEachShadow(
      const std::function<void(std::string_view name, const ShadowEntry&)>& visit) override;

 private:
  Found Answer(int error, bool found);

  std::vector<char> buffer_;  // kept between lookups, so a large record is grown for only once
};

}  // namespace compat
