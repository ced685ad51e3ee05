// Text between the host's bytes, in the character set of the user's locale, and the program's
// wide text. A byte that the character set cannot decode is kept as U+DC80..U+DCFF (one
// escape per byte), so that a name read from the host can be looked up again; such a
// character prints as the code page's replacement character.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "win32/base.h"

namespace compat {

std::wstring WideFromHost(UINT codePage, std::string_view bytes);
// The same into an existing text, reusing its memory (a walk over many accounts).
void AssignWideFromHost(UINT codePage, std::string_view bytes, std::wstring& text);

// The host bytes of a name that is to be looked up; none when the name cannot be written in
// the character set (it would come out with "?" in place of a character and could name
// another account) or holds a null character (which would cut it short).
std::optional<std::string> HostNameOf(UINT codePage, std::wstring_view name);

}  // namespace compat
