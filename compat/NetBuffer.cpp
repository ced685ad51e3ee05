#include "NetBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Resources.h"

namespace compat {

NetBuffer::NetBuffer(size_t cbRecord, std::initializer_list<size_t> pointerFields)
    : cbRecord_(cbRecord), pointerFields_(pointerFields) {}

NetBuffer::~NetBuffer() {
  std::free(raw_);
  std::free(pool_);
}

BYTE* NetBuffer::AddRecord() {
  if (failed_) return nullptr;
  size_t cbHeader = BlockHeaderSize();
  if (count_ == capacity_) {
    size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
    if (capacity > (SIZE_MAX - cbHeader) / cbRecord_) {
      failed_ = true;
      return nullptr;
    }
    void* grown = std::realloc(raw_, cbHeader + capacity * cbRecord_);
    if (grown == nullptr) {
      failed_ = true;
      return nullptr;
    }
    raw_ = static_cast<BYTE*>(grown);
    capacity_ = capacity;
  }
  BYTE* record = raw_ + cbHeader + count_ * cbRecord_;
  std::memset(record, 0, cbRecord_);
  ++count_;
  return record;
}

bool NetBuffer::Reserve(size_t cbMore) {
  if (failed_) return false;
  if (cbMore <= cbPoolCapacity_ - cbPool_) return true;
  size_t capacity = cbPoolCapacity_ == 0 ? 4096 : cbPoolCapacity_;
  while (capacity - cbPool_ < cbMore) {
    if (capacity > SIZE_MAX / 2) {
      failed_ = true;
      return false;
    }
    capacity *= 2;
  }
  void* grown = std::realloc(pool_, capacity);
  if (grown == nullptr) {
    failed_ = true;
    return false;
  }
  pool_ = static_cast<BYTE*>(grown);
  cbPoolCapacity_ = capacity;
  return true;
}

// While the pool may still move, a field holds its pool offset plus one (0 stays null).
void NetBuffer::Store(size_t fieldOffset, size_t poolOffset) {
  BYTE* record = raw_ + BlockHeaderSize() + (count_ - 1) * cbRecord_;
  uintptr_t value = poolOffset + 1;
  std::memcpy(record + fieldOffset, &value, sizeof(value));
}

bool NetBuffer::SetText(size_t fieldOffset, std::wstring_view text) {
  if (count_ == 0) return false;
  size_t cb = (text.size() + 1) * sizeof(wchar_t);
  size_t padding = (alignof(wchar_t) - cbPool_ % alignof(wchar_t)) % alignof(wchar_t);
  if (!Reserve(padding + cb)) return false;
  cbPool_ += padding;
  std::memcpy(pool_ + cbPool_, text.data(), text.size() * sizeof(wchar_t));
  std::memset(pool_ + cbPool_ + text.size() * sizeof(wchar_t), 0, sizeof(wchar_t));
  Store(fieldOffset, cbPool_);
  cbPool_ += cb;
  return true;
}

bool NetBuffer::SetBytes(size_t fieldOffset, const BYTE* bytes, size_t cb) {
  if (count_ == 0 || !Reserve(cb)) return false;
  std::memcpy(pool_ + cbPool_, bytes, cb);
  Store(fieldOffset, cbPool_);
  cbPool_ += cb;
  return true;
}

LPBYTE NetBuffer::Finish() {
  if (failed_) return nullptr;
  if (raw_ == nullptr) {
    // No record: still one block, so the caller's NetApiBufferFree has something to free.
    raw_ = static_cast<BYTE*>(std::calloc(1, BlockHeaderSize() + 1));
    if (raw_ == nullptr) return nullptr;
  }
  BYTE* records = raw_ + BlockHeaderSize();
  for (size_t i = 0; i < count_; ++i) {
    BYTE* record = records + i * cbRecord_;
    for (size_t field : pointerFields_) {
      uintptr_t value = 0;
      std::memcpy(&value, record + field, sizeof(value));
      if (value != 0) {
        BYTE* target = pool_ + (value - 1);
        std::memcpy(record + field, &target, sizeof(target));
      }
    }
  }
  auto* block = static_cast<LPBYTE>(AdoptBlock(BlockKind::NetApiBuffer, raw_));
  raw_ = nullptr;
  AttachPool(block, pool_);
  pool_ = nullptr;
  count_ = capacity_ = cbPool_ = cbPoolCapacity_ = 0;
  return block;
}

}  // namespace compat
