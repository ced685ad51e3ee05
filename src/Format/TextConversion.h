// Conversions between wide text and 8-bit text in the system's ANSI code page (GetACP). A
// character the code page cannot hold becomes its replacement character.
#pragma once

#include <string>
#include <string_view>

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
