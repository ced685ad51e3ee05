// What a terminal is given of a line of host text.
#pragma once

#include <string>
#include <string_view>

#include "win32/base.h"

namespace compat {

// The line as a terminal in the code page is given it. A control character of host data (C0
// but TAB, the line's own CR LF at its end aside; DEL; C1) would act on the terminal instead of
// showing: each becomes one "?". The line is read a character at a time: a byte of a
// multi-byte character (0x80 in 932, 0x9B in GB18030) is no control of its own, and a lead byte
// before a control is no character. Outside UTF-8 a byte 0x9B of its own is always a control:
// the Linux console reads it as CSI whatever the character set, even where the code page makes
// it a character ("›" in 1250-1258, "⌡" in KOI8).
std::string PrintableOnTerminal(std::string_view line, UINT codePage);

}  // namespace compat
