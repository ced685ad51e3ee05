#include "host/Lastlog.h"

#include <fcntl.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace compat {

LastlogReader::LastlogReader(const char* path, size_t windowRecords)
    : fd_(OpenRegularFile(path)),
      cbWindow_(sizeof(struct lastlog) * (windowRecords == 0 ? 1 : windowRecords)) {}

bool LastlogReader::InHole(off_t offset) {
  const auto cbRecord = static_cast<off_t>(sizeof(struct lastlog));
  if (offset >= holeStart_ && offset + cbRecord <= holeEnd_) return true;
  off_t data = lseek(fd_.get(), offset, SEEK_DATA);
  if (data < 0) {
    if (errno != ENXIO) return false;          // holes unknown to the file system: read
    data = std::numeric_limits<off_t>::max();  // nothing but holes from here to the end
  }
  if (data < offset + cbRecord) return false;
  holeStart_ = offset;
  holeEnd_ = data;
  return true;
}

std::optional<int64_t> LastlogReader::LastLogon(uint32_t uid) {
  if (!fd_.valid()) return std::nullopt;
  const off_t offset = static_cast<off_t>(uid) * static_cast<off_t>(sizeof(struct lastlog));
  const off_t previous = lastOffset_;
  lastOffset_ = offset;
  bool inWindow = offset >= windowStart_ && offset + static_cast<off_t>(sizeof(struct lastlog)) <=
                                                windowStart_ + static_cast<off_t>(cbFilled_);
  if (!inWindow) {
    if (InHole(offset)) return std::nullopt;
    // A window pays in a walk over ascending uids, where the uid follows the last one asked for
    // closely; any other lookup (a list in name order, uids spread over an idmap range) reads
    // its one record.
    bool walking = offset > previous && offset - previous < static_cast<off_t>(cbWindow_);
    const size_t cbRead = walking ? cbWindow_ : sizeof(struct lastlog);
    window_.resize(cbWindow_);
    cbFilled_ = 0;
    windowStart_ = offset;
    while (cbFilled_ < cbRead) {
      ssize_t n = pread(fd_.get(), window_.data() + cbFilled_, cbRead - cbFilled_,
                        offset + static_cast<off_t>(cbFilled_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the end of the file, or a read error: no further records
      cbFilled_ += static_cast<size_t>(n);
    }
    if (cbFilled_ < sizeof(struct lastlog)) return std::nullopt;
  }
  struct lastlog record {};
  std::memcpy(&record, window_.data() + (offset - windowStart_), sizeof(record));
  // The file keeps the time in 32 bits on most systems, which turn negative after January 2038:
  // read as unsigned they hold dates to 2106, as a Windows logon time does. A uid that never
  // logged on has a zero record (often a hole of the sparse file).
  int64_t time = sizeof(record.ll_time) == sizeof(uint32_t)
                     ? int64_t{static_cast<uint32_t>(record.ll_time)}
                     : static_cast<int64_t>(record.ll_time);
  if (time <= 0) return std::nullopt;
  return time;
}

}  // namespace compat
