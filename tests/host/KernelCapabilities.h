// The effective capability set as the kernel shows it in /proc/self/status, for checking what
// the host code reads with capget against a source of its own.
#pragma once

#include <sys/stat.h>

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

// Whether the process is in the first user namespace, whose capabilities act on the whole host
// (its namespace file has a fixed inode number).
inline bool InTheFirstUserNamespace() {
  struct stat entry {};
  return stat("/proc/self/ns/user", &entry) == 0 && entry.st_ino == 0xEFFFFFFD;
}

}  // namespace compat
