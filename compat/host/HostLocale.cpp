// The user's locale: the code page of its character set, month names and long time format.
#include <langinfo.h>

#include <clocale>

#include "CodePages.h"
#include "host/HostMachine.h"

namespace compat {

HostMachine::HostMachine() {
  std::setlocale(LC_ALL, "");
  codePage_ = CodePageOfCharset(nl_langinfo(CODESET));
  static const nl_item kMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                      MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  for (int i = 0; i < 12; ++i) locale_.monthNames[i] = FromHost(nl_langinfo(kMonths[i]));
  locale_.longTimeFormat = L"HH:mm:ss";
  locale_.amDesignator = FromHost(nl_langinfo(AM_STR));
  locale_.pmDesignator = FromHost(nl_langinfo(PM_STR));
}

UINT HostMachine::AnsiCodePage() { return codePage_; }

LocaleFacts HostMachine::Locale() { return locale_; }

}  // namespace compat
