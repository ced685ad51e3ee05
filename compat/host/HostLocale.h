// The user's locale, read once at start-up: the code page of its character set, its month
// names and its long time format.
#pragma once

#include "Machine.h"

namespace compat {

// Takes on the user's locale (LANG, LC_ALL, ...) for the process and answers the code page of
// its character set.
UINT ReadLocaleCodePage();

// Month names, long time format and AM/PM designators of the time locale (LC_TIME), read in
// its own character set; an empty text where the locale has none or it cannot be read (the
// program then uses English month names and "HH:mm:ss"). After ReadLocaleCodePage.
LocaleFacts ReadLocaleFacts();

}  // namespace compat
