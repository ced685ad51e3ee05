// How the host's facts about one account become Windows' account record.
#pragma once

#include <cstdint>
#include <optional>

#include "Machine.h"
#include "host/AccountDirectory.h"

namespace compat {

constexpr int64_t kSecondsPerDay = 86400;

// What the host keeps about one account.
struct HostAccountFacts {
  const UserEntry* user = nullptr;
  std::optional<ShadowEntry> shadow;  // none: shadow cannot be read or holds no entry
  std::optional<int64_t> lastLogon;   // seconds since 1970; none: lastlog has no record
  bool administrator = false;
  uint32_t guestUid = 65534;  // the kernel's overflow uid, the account "nobody"
  int64_t now = 0;            // seconds since 1970
};

// One row per field of the record: where the host keeps it and how it is read. Rows without
// a rule are fields the host does not keep; they keep Windows' value for "not known".
struct AccountFieldRule {
  const char* field;
  const char* source;
  void (*apply)(const HostAccountFacts& facts, AccountRecord& record);
};

// The table itself, in the order of USER_INFO_3.
const AccountFieldRule* AccountFieldRules(size_t& count);

AccountRecord MapAccountRecord(const HostAccountFacts& facts);
// The same into a record that was mapped before (a walk over many accounts): every field the
// table fills is set anew, the others keep their value for "not known".
void MapAccountRecordInto(const HostAccountFacts& facts, AccountRecord& record);

}  // namespace compat
