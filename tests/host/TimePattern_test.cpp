// The locale's strftime time format as Windows' time pattern.
#include "host/TimePattern.h"

#include <gtest/gtest.h>

namespace compat {
namespace {

TEST(TimePattern, StrftimeToWindows) {
  struct Case {
    const wchar_t* strftime;
    const wchar_t* amPm;
    const wchar_t* windows;
  };
  const Case cases[] = {
      {L"%H:%M:%S", L"", L"HH:mm:ss"},          // C, POSIX
      {L"%T", L"", L"HH:mm:ss"},                // de_DE, C.UTF-8
      {L"%r", L"%I:%M:%S %p", L"hh:mm:ss tt"},  // en_US
      {L"%r", L"", L"hh:mm:ss tt"},             // a locale without a 12-hour format
      {L"%r", L"%p %I\uC2DC %M\uBD84 %S\uCD08", L"tt hh'\uC2DC 'mm'\uBD84 'ss'\uCD08'"},  // ko_KR
      {L"%l:%M:%S %P %Z", L"", L"h:mm:ss tt"},  // zone left out with its blank
      {L"%H\u6642%M\u5206%S\u79D2", L"", L"HH'\u6642'mm'\u5206'ss'\u79D2'"},  // ja_JP
      {L"%H.%M.%S", L"", L"HH.mm.ss"},
      {L"%H h %M", L"", L"HH' h 'mm"},  // letters go in quotes
      {L"%k:%M", L"", L"H:mm"},
      {L"%-H:%-M:%-S", L"", L"H:m:s"},
      {L"%OH:%OM:%OS", L"", L"HH:mm:ss"},
      {L"%R", L"", L"HH:mm"},
      {L"%H%%", L"", L"HH%"},
      {L"%H%n%M%t%S", L"", L"HH mm ss"},  // a new line and a tab each a blank
      {L"it's %H", L"", L"'its 'HH"},     // a quote cannot be carried
      {L"%Y-%m-%d", L"", L""},            // nothing of a time of day
      {L"", L"", L""},
      {L"%", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.strftime).c_str());
    EXPECT_EQ(WindowsTimePattern(c.strftime, c.amPm), c.windows);
  }
}

TEST(TimePattern, TwelveHourFormatDoesNotRecurseForever) {
  EXPECT_EQ(WindowsTimePattern(L"%r", L"%r"), L"hh:mm:ss tt");
}

}  // namespace
}  // namespace compat
