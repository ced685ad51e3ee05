#include "host/HostLocale.h"

#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <memory>
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

// glibc hands out the time locale's texts in that locale's own character set, unconverted, and
// it need not be the one LC_CTYPE names (LANG=C with a regional LC_TIME).
const CodePage* TimeLocaleCodePage() {
  OwnedLocale time(newlocale(LC_CTYPE_MASK, std::setlocale(LC_TIME, nullptr), nullptr));
  if (!time) return nullptr;
  return FindCodePage(CodePageOfCharset(nl_langinfo_l(CODESET, time.get())));
}

// A text of the time locale as Windows gives it, in UTF-16 whatever the ANSI code page; empty
// where its bytes do not read as characters of their set (or the set has no code page here, and
// 20127 stands for it), so that the program takes its own English texts instead.
std::wstring TimeText(const CodePage* page, nl_item item) {
  std::string_view bytes = nl_langinfo(item);
  bool invalid = page == nullptr;
  if (page != nullptr && page->number == 20127) {
    for (char c : bytes) invalid = invalid || static_cast<unsigned char>(c) >= 0x80;
  }
  std::wstring text = invalid ? std::wstring() : Decode(*page, bytes, invalid);
  return invalid ? std::wstring() : text;
}

}  // namespace

UINT ReadLocaleCodePage() {
  std::setlocale(LC_ALL, "");
  return CodePageOfCharset(nl_langinfo(CODESET));
}

LocaleFacts ReadLocaleFacts() {
  // A month's own name (nominative), as Windows gives LOCALE_SMONTHNAME: glibc's MON_ is the
  // form a date takes, genitive in Polish or Russian; ALTMON_ is the month's own name, the
  // same as MON_ in languages without cases.
  static const nl_item kMonths[12] = {ALTMON_1, ALTMON_2,  ALTMON_3,  ALTMON_4,
                                      ALTMON_5, ALTMON_6,  ALTMON_7,  ALTMON_8,
                                      ALTMON_9, ALTMON_10, ALTMON_11, ALTMON_12};
  const CodePage* page = TimeLocaleCodePage();
  LocaleFacts facts;
  for (size_t i = 0; i < 12; ++i) facts.monthNames[i] = TimeText(page, kMonths[i]);
  facts.longTimeFormat = WindowsTimePattern(TimeText(page, T_FMT), TimeText(page, T_FMT_AMPM));
  facts.amDesignator = TimeText(page, AM_STR);
  facts.pmDesignator = TimeText(page, PM_STR);
  return facts;
}

}  // namespace compat
