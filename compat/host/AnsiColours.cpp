#include "host/AnsiColours.h"

namespace compat {
namespace {

constexpr WORD kForegroundMask = 0x0007;
constexpr WORD kForegroundIntensity = 0x0008;
constexpr WORD kBackgroundMask = 0x0070;
constexpr WORD kBackgroundIntensity = 0x0080;
constexpr WORD kReverseVideo = 0x4000;  // COMMON_LVB_REVERSE_VIDEO
constexpr WORD kUnderscore = 0x8000;    // COMMON_LVB_UNDERSCORE

// Windows' colour bits are blue 1, green 2, red 4; ANSI's colour numbers red 1, green 2,
// blue 4.
int AnsiColourOf(WORD bits) {
  return ((bits & 4) != 0 ? 1 : 0) | ((bits & 2) != 0 ? 2 : 0) | ((bits & 1) != 0 ? 4 : 0);
}

}  // namespace

std::string AnsiSequenceOf(WORD attribute) {
  std::string sequence = "\x1b[0";
  WORD foreground = attribute & kForegroundMask;
  bool foregroundBright = (attribute & kForegroundIntensity) != 0;
  if (foreground != 0x0007 || foregroundBright) {
    sequence += ';' + std::to_string((foregroundBright ? 90 : 30) + AnsiColourOf(foreground));
  }
  WORD background = static_cast<WORD>((attribute & kBackgroundMask) >> 4);
  bool backgroundBright = (attribute & kBackgroundIntensity) != 0;
  if (background != 0 || backgroundBright) {
    sequence += ';' + std::to_string((backgroundBright ? 100 : 40) + AnsiColourOf(background));
  }
  if ((attribute & kUnderscore) != 0) sequence += ";4";
  if ((attribute & kReverseVideo) != 0) sequence += ";7";
  return sequence + "m";
}

}  // namespace compat
