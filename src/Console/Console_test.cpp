#include "Console/Console.h"

#include <gtest/gtest.h>

#include "ProgramRun.h"

namespace {

class Writer : public ::testing::Test {
 protected:
  compat::ScriptedMachine machine;
};

TEST_F(Writer, AppliesColourSettingsToTheirBitsOnly) {
  struct Case {
    WORD start;
    ConsoleColor foreground;
    ConsoleColor background;
    BYTE foregroundIntensity;
    BYTE backgroundIntensity;
    WORD applied;  // the attribute written before the line
  };
  const Case cases[] = {
      {0x0007, 3, 8, 2, 2, 0x0004},  // red is 3
      {0x0007, 4, 8, 2, 2, 0x0003},  // cyan is 4
      {0x0007, 0, 8, 2, 2, 0x0000},  // black
      {0x0007, 7, 8, 2, 2, 0x0007},  // white
      {0x0007, 8, 3, 2, 2, 0x0047},  // background red
      {0x0007, 8, 4, 2, 2, 0x0037},  // background cyan
      {0x0007, 8, 8, 1, 2, 0x000F},  // foreground intensity set
      {0x000F, 8, 8, 0, 2, 0x0007},  // and cleared
      {0x0007, 8, 8, 2, 5, 0x0087},  // any value but 0 and 2 sets
      {0x0087, 8, 8, 2, 0, 0x0007},  // background intensity cleared
      {0xC007, 5, 6, 1, 1, 0xC0ED},  // bits above 0x00FF stay
      // The rest of the table, each beside an intensity bit that must stay.
      {0x000F, 1, 8, 2, 2, 0x0009},  // blue
      {0x000F, 2, 8, 2, 2, 0x000A},  // green
      {0x000F, 6, 8, 2, 2, 0x000E},  // yellow
      {0x00F7, 8, 0, 2, 2, 0x0087},  // background black
      {0x0087, 8, 1, 2, 2, 0x0097},  // background blue
      {0x0087, 8, 2, 2, 2, 0x00A7},  // background green
      {0x0087, 8, 5, 2, 2, 0x00D7},  // background magenta
      {0x0087, 8, 7, 2, 2, 0x00F7},  // background white
  };
  for (const Case& c : cases) {
    machine.attribute = c.start;
    machine.attributeWrites.clear();
    {
      ScriptedModules modules(machine);
      WriteColoredLine("text", c.foreground, c.background, c.foregroundIntensity,
                       c.backgroundIntensity);
      EXPECT_EQ(modules.Finish(), "text\r\n");
    }
    ASSERT_GE(machine.attributeWrites.size(), 2u);
    // Each setting writes once; the line ends with the saved attribute written back.
    EXPECT_EQ(machine.attributeWrites[machine.attributeWrites.size() - 2], c.applied)
        << std::hex << c.start << " " << int{c.foreground} << " " << int{c.background};
    EXPECT_EQ(machine.attributeWrites.back(), c.start);
  }
}

TEST_F(Writer, RestoresTheSavedAttributeOncePerLine) {
  machine.attribute = 0x001E;
  ScriptedModules modules(machine);
  WriteColoredLine("one");
  WriteColoredLine("");
  WriteColoredLine("three", 9, 12, 2, 2);  // codes above 8 change nothing, like 8
  EXPECT_EQ(modules.Finish(), "one\r\n\r\nthree\r\n");
  EXPECT_EQ(machine.attributeWrites, (std::vector<WORD>{0x001E, 0x001E, 0x001E}));
}

// Without a console the colour steps and the restore are left out: no console function is
// called (the last error stays as it was), and every line is still written.
TEST_F(Writer, WritesEveryLineWithoutAConsole) {
  machine.consolePresent = false;
  ScriptedModules modules(machine);
  SetLastError(ERROR_SUCCESS);
  WriteColoredLine("plain");
  WriteColoredLine("coloured", 3, 4, 1, 1);
  PrintError(L"message");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(modules.Finish(), "plain\r\ncoloured\r\n\r\nmessage\r\n\r\n");
  EXPECT_EQ(ExitCode(), 1);
}

// A line whose write fails still ends with the saved attribute written back.
TEST_F(Writer, RestoresTheAttributeWhenTheWriteFails) {
  machine.attribute = 0x001E;
  machine.stdOutputType = FILE_TYPE_CHAR;  // each line is written at its end
  machine.stdOutputError = ERROR_BROKEN_PIPE;
  ScriptedModules modules(machine);
  WriteColoredLine("lost", 3, 8, 2, 2);
  EXPECT_EQ(machine.attributeWrites, (std::vector<WORD>{0x001C, 0x001E}));
  EXPECT_EQ(machine.attribute, 0x001E);
  EXPECT_EQ(modules.Finish(), "");
}

TEST_F(Writer, DropsALineWhoseColourCannotBeSet) {
  ScriptedModules modules(machine);
  machine.failAttributeWrites = true;
  WriteColoredLine("lost", 3);
  WriteColoredLine("lost", 8, 3);
  WriteColoredLine("lost", 8, 8, 1);
  WriteColoredLine("lost", 8, 8, 2, 0);
  WriteColoredLine("kept");  // no setting asked: nothing to fail before the line
  machine.failAttributeWrites = false;
  WriteColoredLine("next");
  EXPECT_EQ(modules.Finish(), "kept\r\nnext\r\n");
}

TEST_F(Writer, SwallowsAFailingStandardOutput) {
  machine.stdOutputError = ERROR_BROKEN_PIPE;
  ScriptedModules modules(machine);
  ExitCode() = 0;
  WriteColoredLine("gone");
  WriteColoredFormat(L"%s", {L"gone too"});
  EXPECT_EQ(modules.Finish(), "");
  EXPECT_EQ(ExitCode(), 0);
}

TEST_F(Writer, FlushesEachLineOnlyOnACharacterDevice) {
  machine.stdOutputType = FILE_TYPE_CHAR;
  {
    ScriptedModules modules(machine);
    WriteColoredLine("a");
    WriteColoredLine("bc");
    modules.Finish();
  }
  EXPECT_EQ(machine.writeSizes, (std::vector<size_t>{3, 4}));
  machine.stdOutputType = FILE_TYPE_PIPE;
  machine.writeSizes.clear();
  {
    ScriptedModules modules(machine);
    WriteColoredLine("a");
    WriteColoredLine("bc");
    EXPECT_TRUE(machine.writeSizes.empty());  // still in the buffer
    modules.Finish();
  }
  EXPECT_EQ(machine.writeSizes, (std::vector<size_t>{7}));
}

// On a console a control character of the text shows as "?" (TAB stays); to a file or pipe every
// byte goes out as it stands.
TEST_F(Writer, ShowsControlsAsQuestionMarksOnAConsoleOnly) {
  const std::string text = "a\rb\x1b[2J\tc\x7f\bd\x83\x80";
  const std::pair<DWORD, std::string> cases[] = {
      {FILE_TYPE_CHAR, "a?b?[2J\tc??d\x83\x80\r\n"},
      {FILE_TYPE_PIPE, text + "\r\n"},
      {FILE_TYPE_DISK, text + "\r\n"},
  };
  for (const auto& [type, expected] : cases) {
    machine.stdOutputType = type;
    ScriptedModules modules(machine);
    WriteColoredLine(text);
    EXPECT_EQ(modules.Finish(), expected) << type;
  }
}

TEST_F(Writer, KeepsEveryByteOfALongOutput) {
  std::string expected;
  {
    ScriptedModules modules(machine);
    for (int i = 0; i < 5000; ++i) {
      std::string line(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26));
      WriteColoredLine(line);
      expected += line + "\r\n";
    }
    std::string huge(200000, 'x');
    WriteColoredLine(huge);
    expected += huge + "\r\n";
    EXPECT_EQ(modules.Finish(), expected);
  }
}

