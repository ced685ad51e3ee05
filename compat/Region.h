// Memory that grows in place: a large range of address space is reserved up front and only the
// pages that are used become memory. A block of many account records is built in two of these,
// copied only when it outgrows the reservation (past 256 MiB, or where little address space could
// be reserved); once a region is large, its memory is made a step at a time ahead of use instead
// of by a page fault per page.
#pragma once

#include <cstddef>

namespace compat {

class Region {
 public:
  Region() = default;
  ~Region();
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;

  // Makes at least cb bytes usable. The data may move only when cb exceeds what was reserved;
  // false when no memory could be had.
  bool Reserve(size_t cb);
  unsigned char* data() const { return base_; }
  size_t capacity() const { return cbReserved_; }

  // Gives up the memory, to be freed later with Free(base, cbReserved).
  unsigned char* Release();
  static void Free(void* base, size_t cbReserved);

 private:
  unsigned char* base_ = nullptr;
  size_t cbReserved_ = 0;
  size_t cbUsed_ = 0;       // the bytes written so far, kept when the region moves
  size_t cbPopulated_ = 0;  // the bytes whose memory has been made ahead of use

  void Populate(size_t cb);
};

}  // namespace compat
