// The last logon of each uid from lastlog: fixed-size records indexed by uid.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "host/FileDescriptor.h"

namespace compat {

constexpr const char* kLastlogPath = "/var/log/lastlog";

class LastlogReader {
 public:
  // windowRecords: how many records one read fetches in a walk over ascending uids, so that it
  // reads the file in large pieces; 1 for a single lookup. A lookup out of such a walk reads
  // its one record.
  explicit LastlogReader(const char* path = kLastlogPath, size_t windowRecords = 1);

  // Seconds since 1970 of the uid's last logon; none when the file cannot be read or holds no
  // logon for the uid.
  std::optional<int64_t> LastLogon(uint32_t uid);

 private:
  // Whether the record at offset lies in a hole of the sparse file (it is all zero then);
  // remembers the hole, so that a walk over uids that never logged on reads nothing.
  bool InHole(off_t offset);

  FileDescriptor fd_;
  size_t cbWindow_;
  std::vector<char> window_;
  off_t windowStart_ = 0;
  size_t cbFilled_ = 0;
  off_t lastOffset_ = -1;  // of the uid asked for last
  off_t holeStart_ = 0;
  off_t holeEnd_ = 0;
};

}  // namespace compat
