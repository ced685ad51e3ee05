// The one writer through which every line is printed, its formatted variant, the error printer,
// the console output module that opens the console and saves its start-up colours, the exit
// code, the help switches and the unscrambler of the copyright line.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "Format/Format.h"
#include "Format/Guards.h"
#include "Win32.h"

// Colour codes 0 to 7 (black, blue, green, red, cyan, magenta, yellow, white); 8 leaves the
// colour as it is, and so does every larger code.
using ConsoleColor = BYTE;
constexpr ConsoleColor ColorUnchanged = 8;
// Intensity settings: 0 clears the bit, 2 leaves it, anything else sets it.
constexpr BYTE IntensityUnchanged = 2;

// Prints the text and CR LF in the colours asked for, then restores the start-up colours.
// Never fails visibly.
void WriteColoredLine(std::string_view text, ConsoleColor foreground = ColorUnchanged,
                      ConsoleColor background = ColorUnchanged,
                      BYTE foregroundIntensity = IntensityUnchanged,
                      BYTE backgroundIntensity = IntensityUnchanged) noexcept;

// Formats and prints one line; a format that does not fit its values raises Error.
void WriteColoredFormat(std::wstring_view format, std::initializer_list<FormatArg> args,
                        ConsoleColor foreground = ColorUnchanged,
                        ConsoleColor background = ColorUnchanged,
                        BYTE foregroundIntensity = IntensityUnchanged,
                        BYTE backgroundIntensity = IntensityUnchanged);

// Sets the exit code to 1, then prints an empty line, the message and an empty line.
void PrintError(std::wstring_view message) noexcept;

// The process exit code: 0 until an error reaches the command driver.
int& ExitCode();

// True for exactly "?", "-?", "/?" and "\?".
bool IsHelpSwitch(std::wstring_view text);

// Each byte minus 10 minus its position (counting from 1), modulo 256.
std::string UnscrambleText(std::string_view stored);

// Start-up and end of the console output module: opens the console, installs the control
// handler and saves the text attribute; at the end flushes standard output and closes the
// console handles.
class ConsoleModule : NonCopyable {
 public:
  ConsoleModule();
  ~ConsoleModule();

  // The console object: its handles, the saved attribute and standard output.
  struct State;

 private:
  std::unique_ptr<State> state_;
  // The module that was in force before this one (tests nest them); back in force at the end.
  State* previous_;
};
