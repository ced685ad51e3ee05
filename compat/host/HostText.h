// The host's own text (account names, full names, the environment) is UTF-8 whatever the user's
// locale: a valid sequence is its character, and any other byte stands for the Latin-1
// character of its value, so no byte is lost and none turns into another character.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace compat {

std::wstring WideFromHost(std::string_view bytes);
// The same into an existing text, reusing its memory (a walk over many accounts).
void AssignWideFromHost(std::string_view bytes, std::wstring& text);

// The UTF-8 bytes of a name that is to be looked up; none when it holds a null (which would cut
// it short) or a value that is no character.
std::optional<std::string> HostNameOf(std::wstring_view name);

}  // namespace compat
