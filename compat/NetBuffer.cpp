#include "NetBuffer.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "Win32Contract.h"

namespace compat {

NetBuffer::NetBuffer(size_t cbRecord, std::initializer_list<size_t> pointerFields)
    : cbRecord_(cbRecord),
      pointerFields_(pointerFields),
      lastValues_(cbRecord / sizeof(void*) + 1) {}

BYTE* NetBuffer::Record(size_t index) const {
  return records_.data() + BlockHeaderSize() + index * cbRecord_;
}

BYTE* NetBuffer::AddRecord() {
  if (failed_) return nullptr;
  size_t cbHeader = BlockHeaderSize();
  if (count_ >= (SIZE_MAX - cbHeader) / cbRecord_ - 1 ||
      !records_.Reserve(cbHeader + (count_ + 1) * cbRecord_)) {
    failed_ = true;
    return nullptr;
  }
  BYTE* record = Record(count_);
  std::memset(record, 0, cbRecord_);
  ++count_;
  return record;
}

// While the pool may still move, a field holds its pool offset plus one (0 stays null).
void NetBuffer::Store(size_t fieldOffset, size_t poolOffset) {
  uintptr_t value = poolOffset + 1;
  std::memcpy(Record(count_ - 1) + fieldOffset, &value, sizeof(value));
}

bool NetBuffer::Share(size_t fieldOffset, const void* bytes, size_t cb, size_t align) {
  if (count_ == 0 || failed_ || fieldOffset / sizeof(void*) >= lastValues_.size()) return false;
  LastValue& last = lastValues_[fieldOffset / sizeof(void*)];
  if (last.cb == cb && std::memcmp(pool_.data() + last.poolOffset, bytes, cb) == 0) {
    Store(fieldOffset, last.poolOffset);
    return true;
  }
  size_t padding = (align - cbPool_ % align) % align;
  if (cb > SIZE_MAX - cbPool_ - padding || !pool_.Reserve(cbPool_ + padding + cb)) {
    failed_ = true;
    return false;
  }
  cbPool_ += padding;
  std::memcpy(pool_.data() + cbPool_, bytes, cb);
  Store(fieldOffset, cbPool_);
  last = LastValue{cbPool_, cb};
  cbPool_ += cb;
  return true;
}

bool NetBuffer::SetText(size_t fieldOffset, std::wstring_view text) {
  // The text and its terminating null, compared and copied in one piece.
  constexpr size_t kShortText = 64;
  if (text.size() < kShortText) {
    wchar_t copy[kShortText + 1];
    text.copy(copy, text.size());
    copy[text.size()] = L'\0';
    return Share(fieldOffset, copy, (text.size() + 1) * sizeof(wchar_t), alignof(wchar_t));
  }
  std::wstring copy(text);
  return Share(fieldOffset, copy.c_str(), (copy.size() + 1) * sizeof(wchar_t), alignof(wchar_t));
}

bool NetBuffer::SetBytes(size_t fieldOffset, const BYTE* bytes, size_t cb) {
  return Share(fieldOffset, bytes, cb, 1);
}

LPBYTE NetBuffer::Finish() {
  // No record still makes one block, so the caller's NetApiBufferFree has something to free.
  if (failed_ || !records_.Reserve(BlockHeaderSize() + 1) || !pool_.Reserve(1)) return nullptr;
  for (size_t i = 0; i < count_; ++i) {
    BYTE* record = Record(i);
    for (size_t field : pointerFields_) {
      uintptr_t value = 0;
      std::memcpy(&value, record + field, sizeof(value));
      if (value != 0) {
        BYTE* target = pool_.data() + (value - 1);
        std::memcpy(record + field, &target, sizeof(target));
      }
    }
  }
  size_t cbRecords = records_.capacity();
  size_t cbPool = pool_.capacity();
  unsigned char* pool = pool_.Release();
  auto* block = static_cast<LPBYTE>(
      AdoptRegionBlock(BlockKind::NetApiBuffer, records_.Release(), cbRecords, pool, cbPool));
  count_ = cbPool_ = 0;
  lastValues_.assign(lastValues_.size(), LastValue{});
  return block;
}

}  // namespace compat
