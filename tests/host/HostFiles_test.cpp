// Reading an account file directly: a file that is missing or no regular file holds no entry, as
// glibc's files module answers for it; a file that fails while it is read is a failure, never a
// shorter list.
#include "host/HostFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace compat {
namespace {

class HostFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/userlens-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    std::ofstream(folder_ + "/passwd") << "ann:x:1001:1001::/home/ann:/bin/sh\n"
                                       << "bob:x:1002:100::/home/bob:/bin/sh\n";
    ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder_ + "/folder").c_str(), 0700), 0);
  }
  void TearDown() override {
    for (const char* name : {"passwd", "fifo"}) unlink((folder_ + "/" + name).c_str());
    rmdir((folder_ + "/folder").c_str());
    rmdir(folder_.c_str());
  }

  std::string folder_;
};

TEST_F(HostFilesTest, AFileThatIsNoneHoldsNoEntryAndOneThatFailsIsAFailure) {
  struct Case {
    std::string path;
    Found answer;
    int users;
  };
  const Case cases[] = {
      {folder_ + "/passwd", Found::Yes, 2},
      {folder_ + "/missing", Found::Yes, 0},
      {folder_ + "/fifo", Found::Yes, 0},
      {folder_ + "/folder", Found::Yes, 0},
      // A regular file whose first read fails (EIO).
      {"/proc/self/mem", Found::Failed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    int users = 0;
    errno = 0;
    Found answer = ScanUsers(c.path.c_str(), [&](const UserEntry&) {
      ++users;
      return true;
    });
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(users, c.users);
    if (answer == Found::Failed) {
      EXPECT_EQ(errno, EIO);
    }
    // Shadow read as a stream ends the same way: no more, or failed.
    ShadowFileStream stream(c.path.c_str());
    std::string name;
    ShadowEntry entry;
    Found next = Found::Yes;
    while (next == Found::Yes) next = stream.Next(name, entry);
    EXPECT_EQ(next, c.answer == Found::Failed ? Found::Failed : Found::No);
  }
}

// A line of any length NSS gives room for is read whole, and so is every line after it, whatever
// the reader's buffer had grown to before it.
TEST_F(HostFilesTest, ALongLineKeepsItselfAndTheLinesAfterIt) {
  const std::string path = folder_ + "/long";
  for (size_t length : {size_t{100}, size_t{70000}, size_t{200000}, size_t{1000000}}) {
    SCOPED_TRACE(length);
    const std::string gecos(length, 'g');
    std::ofstream(path) << "ann:x:1001:1001::/home/ann:/bin/sh\n"
                        << "long:x:1003:100:" << gecos << ":/home/long:/bin/sh\n"
                        << "bob:x:1002:100::/home/bob:/bin/sh\n";
    std::string names;
    size_t longest = 0;
    EXPECT_EQ(ScanUsers(path.c_str(),
                        [&](const UserEntry& user) {
                          names += user.name + " ";
                          longest = std::max(longest, user.gecos.size());
                          return true;
                        }),
              Found::Yes);
    EXPECT_EQ(names, "ann long bob ");
    EXPECT_EQ(longest, length);
  }
  unlink(path.c_str());
}

}  // namespace
}  // namespace compat
