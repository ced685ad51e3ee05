#include "LetterCase.h"

#include <locale.h>

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace compat {
namespace {

// The C.UTF-8 locale's simple case mappings, whatever locale the user runs in; ASCII alone where
// the C library lacks that locale.
locale_t CaseLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// Characters that Windows leaves as they are where Unicode maps them: the Turkish i's, title-case
// digraphs, final sigma and the Greek symbol forms, the micro, ohm, kelvin and angstrom signs,
// the long s, capital sharp s, and the old Cyrillic letter forms (sorted).
constexpr wchar_t kUpperStays[] = {0x00B5, 0x0131, 0x017F, 0x01C5, 0x01C8, 0x01CB, 0x01F2,
                                   0x0345, 0x03C2, 0x03D0, 0x03D1, 0x03D5, 0x03D6, 0x03F0,
                                   0x03F1, 0x03F5, 0x1C80, 0x1C81, 0x1C82, 0x1C83, 0x1C84,
                                   0x1C85, 0x1C86, 0x1C87, 0x1C88, 0x1E9B, 0x1FBE};
constexpr wchar_t kLowerStays[] = {0x0130, 0x01C5, 0x01C8, 0x01CB, 0x01F2,
                                   0x03F4, 0x1E9E, 0x2126, 0x212A, 0x212B};

template <size_t N>
bool Stays(const wchar_t (&table)[N], wchar_t c) {
  return std::binary_search(std::begin(table), std::end(table), c);
}

}  // namespace

wchar_t ToLowerCase(wchar_t c) {
  if (c < 0x80) return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
  locale_t locale = CaseLocale();
  if (locale == static_cast<locale_t>(nullptr) || Stays(kLowerStays, c)) return c;
  return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale));
}

wchar_t ToUpperCase(wchar_t c) {
  if (c < 0x80) return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
  locale_t locale = CaseLocale();
  if (locale == static_cast<locale_t>(nullptr) || Stays(kUpperStays, c)) return c;
  return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
}

std::wstring UpperCased(std::wstring_view text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = ToUpperCase(c);
  return upper;
}

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return x == y || ToUpperCase(x) == ToUpperCase(y);
         });
}

}  // namespace compat
