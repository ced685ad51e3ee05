// Reading the last logon of a uid from a lastlog file.
#include "host/Lastlog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utmp.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace compat {
namespace {

class LastlogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/userlens-lastlog-XXXXXX";
    FileDescriptor file(mkstemp(pattern));
    ASSERT_TRUE(file.valid());
    path_ = pattern;
    // Sparse, as the system's own file: only the uids that logged on have a record.
    Write(file.get(), 0, 1600000000);
    Write(file.get(), 5, 1700000000);
    Write(file.get(), 1000, 1700000123);
    Write(file.get(), 1001, 0);        // a record without a time
    Write(file.get(), 7, 2147483648);  // 19 January 2038, 03:14:08
  }
  void TearDown() override { unlink(path_.c_str()); }

  // The time as the C library stores it: 2^31 and later wrap to negative in a 32-bit field.
  static void Write(int fd, uint32_t uid, int64_t time) {
    struct lastlog record {};
    record.ll_time = static_cast<decltype(record.ll_time)>(
        sizeof(record.ll_time) == sizeof(uint32_t) ? static_cast<uint32_t>(time) : time);
    std::strcpy(record.ll_line, "pts/0");
    off_t offset = static_cast<off_t>(uid) * static_cast<off_t>(sizeof(record));
    ASSERT_EQ(pwrite(fd, &record, sizeof(record), offset), static_cast<ssize_t>(sizeof(record)));
  }

  std::string path_;
};

TEST_F(LastlogTest, RecordsByUidInAnyOrderAndWindow) {
  for (size_t window : {size_t{1}, size_t{3}, size_t{224}}) {
    SCOPED_TRACE(window);
    LastlogReader reader(path_.c_str(), window);
    EXPECT_EQ(reader.LastLogon(1000), 1700000123);
    EXPECT_EQ(reader.LastLogon(5), 1700000000);
    EXPECT_EQ(reader.LastLogon(0), 1600000000);
    EXPECT_EQ(reader.LastLogon(7), 2147483648);
    EXPECT_EQ(reader.LastLogon(6), std::nullopt);     // a hole
    EXPECT_EQ(reader.LastLogon(1001), std::nullopt);  // no time
    EXPECT_EQ(reader.LastLogon(1002), std::nullopt);  // past the end
    EXPECT_EQ(reader.LastLogon(4000000000u), std::nullopt);
    EXPECT_EQ(reader.LastLogon(5), 1700000000);
  }
}

// A walk over ascending uids, as a listing makes it, finds exactly the records there are,
// also across the holes it skips.
TEST_F(LastlogTest, AscendingWalkFindsEveryRecord) {
  LastlogReader reader(path_.c_str(), 224);
  std::vector<std::pair<uint32_t, int64_t>> found;
  for (uint32_t uid = 0; uid <= 1100; ++uid) {
    if (std::optional<int64_t> time = reader.LastLogon(uid)) found.emplace_back(uid, *time);
  }
  EXPECT_EQ(found, (std::vector<std::pair<uint32_t, int64_t>>{
                       {0, 1600000000}, {5, 1700000000}, {7, 2147483648}, {1000, 1700000123}}));
}

// The bytes and the read calls this process has made so far.
struct Reads {
  uint64_t bytes = 0;
  uint64_t calls = 0;
};
Reads ReadsSoFar() {
  Reads reads;
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") reads.bytes = value;
    if (key == "syscr:") reads.calls = value;
  }
  return reads;
}

// A walk over ascending uids reads in windows; a walk in any other order (a list in name order)
// reads each record alone, not a window for each.
TEST_F(LastlogTest, OnlyAnAscendingWalkReadsInWindows) {
  {
    FileDescriptor file(open(path_.c_str(), O_WRONLY));
    ASSERT_TRUE(file.valid());
    for (uint32_t uid = 2000; uid < 12000; ++uid) Write(file.get(), uid, 1700000000 + uid);
  }
  ASSERT_GT(ReadsSoFar().calls, 0u) << "no /proc/self/io";
  LastlogReader ascending(path_.c_str(), 224);
  Reads before = ReadsSoFar();
  for (uint32_t uid = 2000; uid < 12000; ++uid) {
    ASSERT_EQ(ascending.LastLogon(uid), 1700000000 + uid) << uid;
  }
  EXPECT_LT(ReadsSoFar().calls - before.calls, 100u);
  LastlogReader descending(path_.c_str(), 224);
  before = ReadsSoFar();
  for (uint32_t uid = 11999; uid >= 2000; --uid) {
    ASSERT_EQ(descending.LastLogon(uid), 1700000000 + uid) << uid;
  }
  EXPECT_LT(ReadsSoFar().bytes - before.bytes, 2 * 10000 * sizeof(struct lastlog));
}

TEST(Lastlog, MissingFileKnowsNothing) {
  LastlogReader reader("/nonexistent/lastlog", 224);
  EXPECT_EQ(reader.LastLogon(0), std::nullopt);
}

}  // namespace
}  // namespace compat
