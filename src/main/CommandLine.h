// Reading the first argument from the platform's wide command line.
#pragma once

#include <string>
#include <string_view>

// The longest argument, in UTF-16 code units.
constexpr size_t kMaxArgumentLength = 4096;

// Token 1 of the command line (token 0 is the program's path), or the empty text when there is
// none. Tokens are separated by characters of code 1 to 32; a double quote opens a stretch that
// runs to the next double quote and is kept as it is, without the quotes; pairs of double quotes
// before a token are skipped. An argument longer than kMaxArgumentLength raises ERangeError.
std::wstring ReadFirstArgument(std::wstring_view commandLine);
