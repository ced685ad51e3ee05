// Letter case as Windows maps it, the same for every user locale: CharLowerBuffW and
// CharUpperBuffW map with it, and account, domain, computer and privilege names compare with it.
#pragma once

#include <string>
#include <string_view>

namespace compat {

wchar_t ToLowerCase(wchar_t c);
wchar_t ToUpperCase(wchar_t c);
// The text in upper case: the key under which a name is found whatever its letter case.
std::wstring UpperCased(std::wstring_view text);
bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace compat
