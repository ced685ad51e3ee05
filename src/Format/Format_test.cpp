#include "Format/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "Format/Error.h"
#include "ProgramRun.h"

namespace {

// Formatting converts wide values with the code page, so it runs against a machine.
class FormatTest : public ::testing::Test {
 protected:
  compat::ScriptedMachine machine;
  compat::MachineScope scope{machine};
};

TEST_F(FormatTest, InsertsValuesByConversion) {
  struct Case {
    const char* format;
    std::initializer_list<FormatArg> args;
    const char* expected;
  };
  const Case cases[] = {
      {"plain", {}, "plain"},
      {"%s", {"abc"}, "abc"},
      {"[%s]", {""}, "[]"},
      {"%s", {L"wide"}, "wide"},
      {"%s\\%s", {L"HOST", L"alice"}, "HOST\\alice"},
      {"%d", {0}, "0"},
      {"%d", {-1}, "-1"},
      {"%d", {0xFFFFFFFFu}, "-1"},
      {"%d", {2147483647}, "2147483647"},
      {"%d", {0x80000000u}, "-2147483648"},
      {"%d bytes", {1024u}, "1024 bytes"},
      {"%x", {255}, "FF"},
      {"0x%2x", {0}, "0x 0"},
      {"0x%2x", {10}, "0x A"},
      {"0x%2x", {255}, "0xFF"},
      {"%2x", {0x1234}, "1234"},
      {"%5d", {42}, "   42"},
      {"100%%", {}, "100%"},
      {"%s=%d", {"n", 7}, "n=7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.format, c.args), c.expected) << c.format;
  }
}

TEST_F(FormatTest, NeverReadsAValueAsFormatText) {
  EXPECT_EQ(Format("User: \"%s\" does not exist", {L"%s%d%n"}), "User: \"%s%d%n\" does not exist");
  EXPECT_EQ(Format("%s", {"%x%%"}), "%x%%");
}

TEST_F(FormatTest, ConvertsWideValuesToTheAnsiCodePage) {
  machine.codePage = 65001;
  EXPECT_EQ(Format("%s", {L"J\u00f6rg"}), "J\xc3\xb6rg");
  machine.codePage = 1252;
  EXPECT_EQ(Format("%s", {L"J\u00f6rg \u20ac"}), "J\xf6rg \x80");
  machine.codePage = 20127;
  EXPECT_EQ(Format("%s", {L"J\u00f6rg"}), "J?rg");
}

// A character beyond the BMP, in UTF-16 units as Windows holds it, is one character the code page
// cannot hold: one "?". Units that make no pair are each one.
TEST_F(FormatTest, ACharacterBeyondTheBmpIsOneDefaultCharacter) {
  machine.codePage = 1252;
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"a\xD83D\xDE00z", "a?z"},
      {L"\xD83D\xDE00\xD83D\xDE00\u00e9", "??\xe9"},
      {L"a\xDE00\xD83Dz", "a??z"},
      {L"a\xD83D", "a?"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Format("%s", {text}), expected) << expected;
  }
  machine.codePage = 932;
  EXPECT_EQ(Format("%s", {L"\xD842\xDFB7\u91ce"}), "?\x96\xec");
}

TEST_F(FormatTest, RaisesWhenFormatAndValuesDoNotFit) {
  struct Case {
    const char* format;
    std::initializer_list<FormatArg> args;
  };
  const Case cases[] = {
      {"%s", {}}, {"%d", {"text"}}, {"%x", {L"wide"}}, {"%s", {5}},        {"%q", {1}},
      {"%", {1}}, {"%5", {1}},      {"no place", {1}}, {"%s %s", {"one"}},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(Format(c.format, c.args), Error) << c.format;
  }
  try {
    Format("%d", {"x"});
    ADD_FAILURE() << "a text was formatted as %d";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), "Format '%d' invalid or incompatible with argument");
  }
}

}  // namespace
