// Console attributes as ANSI colour sequences.
#include "host/AnsiColours.h"

#include <gtest/gtest.h>

namespace compat {
namespace {

TEST(AnsiColours, AttributesToSequences) {
  struct Case {
    WORD attribute;
    const char* sequence;
  };
  const Case cases[] = {
      {0x0007, "\x1b[0m"},  // the start-up colours: the terminal's own
      {0x0004, "\x1b[0;31m"}, {0x0001, "\x1b[0;34m"}, {0x0003, "\x1b[0;36m"},
      {0x0006, "\x1b[0;33m"}, {0x0000, "\x1b[0;30m"}, {0x000F, "\x1b[0;97m"},
      {0x000C, "\x1b[0;91m"}, {0x0047, "\x1b[0;41m"}, {0x00F0, "\x1b[0;30;107m"},
      {0x0017, "\x1b[0;44m"}, {0x8007, "\x1b[0;4m"},  {0x4007, "\x1b[0;7m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(AnsiSequenceOf(c.attribute), c.sequence);
  }
}

}  // namespace
}  // namespace compat
