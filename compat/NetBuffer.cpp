#include "NetBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "Win32Contract.h"

namespace compat {
namespace {

// A hash of a value, eight bytes at a time, mixed as splitmix64 mixes so that every byte reaches
// the bits a slot is taken from.
size_t HashOf(const void* bytes, size_t cb, size_t cbZeros) {
  const auto* data = static_cast<const unsigned char*>(bytes);
  uint64_t h = (cb + cbZeros) * 0x9E3779B97F4A7C15ull;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= cb; i += sizeof(uint64_t)) {
    uint64_t word = 0;
    std::memcpy(&word, data + i, sizeof(word));
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
  }
  for (; i < cb; ++i) h = (h ^ data[i]) * 0x100000001B3ull;
  h = (h ^ (h >> 30)) * 0x94D049BB133111EBull;
  return static_cast<size_t>(h ^ (h >> 31));
}

}  // namespace

NetBuffer::NetBuffer(size_t cbRecord, std::initializer_list<size_t> pointerFields)
    : cbRecord_(cbRecord),
      cbHeader_(BlockHeaderSize()),
      pointerFields_(pointerFields),
      lastOfField_(cbRecord / sizeof(void*) + 1) {}

BYTE* NetBuffer::Record(size_t index) const {
  return records_.data() + cbHeader_ + index * cbRecord_;
}

BYTE* NetBuffer::AddRecord() {
  if (failed_) return nullptr;
  if (count_ >= (SIZE_MAX - cbHeader_) / cbRecord_ - 1 ||
      !records_.Reserve(cbHeader_ + (count_ + 1) * cbRecord_)) {
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

bool NetBuffer::EndsLastValue(const void* bytes, size_t cb, size_t cbZeros) const {
  if (last_.cb < cb + cbZeros) return false;
  return Holds(last_.poolOffset + last_.cb - cb - cbZeros, bytes, cb, cbZeros);
}

bool NetBuffer::Holds(size_t poolOffset, const void* bytes, size_t cb, size_t cbZeros) const {
  const BYTE* stored = pool_.data() + poolOffset;
  if (cb > 0 && std::memcmp(stored, bytes, cb) != 0) return false;
  for (size_t i = cb; i < cb + cbZeros; ++i) {
    if (stored[i] != 0) return false;
  }
  return true;
}

bool NetBuffer::Put(size_t fieldOffset, const void* bytes, size_t cb, size_t cbZeros,
                    size_t align) {
  if (count_ == 0 || failed_ || fieldOffset + sizeof(void*) > cbRecord_) return false;
  size_t cbValue = cb + cbZeros;
  // Most texts of an account are empty: they all share the first empty text.
  if (cb == 0 && emptyText_.cb == cbZeros && cbZeros > 0) {
    Store(fieldOffset, emptyText_.poolOffset);
    return true;
  }
  Value& ofField = lastOfField_[fieldOffset / sizeof(void*)];
  if (ofField.cb == cbValue && Holds(ofField.poolOffset, bytes, cb, cbZeros)) {
    Store(fieldOffset, ofField.poolOffset);
    if (cb == 0) emptyText_ = ofField;
    return true;
  }
  if (cb > 0 && EndsLastValue(bytes, cb, cbZeros) &&
      (last_.poolOffset + last_.cb - cbValue) % align == 0) {
    Store(fieldOffset, last_.poolOffset + last_.cb - cbValue);
    return true;
  }
  // Long lists only: a few records gain nothing from the table.
  Value unused;
  if (recent_.empty() && count_ >= kRecentFrom) recent_.resize(kRecentSlots);
  Value& recent = recent_.empty() ? unused : recent_[HashOf(bytes, cb, cbZeros) % kRecentSlots];
  if (recent.cb == cbValue && Holds(recent.poolOffset, bytes, cb, cbZeros)) {
    Store(fieldOffset, recent.poolOffset);
    recent.repeated = true;
    ofField = recent;
    if (cb == 0) emptyText_ = recent;
    return true;
  }
  size_t padding = (align - cbPool_ % align) % align;
  if (cbValue > SIZE_MAX - cbPool_ - padding || !pool_.Reserve(cbPool_ + padding + cbValue)) {
    failed_ = true;
    return false;
  }
  cbPool_ += padding;
  std::memcpy(pool_.data() + cbPool_, bytes, cb);
  std::memset(pool_.data() + cbPool_ + cb, 0, cbZeros);
  Store(fieldOffset, cbPool_);
  ofField = last_ = Value{cbPool_, cbValue};
  // A value seen again keeps its slot: values that repeat (rooms, shells) stay known while the
  // many that never repeat (names, homes) pass through the other slots.
  if (!recent.repeated) recent = last_;
  if (cb == 0) emptyText_ = last_;
  cbPool_ += cbValue;
  return true;
}

bool NetBuffer::SetText(size_t fieldOffset, std::wstring_view text) {
  return Put(fieldOffset, text.data(), text.size() * sizeof(wchar_t), sizeof(wchar_t),
             alignof(wchar_t));
}

bool NetBuffer::SetBytes(size_t fieldOffset, const BYTE* bytes, size_t cb) {
  return Put(fieldOffset, bytes, cb, 0, 1);
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
  recent_.clear();
  lastOfField_.assign(lastOfField_.size(), Value{});
  last_ = emptyText_ = Value{};
  return block;
}

}  // namespace compat
