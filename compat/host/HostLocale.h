// The user's locale, read once at start-up: the code page of its character set, its month
// names and its long time format.
#pragma once

#include "Machine.h"

namespace compat {

// Takes on the user's locale (LANG, LC_ALL, ...) for the process and answers the code page of
// its character set.
UINT ReadLocaleCodePage();

// Month names, long time format and AM/PM designators of the time locale (LC_TIME), read in
// its own character set; the C locale's where a text of it cannot be read (a set Windows has no
// code page for). After ReadLocaleCodePage.
LocaleFacts ReadLocaleFacts();

}  // namespace compat
