// NetTimeText over the whole 32-bit range against the C library's own reading of the same
// second (gmtime_r), with English month names and "HH:mm:ss". Before fuzzing, the first and the
// last second of every day from 1970 to 2106 are compared once. Arbitrary locale patterns and
// designators must never crash and never change the date.
#include <ctime>
#include <string>

#include "Actions/Actions.h"
#include "FuzzInput.h"
#include "ScriptedMachine.h"

namespace {

const char* const kMonths[12] = {"January",   "February", "March",    "April",
                                 "May",       "June",     "July",     "August",
                                 "September", "October",  "November", "December"};

DateFormat English() {
  DateFormat format;
  for (int i = 0; i < 12; ++i)
    format.monthNames[i] =
        std::wstring(kMonths[i], kMonths[i] + std::char_traits<char>::length(kMonths[i]));
  format.longTimeFormat = L"HH:mm:ss";
  format.amDesignator = L"AM";
  format.pmDesignator = L"PM";
  return format;
}

// "dd Month yyyy" and, when withTime, " HH:mm:ss".
std::wstring Reference(DWORD seconds, bool withTime) {
  if (seconds == 0) return L"unknown";
  if (seconds == 0xFFFFFFFF) return L"never";
  time_t when = static_cast<time_t>(seconds);
  tm parts{};
  FUZZ_CHECK(gmtime_r(&when, &parts) != nullptr);
  char text[64];
  if (withTime) {
    std::snprintf(text, sizeof(text), "%02d %s %d %02d:%02d:%02d", parts.tm_mday,
                  kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour, parts.tm_min,
                  parts.tm_sec);
  } else {
    std::snprintf(text, sizeof(text), "%02d %s %d ", parts.tm_mday, kMonths[parts.tm_mon],
                  parts.tm_year + 1900);
  }
  std::string narrow(text);
  return std::wstring(narrow.begin(), narrow.end());
}

void Check(DWORD seconds) {
  static const DateFormat format = English();
  FUZZ_CHECK(NetTimeText(seconds, format) == Reference(seconds, true));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (uint64_t day = 0; day * 86400 <= 0xFFFFFFFFu; ++day) {
    Check(static_cast<DWORD>(day * 86400));
    uint64_t last = day * 86400 + 86399;
    Check(static_cast<DWORD>(last > 0xFFFFFFFFu ? 0xFFFFFFFFu : last));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  DWORD seconds = input.Word();
  Check(seconds);

  // The locale as the machine gives it: without month names or a time format the report falls
  // back to English and "HH:mm:ss"; with them, any pattern keeps the date in front.
  compat::ScriptedMachine machine;
  uint8_t mode = input.Byte();
  if ((mode & 1) != 0) machine.locale.monthNames[mode % 12].clear();
  machine.locale.longTimeFormat = (mode & 2) != 0 ? input.Wide() : std::wstring();
  machine.locale.amDesignator = input.Wide();
  machine.locale.pmDesignator = input.Wide();
  compat::MachineScope scope(machine);
  DateFormat format = ReadDateFormat();
  std::wstring text = NetTimeText(seconds, format);
  if (seconds == 0 || seconds == 0xFFFFFFFF || machine.locale.longTimeFormat.empty()) {
    FUZZ_CHECK(text == Reference(seconds, true));
  } else {
    std::wstring date = Reference(seconds, false);
    FUZZ_CHECK(text.compare(0, date.size(), date) == 0);
  }
  return 0;
}
