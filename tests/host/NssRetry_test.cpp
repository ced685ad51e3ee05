// The ERANGE retry of the reentrant NSS lookups.
#include "host/NssRetry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace compat {
namespace {

TEST(NssRetry, GrowsTheBufferUntilTheRecordFits) {
  std::vector<char> buffer;
  std::vector<size_t> sizes;
  int error = CallWithGrowingBuffer(buffer, [&](char* data, size_t size) {
    sizes.push_back(size);
    if (size < 20000) return ERANGE;
    data[size - 1] = 'x';  // the whole buffer is there to be written
    return 0;
  });
  EXPECT_EQ(error, 0);
  EXPECT_EQ(sizes, (std::vector<size_t>{4096, 8192, 16384, 32768}));
  EXPECT_EQ(buffer.size(), 32768u);
}

TEST(NssRetry, GivesUpWithENOMEMBeyondTheLargestBuffer) {
  std::vector<char> buffer;
  int calls = 0;
  int error = CallWithGrowingBuffer(buffer, [&](char*, size_t) {
    ++calls;
    return ERANGE;
  });
  EXPECT_EQ(error, ENOMEM);
  EXPECT_EQ(buffer.size(), kNssLargestBuffer);
  EXPECT_EQ(calls, 15);  // 4 KiB, 8 KiB, ... 64 MiB
}

TEST(NssRetry, OtherErrorsEndAtOnce) {
  for (int answer : {0, ENOENT, EIO, EACCES}) {
    std::vector<char> buffer;
    int calls = 0;
    EXPECT_EQ(CallWithGrowingBuffer(buffer,
                                    [&](char*, size_t) {
                                      ++calls;
                                      return answer;
                                    }),
              answer);
    EXPECT_EQ(calls, 1);
  }
}

}  // namespace
}  // namespace compat
