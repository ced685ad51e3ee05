// Dates of the account details: seconds since 1970 as the UTC date and the locale's long time.
#include <memory>
#include <vector>

#include "Actions/Actions.h"

namespace {

const wchar_t* const kEnglishMonths[12] = {L"January",   L"February", L"March",    L"April",
                                           L"May",       L"June",     L"July",     L"August",
                                           L"September", L"October",  L"November", L"December"};

std::wstring LocaleText(LCTYPE type) {
  int cch = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
  if (cch <= 1) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(cch), L'\0');
  cch = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer.data(), cch);
  if (cch <= 1) return std::wstring();
  return std::wstring(buffer.data(), static_cast<size_t>(cch - 1));
}

std::wstring TwoDigits(unsigned value) {
  return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10 % 10)) +
         static_cast<wchar_t>(L'0' + value % 10);
}

// The time of day in Windows' time pattern: h/hh 12-hour, H/HH 24-hour, m/mm, s/ss, t/tt the
// AM/PM designator (first character or whole), text in single quotes taken literally.
std::wstring FormatTime(unsigned hour, unsigned minute, unsigned second, const DateFormat& format) {
  const std::wstring& pattern = format.longTimeFormat;
  std::wstring out;
  size_t i = 0;
  while (i < pattern.size()) {
    wchar_t c = pattern[i];
    if (c == L'\'') {
      size_t end = pattern.find(L'\'', i + 1);
      if (end == std::wstring::npos) end = pattern.size();
      out += pattern.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    switch (c) {
      case L'h': {
        unsigned twelve = hour % 12 == 0 ? 12 : hour % 12;
        out += run >= 2 ? TwoDigits(twelve) : std::to_wstring(twelve);
        break;
      }
      case L'H':
        out += run >= 2 ? TwoDigits(hour) : std::to_wstring(hour);
        break;
      case L'm':
        out += run >= 2 ? TwoDigits(minute) : std::to_wstring(minute);
        break;
      case L's':
        out += run >= 2 ? TwoDigits(second) : std::to_wstring(second);
        break;
      case L't': {
        const std::wstring& designator = hour < 12 ? format.amDesignator : format.pmDesignator;
        out += run >= 2 ? designator : designator.substr(0, 1);
        break;
      }
      default:
        out.append(run, c);
    }
    i += run;
  }
  return out;
}

// The civil date of a day count since 1 January 1970 (proleptic Gregorian calendar).
void CivilDate(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

std::unique_ptr<DateFormat>& ModuleDateFormat() {
  static std::unique_ptr<DateFormat> format;
  return format;
}

}  // namespace

DateFormat ReadDateFormat() {
  DateFormat format;
  bool complete = true;
  for (int i = 0; i < 12; ++i) {
    format.monthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(i));
    complete = complete && !format.monthNames[i].empty();
  }
  if (!complete) {
    for (int i = 0; i < 12; ++i) format.monthNames[i] = kEnglishMonths[i];
  }
  format.longTimeFormat = LocaleText(LOCALE_STIMEFORMAT);
  if (format.longTimeFormat.empty()) format.longTimeFormat = L"HH:mm:ss";
  format.amDesignator = LocaleText(LOCALE_S1159);
  format.pmDesignator = LocaleText(LOCALE_S2359);
  return format;
}

std::wstring NetTimeText(DWORD seconds, const DateFormat& format) {
  if (seconds == 0) return L"unknown";
  if (seconds == TIMEQ_FOREVER) return L"never";
  int64_t year = 0;
  unsigned month = 1;
  unsigned day = 1;
  CivilDate(seconds / 86400, year, month, day);
  unsigned secondOfDay = seconds % 86400;
  std::wstring text =
      TwoDigits(day) + L' ' + format.monthNames[month - 1] + L' ' + std::to_wstring(year) + L' ';
  return text + FormatTime(secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60, format);
}

std::wstring NetTimeText(DWORD seconds) {
  std::unique_ptr<DateFormat>& format = ModuleDateFormat();
  if (!format) format = std::make_unique<DateFormat>(ReadDateFormat());
  return NetTimeText(seconds, *format);
}

void LoadDateFormat() {
  ModuleDateFormat() = std::make_unique<DateFormat>(ReadDateFormat());
}

void UnloadDateFormat() {
  ModuleDateFormat().reset();
}
