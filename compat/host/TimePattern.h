// The locale's time format (nl_langinfo(T_FMT), a strftime pattern) as Windows' long time
// pattern: H/HH 24-hour, h/hh 12-hour, mm, ss, tt (AM/PM), literal text in single quotes.
#pragma once

#include <string>
#include <string_view>

namespace compat {

// amPmPattern is the locale's 12-hour format (T_FMT_AMPM), which "%r" stands for.
// Conversions that are not part of a time of day (dates, time zones) are left out, since the
// report prints the date separately and the time in UTC without a zone. Empty when nothing of
// the pattern can be expressed.
std::wstring WindowsTimePattern(std::wstring_view strftimePattern, std::wstring_view amPmPattern);

}  // namespace compat
