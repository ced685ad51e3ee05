// Standard output as the program's one text file: lines are collected in a buffer and reach the
// handle when it fills, at the end of every line when the handle is a terminal or console, and
// at the end of the program. On a terminal or console, control characters in a line (but a tab)
// show as "?"; a file or pipe gets every byte. A failing or missing output drops what it could not
// write and never reports it.
#pragma once

#include <string>
#include <string_view>

#include "Win32.h"

class StdOutput {
 public:
  StdOutput();
  ~StdOutput();
  StdOutput(const StdOutput&) = delete;
  StdOutput& operator=(const StdOutput&) = delete;

  // Writes the text and CR LF; false when the output failed (the line may be missing).
  bool WriteLine(std::string_view text);
  bool Flush();

 private:
  HANDLE handle_;
  bool flushEachLine_;
  std::string buffer_;
};
