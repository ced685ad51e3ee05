#include "host/TimePattern.h"

#include <algorithm>
#include <iterator>

namespace compat {
namespace {

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

class PatternWriter {
 public:
  void Literal(wchar_t c) {
    // A single quote cannot be written inside Windows' quoted text; it is left out.
    if (c != L'\'') literal_ += c;
  }
  void Field(std::wstring_view field) {
    FlushLiteral();
    out_ += field;
    hasField_ = true;
  }
  std::wstring Finish() {
    FlushLiteral();
    // Separators of left-out date fields alone are no time of day.
    if (!hasField_) return std::wstring();
    // Blanks that stood beside a left-out field (" %Z") are left out with it.
    size_t first = out_.find_first_not_of(L' ');
    if (first == std::wstring::npos) return std::wstring();
    return out_.substr(first, out_.find_last_not_of(L' ') - first + 1);
  }

 private:
  // Text with letters goes in quotes, so that no letter is taken for a field.
  void FlushLiteral() {
    bool hasLetter = std::any_of(literal_.begin(), literal_.end(),
                                 [](wchar_t c) { return IsAsciiLetter(c) || c > 0x7F; });
    out_ += hasLetter ? L'\'' + literal_ + L'\'' : literal_;
    literal_.clear();
  }

  std::wstring literal_;
  std::wstring out_;
  bool hasField_ = false;
};

// The time fields of strftime and Windows' field for each, zero-padded and not.
struct TimeField {
  wchar_t conversion;
  const wchar_t* padded;
  const wchar_t* unpadded;  // none: the same
};
constexpr TimeField kFields[] = {
    {L'H', L"HH", L"H"},          {L'k', L"H", nullptr},     {L'I', L"hh", L"h"},
    {L'l', L"h", nullptr},        {L'M', L"mm", L"m"},       {L'S', L"ss", L"s"},
    {L'p', L"tt", nullptr},       {L'P', L"tt", nullptr},    {L'T', L"HH:mm:ss", nullptr},
    {L'X', L"HH:mm:ss", nullptr}, {L'R', L"HH:mm", nullptr}, {L'r', L"hh:mm:ss tt", nullptr},
};

void Convert(std::wstring_view pattern, std::wstring_view amPmPattern, int depth,
             PatternWriter& writer) {
  size_t i = 0;
  while (i < pattern.size()) {
    wchar_t c = pattern[i++];
    if (c != L'%') {
      writer.Literal(c);
      continue;
    }
    // Flags, a width, and the E and O modifiers change only the look of a number.
    bool unpadded = false;
    while (i < pattern.size() && (pattern[i] == L'_' || pattern[i] == L'-' || pattern[i] == L'0' ||
                                  pattern[i] == L'^' || pattern[i] == L'#')) {
      unpadded = unpadded || pattern[i] == L'-' || pattern[i] == L'_';
      ++i;
    }
    while (i < pattern.size() && pattern[i] >= L'0' && pattern[i] <= L'9') ++i;
    if (i < pattern.size() && (pattern[i] == L'E' || pattern[i] == L'O')) ++i;
    if (i >= pattern.size()) break;
    wchar_t conversion = pattern[i++];
    // The locale's own 12-hour pattern, where it has one.
    if (conversion == L'r' && depth == 0 && !amPmPattern.empty()) {
      Convert(amPmPattern, amPmPattern, depth + 1, writer);
      continue;
    }
    auto field = std::find_if(std::begin(kFields), std::end(kFields),
                              [&](const TimeField& f) { return f.conversion == conversion; });
    if (field != std::end(kFields)) {
      writer.Field(unpadded && field->unpadded != nullptr ? field->unpadded : field->padded);
      continue;
    }
    if (conversion == L'%') {
      writer.Literal(L'%');
    } else if (conversion == L'n' || conversion == L't') {
      writer.Literal(L' ');
    }  // any other is a date or time-zone field, left out
  }
}

}  // namespace

std::wstring WindowsTimePattern(std::wstring_view strftimePattern, std::wstring_view amPmPattern) {
  PatternWriter writer;
  Convert(strftimePattern, amPmPattern, 0, writer);
  return writer.Finish();
}

}  // namespace compat
