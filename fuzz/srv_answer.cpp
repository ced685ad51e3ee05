// The domain helper's reading of a DNS answer to its SRV question, which comes from the network:
// any bytes must neither crash it nor read past the answer. Where the C library's own message
// parser (ns_initparse, ns_parserr) takes the answer as well formed, the helper must pick the
// same record: the SRV record of the lowest priority whose target name expands, the first of
// them on a tie. A target of "." (no such service) reads as no target. Cut in its last record,
// the answer gives the target of the records before it.
#include <arpa/nameser.h>
#include <resolv.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "host/domain/Wire.h"

namespace {

// The target the library's parser finds among the first `records` answers, each target name read
// within the first `within` bytes; false when it refuses the message. answersEnd is where the
// last answer record ends (null without one).
bool ReferenceTarget(const unsigned char* answer, int length, std::string& target,
                     const unsigned char*& answersEnd, int records, int within) {
  ns_msg message;
  if (ns_initparse(answer, length, &message) != 0) return false;
  int bestPriority = 0x10000;
  target.clear();
  answersEnd = nullptr;
  for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
    ns_rr record;
    if (ns_parserr(&message, ns_s_an, i, &record) != 0) return false;
    answersEnd = ns_rr_rdata(record) + ns_rr_rdlen(record);
    if (i >= records || ns_rr_type(record) != ns_t_srv || ns_rr_rdlen(record) <= 6) continue;
    const unsigned char* data = ns_rr_rdata(record);
    int priority = (data[0] << 8) | data[1];
    char name[NS_MAXDNAME];
    if (priority < bestPriority &&
        ns_name_uncompress(answer, answer + within, data + 6, name, sizeof name) > 0) {
      target = std::strcmp(name, ".") == 0 ? "" : name;  // the root reads as "" to the helper
      bestPriority = priority;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > NS_MAXMSG) return 0;  // the helper reads at most the largest DNS message
  // A copy of exactly the answer's size, so that a read past it is caught.
  auto answer = std::make_unique<unsigned char[]>(size == 0 ? 1 : size);
  if (size > 0) std::memcpy(answer.get(), data, size);
  int length = static_cast<int>(size);
  std::string found = compat::domain::FirstSrvTarget(answer.get(), length);
  std::string expected;
  const unsigned char* answersEnd = nullptr;
  if (!ReferenceTarget(answer.get(), length, expected, answersEnd, INT_MAX, length)) return 0;
  FUZZ_CHECK(found == expected);
  // The same answer cut in its last record, as one that did not arrive whole: the records before
  // the cut still name the controller, each name read within what arrived.
  if (answersEnd == answer.get() + length) {
    int records = ns_get16(answer.get() + 6);
    ReferenceTarget(answer.get(), length, expected, answersEnd, records - 1, length - 1);
    // A copy of exactly what arrived, so that a read of the cut byte is caught.
    auto cut = std::make_unique<unsigned char[]>(size - 1);
    std::memcpy(cut.get(), answer.get(), size - 1);
    FUZZ_CHECK(compat::domain::FirstSrvTarget(cut.get(), length - 1) == expected);
  }
  return 0;
}
