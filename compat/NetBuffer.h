// Builds the one block that an account call hands out: an array of fixed-size records whose
// text fields point into a string pool that the block owns. Records and pool grow in place
// (see Region) as records arrive, so a listing of many accounts is not copied as it grows.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "Region.h"
#include "win32/base.h"

namespace compat {

class NetBuffer {
 public:
  // pointerFields: the byte offsets of every text or byte-block pointer in a record.
  NetBuffer(size_t cbRecord, std::initializer_list<size_t> pointerFields);
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;

  // Appends a zero-filled record and returns it; valid until the next call. Null when memory
  // runs out.
  BYTE* AddRecord();
  // Sets a text field of the last record to a copy of text.
  bool SetText(size_t fieldOffset, std::wstring_view text);
  // Sets a byte-block field (a PBYTE) of the last record to a copy of the bytes.
  bool SetBytes(size_t fieldOffset, const BYTE* bytes, size_t cb);

  size_t Count() const { return count_; }
  size_t RecordSize() const { return cbRecord_; }
  // The finished block for NetApiBufferFree, or null when memory ran out. The builder is empty
  // afterwards.
  LPBYTE Finish();

 private:
  BYTE* Record(size_t index) const;
  void Store(size_t fieldOffset, size_t poolOffset);
  // cb bytes, then cbZeros zero bytes, in the pool: shared with an equal value stored before
  // when one is known (the field's last value, or a recent value of the same hash: account lists
  // repeat shells, empty texts, rooms and logon hours), or with the tail of the value stored just
  // before (a name at the end of its home directory).
  bool Put(size_t fieldOffset, const void* bytes, size_t cb, size_t cbZeros, size_t align);
  bool EndsLastValue(const void* bytes, size_t cb, size_t cbZeros) const;

  struct Value {
    size_t poolOffset = 0;
    size_t cb = 0;          // 0: none
    bool repeated = false;  // found again since it was stored
  };
  // Whether the pool holds the bytes, then cbZeros zero bytes, at the offset.
  bool Holds(size_t poolOffset, const void* bytes, size_t cb, size_t cbZeros) const;

  // Recent values by hash, each slot holding the last value of its hash.
  static constexpr size_t kRecentSlots = 4096;
  static constexpr size_t kRecentFrom = 64;  // records before the table is made

  size_t cbRecord_;
  size_t cbHeader_;  // the registry's header, before the first record
  std::vector<size_t> pointerFields_;
  Region records_;  // the registry's header space, then the records
  size_t count_ = 0;
  Region pool_;
  size_t cbPool_ = 0;
  std::vector<Value> recent_;
  std::vector<Value> lastOfField_;  // by field offset in pointer-sized steps
  Value last_;                      // the value stored last
  Value emptyText_;                 // the first empty text, which every later one shares
  bool failed_ = false;
};

}  // namespace compat
