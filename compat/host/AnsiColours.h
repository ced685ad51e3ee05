// Console text attributes as ANSI (SGR) escape sequences for a terminal.
#pragma once

#include <string>

#include "win32/base.h"

namespace compat {

// The console's attribute at start-up: the terminal's own colours.
constexpr WORD kStartupAttribute = 0x0007;

// The sequence that shows text in the attribute's colours. The start-up colours (white on
// black, no intensity) stand for the terminal's default foreground and background, so the
// start-up attribute itself resets the terminal to its own colours.
std::string AnsiSequenceOf(WORD attribute);

}  // namespace compat
