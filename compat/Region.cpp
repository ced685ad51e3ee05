#include "Region.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace compat {
namespace {

constexpr size_t kFirstReservation = 256u << 20;
// A region that grows past kPopulateFrom has its memory made in steps of kPopulateStep, by one
// call each instead of one page fault per page; a small region (one record) faults in only the
// pages it writes. A step wastes at most itself, and huge pages (whose faults cost as little)
// would waste up to 2 MiB at the end of each region.
constexpr size_t kPopulateFrom = 256u << 10;
constexpr size_t kPopulateStep = 256u << 10;

// A range of address space that costs no memory until it is written.
unsigned char* ReserveRange(size_t cb) {
  void* mapping =
      mmap(nullptr, cb, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return mapping == MAP_FAILED ? nullptr : static_cast<unsigned char*>(mapping);
}

}  // namespace

Region::~Region() {
  Free(base_, cbReserved_);
}

bool Region::Reserve(size_t cb) {
  if (cb <= cbReserved_) {
    if (cb > cbUsed_) cbUsed_ = cb;
    if (cb > cbPopulated_ && cb > kPopulateFrom) Populate(cb);
    return true;
  }
  size_t cbNew = cbReserved_ == 0 ? kFirstReservation : cbReserved_;
  while (cbNew < cb) {
    if (cbNew > SIZE_MAX / 4) return false;
    cbNew *= 4;
  }
  unsigned char* base = ReserveRange(cbNew);
  // Where address space is limited (ulimit -v, strict overcommit), the region asks for ever
  // less, halving what it would take beyond cb, down to cb itself. It takes the first that can
  // be had: at least half of the room left, so that it moves a few more times at most. Taking
  // cb at once would move and copy the whole region for every record or text added after.
  while (base == nullptr && cbNew > cb) {
    cbNew = cb + (cbNew - cb) / 2;
    base = ReserveRange(cbNew);
  }
  if (base == nullptr) return false;
  if (base_ != nullptr) std::memcpy(base, base_, cbUsed_);
  Free(base_, cbReserved_);
  base_ = base;
  cbReserved_ = cbNew;
  cbUsed_ = cb;
  cbPopulated_ = 0;
  if (cb > kPopulateFrom) Populate(cb);
  return true;
}

void Region::Populate(size_t cb) {
  size_t start = cbPopulated_ & ~(kPopulateStep - 1);
  size_t end = std::min(cbReserved_, (cb + kPopulateStep - 1) & ~(kPopulateStep - 1));
  // Advice only: where the kernel does not take it, the pages fault in as they are written.
  madvise(base_ + start, end - start, MADV_POPULATE_WRITE);
  cbPopulated_ = end;
}

unsigned char* Region::Release() {
  unsigned char* base = base_;
  base_ = nullptr;
  cbReserved_ = cbUsed_ = cbPopulated_ = 0;
  return base;
}

void Region::Free(void* base, size_t cbReserved) {
  if (base != nullptr) munmap(base, cbReserved);
}

}  // namespace compat
