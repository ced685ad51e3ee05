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
  static const nl_item kMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                      MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
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
