#include "Region.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace compat {
namespace {

constexpr size_t kHugePage = 2u << 20;
constexpr size_t kFirstReservation = 256u << 20;

// A huge-page-aligned range of address space that costs no memory until it is written.
unsigned char* ReserveRange(size_t cb) {
  void* mapping = mmap(nullptr, cb + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  auto start = reinterpret_cast<uintptr_t>(mapping);
  uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  // Give back the unaligned head and the tail beyond the range.
  if (aligned > start) munmap(mapping, aligned - start);
  size_t tail = kHugePage - (aligned - start);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + cb), tail);
  auto* base = reinterpret_cast<unsigned char*>(aligned);
  // The first huge page's worth stays in small pages, so the one record of a single account
  // costs a few small pages; huge pages pay off only for the blocks of long listings. This is
  // advice only: small pages serve as well.
  if (cb > kHugePage) madvise(base + kHugePage, cb - kHugePage, MADV_HUGEPAGE);
  return base;
}

}  // namespace

Region::~Region() {
  Free(base_, cbReserved_);
}

bool Region::Reserve(size_t cb) {
  if (cb <= cbReserved_) {
    if (cb > cbUsed_) cbUsed_ = cb;
    return true;
  }
  size_t cbNew = cbReserved_ == 0 ? kFirstReservation : cbReserved_;
  while (cbNew < cb) {
    if (cbNew > SIZE_MAX / 4) return false;
    cbNew *= 4;
  }
  cbNew = (cbNew + kHugePage - 1) & ~(kHugePage - 1);
  unsigned char* base = ReserveRange(cbNew);
  if (base == nullptr) return false;
  if (base_ != nullptr) std::memcpy(base, base_, cbUsed_);
  Free(base_, cbReserved_);
  base_ = base;
  cbReserved_ = cbNew;
  cbUsed_ = cb;
  return true;
}

unsigned char* Region::Release() {
  unsigned char* base = base_;
  base_ = nullptr;
  cbReserved_ = cbUsed_ = 0;
  return base;
}

void Region::Free(void* base, size_t cbReserved) {
  if (base != nullptr) munmap(base, cbReserved);
}

}  // namespace compat
