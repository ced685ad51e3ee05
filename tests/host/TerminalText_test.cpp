// What a terminal is given of a line of host text: a control character becomes one "?", a
// character of the code page, one byte or more, passes as it is.
#include "host/TerminalText.h"

#include <gtest/gtest.h>

namespace compat {
namespace {

// A line in a code page, and what the terminal is given of it.
struct Shown {
  UINT codePage;
  const char* line;
  const char* shown;
};

TEST(TerminalText, ControlsBecomeOneMarkEachAndCharactersPass) {
  const Shown cases[] = {
      {65001, "a\x1B[31mb\r\n", "a?[31mb\r\n"},  // the line's own CR LF stays
      {65001, "a\rb\tc\x7F", "a?b\tc?"},
      {65001, "\xC2\x9BJ", "?J"},  // C1 CSI in two bytes: one mark
      {65001, "\xC3\xA9\xE2\x80\xBA", "\xC3\xA9\xE2\x80\xBA"},
      {1252, "\x9BJ", "?J"},                   // a lone CSI byte, though 1252 makes it a character
      {1252, "\x80\xA0\xE9", "\x80\xA0\xE9"},  // the euro, a no-break space, an e acute
      {20127, "\xFFx", "?x"},                  // 20127 drops the eighth bit: DEL, not Latin-1's y
      {932, "\x82\xA0\x81\x40", "\x82\xA0\x81\x40"},
      {932, "\x81\x1B[2J", "\x81?[2J"},  // a lead byte before a control is no character
      {54936, "\x81\x30\x81\x30", "?"},  // GB18030's four bytes of U+0080
      {54936, "\x81\x30\x84\x33", "\x81\x30\x84\x33"},  // U+00A1 in four bytes
      {54936, "\x81\x9B", "\x81\x9B"},                  // 0x9B as a trail byte is no control
      {54936, "\x81\x1B\x81\x1B[m", "\x81?\x81?[m"},    // controls, not the digits of four bytes
      {54936, "\x81\x39\x81\x1B", "\x81\x39\x81?"},
  };
  for (const Shown& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << testing::PrintToString(c.line));
    EXPECT_EQ(PrintableOnTerminal(c.line, c.codePage), c.shown);
  }
}

}  // namespace
}  // namespace compat
