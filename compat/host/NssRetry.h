// The reentrant NSS calls (getpwnam_r and friends) fill a buffer that the caller provides and
// answer ERANGE when it is too small; the caller must then ask again with a larger one.
#pragma once

#include <cerrno>
#include <cstddef>
#include <vector>

namespace compat {

constexpr size_t kNssFirstBuffer = 4096;
// A record larger than this (a group with hundreds of thousands of members) is refused rather
// than letting one lookup take unbounded memory.
constexpr size_t kNssLargestBuffer = 64 * 1024 * 1024;

// Calls lookup(buffer, size) until it answers something other than ERANGE, doubling the
// buffer each time; the buffer keeps its size for the caller. Answers ENOMEM when the record
// would need more than kNssLargestBuffer bytes.
template <typename Lookup>
int CallWithGrowingBuffer(std::vector<char>& buffer, Lookup&& lookup) {
  if (buffer.size() < kNssFirstBuffer) buffer.resize(kNssFirstBuffer);
  for (;;) {
    int error = lookup(buffer.data(), buffer.size());
    if (error != ERANGE) return error;
    if (buffer.size() >= kNssLargestBuffer) return ENOMEM;
    buffer.resize(buffer.size() * 2);
  }
}

// Whether the error of a reentrant lookup that found nothing means "no such entry" (glibc
// answers 0; other sources answer one of these) rather than a failure of the source.
inline bool MeansNotFound(int error) {
  return error == 0 || error == ENOENT || error == ESRCH || error == EBADF || error == EPERM;
}

}  // namespace compat
