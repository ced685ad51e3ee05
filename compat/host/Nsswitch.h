// What /etc/nsswitch.conf says about the account databases: the sources NSS asks for each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace compat {

struct Nsswitch {
  std::vector<std::string> passwd;
  std::vector<std::string> group;
  std::vector<std::string> shadow;

  static Nsswitch Parse(std::string_view text);
  // The host's; glibc's own defaults when the file cannot be read.
  static const Nsswitch& OfHost();
};

}  // namespace compat
