#include "host/HostLocale.h"

#include <langinfo.h>

#include <clocale>

#include "CodePages.h"
#include "host/HostMachine.h"
#include "host/HostText.h"
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
    facts.monthNames[i] = WideFromHost(codePage, nl_langinfo(kMonths[i]));
  facts.longTimeFormat = WindowsTimePattern(WideFromHost(codePage, nl_langinfo(T_FMT)),
                                            WideFromHost(codePage, nl_langinfo(T_FMT_AMPM)));
  facts.amDesignator = WideFromHost(codePage, nl_langinfo(AM_STR));
  facts.pmDesignator = WideFromHost(codePage, nl_langinfo(PM_STR));
  return facts;
}

UINT HostMachine::AnsiCodePage() {
  return codePage_;
}

LocaleFacts HostMachine::Locale() {
  return locale_;
}

}  // namespace compat
