#include "host/HostLocale.h"

#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <memory>
#include <optional>
#include <type_traits>

#include "CodePages.h"
#include "host/HostMachine.h"
#include "host/TimePattern.h"

namespace compat {

namespace {

struct LocaleRelease {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using OwnedLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleRelease>;

// A month's own name (nominative), as Windows gives LOCALE_SMONTHNAME: glibc's MON_ is the form a
// date takes, genitive in Polish or Russian; ALTMON_ is the month's own name, the same as MON_ in
// languages without cases.
const nl_item kMonths[12] = {ALTMON_1, ALTMON_2, ALTMON_3, ALTMON_4,  ALTMON_5,  ALTMON_6,
                             ALTMON_7, ALTMON_8, ALTMON_9, ALTMON_10, ALTMON_11, ALTMON_12};

// The time texts of a locale as Windows gives them, in UTF-16 whatever the ANSI code page. glibc
// hands them out in the locale's own character set, unconverted, and it need not be the one
// LC_CTYPE names (LANG=C with a regional LC_TIME). None where a text does not read as characters
// of a set Windows has a code page for (20127 stands for every other set: only ASCII reads).
std::optional<LocaleFacts> TimeTexts(const char* localeName) {
  OwnedLocale locale(newlocale(LC_CTYPE_MASK | LC_TIME_MASK, localeName, nullptr));
  if (!locale) return std::nullopt;
  const CodePage* page = FindCodePage(CodePageOfCharset(nl_langinfo_l(CODESET, locale.get())));
  bool invalid = page == nullptr;
  auto text = [&](nl_item item) {
    std::string_view bytes = nl_langinfo_l(item, locale.get());
    if (page == nullptr) return std::wstring();
    if (page->number == 20127) {
      for (char c : bytes) invalid = invalid || static_cast<unsigned char>(c) >= 0x80;
    }
    return Decode(*page, bytes, invalid);
  };
  LocaleFacts facts;
  for (size_t i = 0; i < 12; ++i) facts.monthNames[i] = text(kMonths[i]);
  facts.longTimeFormat = WindowsTimePattern(text(T_FMT), text(T_FMT_AMPM));
  facts.amDesignator = text(AM_STR);
  facts.pmDesignator = text(PM_STR);
  if (invalid) return std::nullopt;
  return facts;
}

}  // namespace

UINT ReadLocaleCodePage() {
  std::setlocale(LC_ALL, "");
  return CodePageOfCharset(nl_langinfo(CODESET));
}

LocaleFacts ReadLocaleFacts() {
  // Windows always has its user locale's texts: where the time locale's cannot be read, the C
  // locale's stand in (English month names, HH:mm:ss, AM and PM).
  std::optional<LocaleFacts> facts = TimeTexts(std::setlocale(LC_TIME, nullptr));
  return facts ? *facts : TimeTexts("C").value_or(LocaleFacts());
}

}  // namespace compat
