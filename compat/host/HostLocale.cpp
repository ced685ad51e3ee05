#include "host/HostLocale.h"

#include <langinfo.h>

#include <clocale>

#include "CodePages.h"
#include "host/HostMachine.h"
#include "host/TimePattern.h"

namespace compat {

UINT ReadLocaleCodePage() {
  std::setlocale(LC_ALL, "");
  return CodePageOfCharset(nl_langinfo(CODESET));
}

LocaleFacts ReadLocaleFacts(UINT codePage) {
  // A month's own name (nominative), as Windows gives LOCALE_SMONTHNAME: glibc's MON_ is the
  // form a date takes, genitive in Polish or Russian; ALTMON_ is the month's own name, the
  // same as MON_ in languages without cases.
  static const nl_item kMonths[12] = {ALTMON_1, ALTMON_2,  ALTMON_3,  ALTMON_4,
                                      ALTMON_5, ALTMON_6,  ALTMON_7,  ALTMON_8,
                                      ALTMON_9, ALTMON_10, ALTMON_11, ALTMON_12};
  LocaleFacts facts;
  for (size_t i = 0; i < 12; ++i)
    facts.monthNames[i] = DecodeText(codePage, nl_langinfo(kMonths[i]));
  facts.longTimeFormat = WindowsTimePattern(DecodeText(codePage, nl_langinfo(T_FMT)),
                                            DecodeText(codePage, nl_langinfo(T_FMT_AMPM)));
  facts.amDesignator = DecodeText(codePage, nl_langinfo(AM_STR));
  facts.pmDesignator = DecodeText(codePage, nl_langinfo(PM_STR));
  return facts;
}

}  // namespace compat
