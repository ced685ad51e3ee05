// The effective capability set as the kernel shows it in /proc/self/status, for checking what
// the host code reads with capget against a source of its own.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

namespace compat {

inline std::optional<uint64_t> CapabilitiesTheKernelShows() {
  std::ifstream status("/proc/self/status");
  std::string line;
  std::optional<uint64_t> shown;
  while (std::getline(status, line)) {
    if (line.rfind("CapEff:", 0) == 0) shown = std::stoull(line.substr(7), nullptr, 16);
  }
  return shown;
}

}  // namespace compat
