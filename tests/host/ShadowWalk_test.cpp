// Shadow read in step with a walk over passwd.
#include "host/ShadowWalk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryDirectory.h"

namespace compat {
namespace {

ShadowEntry Aged(int64_t lastChange) {
  ShadowEntry entry;
  entry.passwordField = PasswordField::Usable;
  entry.lastChange = lastChange;
  return entry;
}

// Walks the names in order and answers each one's last change, -2 for no entry.
std::vector<int64_t> Walk(MemoryDirectory& directory, const std::vector<std::string>& names) {
  ShadowWalk walk(directory);
  std::vector<int64_t> found;
  for (const std::string& name : names) {
    std::optional<ShadowEntry> entry = walk.Find(name);
    found.push_back(entry ? entry->lastChange : -2);
  }
  return found;
}

TEST(ShadowWalk, SameOrderReadsOneEntryPerUser) {
  MemoryDirectory directory;
  directory.shadow = {{"a", Aged(1)}, {"b", Aged(2)}, {"c", Aged(3)}};
  ShadowWalk walk(directory);
  for (size_t i = 0; i < 3; ++i) {
    std::string name(1, static_cast<char>('a' + i));
    ASSERT_TRUE(walk.Find(name).has_value());
    EXPECT_EQ(directory.shadowEntriesRead, i + 1) << "read ahead before " << name;
  }
}

TEST(ShadowWalk, EveryOrderFindsEveryEntry) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, ShadowEntry>> shadow;
    std::vector<std::string> passwd;
    std::vector<int64_t> found;
  };
  const Case cases[] = {
      {"reversed", {{"a", Aged(1)}, {"b", Aged(2)}, {"c", Aged(3)}}, {"c", "b", "a"}, {3, 2, 1}},
      {"a user without an entry", {{"a", Aged(1)}, {"c", Aged(3)}}, {"a", "b", "c"}, {1, -2, 3}},
      {"an entry without a user",
       {{"a", Aged(1)}, {"x", Aged(9)}, {"c", Aged(3)}},
       {"a", "c"},
       {1, 3}},
      {"a name listed twice: the first counts",
       {{"a", Aged(1)}, {"b", Aged(2)}, {"b", Aged(5)}, {"c", Aged(3)}},
       {"c", "b", "a"},
       {3, 2, 1}},
      {"empty shadow", {}, {"a", "b"}, {-2, -2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryDirectory directory;
    directory.shadow = c.shadow;
    EXPECT_EQ(Walk(directory, c.passwd), c.found);
  }
}

TEST(ShadowWalk, ShadowThatFailsIsUsedAsFarAsItWasRead) {
  MemoryDirectory directory;
  directory.shadow = {{"a", Aged(1)}, {"b", Aged(2)}, {"c", Aged(3)}};
  directory.shadowFailsAfter = 2;
  EXPECT_EQ(Walk(directory, {"a", "b", "c"}), (std::vector<int64_t>{1, 2, -2}));
  directory.failWith = EACCES;  // cannot be read at all: an ordinary user
  EXPECT_EQ(Walk(directory, {"a", "b", "c"}), (std::vector<int64_t>{-2, -2, -2}));
}

}  // namespace
}  // namespace compat
