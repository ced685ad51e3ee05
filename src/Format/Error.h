// The program's errors. Every error carries one 8-bit message text; errors reach the command
// driver, which prints the message. Two kinds of place handle an error themselves: StringToSid
// (an unmapped name becomes the "does not exist" error, any other failure a missing SID), and
// the printing functions, which never fail (a line that cannot be converted or written is
// dropped).
#pragma once

#include <stdexcept>
#include <string>

#include "Win32.h"

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A value outside its declared range, such as a command-line argument that is too long.
class ERangeError : public Error {
 public:
  ERangeError() : Error("Range check error") {}
};

// A platform call that failed; carries the platform's error code.
class EOSError : public Error {
 public:
  EOSError(const std::string& call, DWORD code)
      : Error(call + " failed with system error " + std::to_string(code)), code_(code) {}
  DWORD Code() const { return code_; }

 private:
  DWORD code_;
};