TEST_F(Writer, PrintErrorSetsTheExitCodeAndFramesTheMessage) {
  ScriptedModules modules(machine);
  ExitCode() = 0;
  PrintError(L"");
  EXPECT_EQ(ExitCode(), 1);
  EXPECT_EQ(modules.Finish(), "\r\n\r\n\r\n");
}

TEST_F(Writer, ControlHandlerHandlesTheConsoleEvents) {
  ScriptedModules modules(machine);
  ASSERT_NE(machine.ctrlHandler, nullptr);
  for (DWORD event : {0u, 1u, 2u, 5u, 6u}) EXPECT_TRUE(machine.ctrlHandler(event)) << event;
  for (DWORD event : {3u, 4u, 7u, 100u}) EXPECT_FALSE(machine.ctrlHandler(event)) << event;
}

TEST(IsHelpSwitch, KnowsExactlyFourSwitches) {
  for (const wchar_t* text : {L"?", L"-?", L"/?", L"\\?"}) EXPECT_TRUE(IsHelpSwitch(text)) << text;
  for (const wchar_t* text :
       {L"", L"/h", L"h", L"help", L"-h", L"\\h", L"/H", L"??", L"/? ", L"?/"}) {
    EXPECT_FALSE(IsHelpSwitch(text)) << text;
  }
}

TEST(UnscrambleText, SubtractsTenAndThePosition) {
  EXPECT_EQ(UnscrambleText(""), "");
  EXPECT_EQ(UnscrambleText("\x4C\x4E\x4E"), "ABA");  // 0x4C-11, 0x4E-12, 0x4E-13
  // Below zero the bytes wrap round to 255 and down.
  EXPECT_EQ(UnscrambleText(std::string("\x00\x0C\x0D", 3)), std::string("\xF5\x00\x00", 3));
  std::string stored(300, '\x0A');
  std::string text = UnscrambleText(stored);
  ASSERT_EQ(text.size(), 300u);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(text[255]), 0x00);
  EXPECT_EQ(static_cast<unsigned char>(text[256]), 0xFF);
}

}  // namespace
