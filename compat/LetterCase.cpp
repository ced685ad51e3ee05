#include "LetterCase.h"

#include <locale.h>

#include <cwctype>

namespace compat {
namespace {

// The C.UTF-8 locale's tables, whatever locale the user runs in; ASCII alone where the C
// library lacks that locale.
locale_t CaseLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

wchar_t ToLowerCase(wchar_t c) {
  locale_t locale = CaseLocale();
  if (locale != static_cast<locale_t>(nullptr)) {
    return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale));
  }
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

wchar_t ToUpperCase(wchar_t c) {
  locale_t locale = CaseLocale();
  if (locale != static_cast<locale_t>(nullptr)) {
    return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
  }
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
}

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToUpperCase(a[i]) != ToUpperCase(b[i])) return false;
  }
  return true;
}

}  // namespace compat
