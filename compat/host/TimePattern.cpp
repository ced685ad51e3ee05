#include "host/TimePattern.h"

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
    if (literal_.empty()) return;
    bool hasLetter = false;
    for (wchar_t c : literal_) hasLetter = hasLetter || IsAsciiLetter(c) || c > 0x7F;
    if (hasLetter) {
      out_ += L'\'';
      out_ += literal_;
      out_ += L'\'';
    } else {
      out_ += literal_;
    }
    literal_.clear();
  }

  std::wstring literal_;
  std::wstring out_;
  bool hasField_ = false;
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
    switch (pattern[i++]) {
      case L'H':
        writer.Field(unpadded ? L"H" : L"HH");
        break;
      case L'k':
        writer.Field(L"H");
        break;
      case L'I':
        writer.Field(unpadded ? L"h" : L"hh");
        break;
      case L'l':
        writer.Field(L"h");
        break;
      case L'M':
        writer.Field(unpadded ? L"m" : L"mm");
        break;
      case L'S':
        writer.Field(unpadded ? L"s" : L"ss");
        break;
      case L'p':
      case L'P':
        writer.Field(L"tt");
        break;
      case L'T':
      case L'X':
        writer.Field(L"HH:mm:ss");
        break;
      case L'R':
        writer.Field(L"HH:mm");
        break;
      case L'r':
        if (depth == 0 && !amPmPattern.empty()) {
          Convert(amPmPattern, amPmPattern, depth + 1, writer);
        } else {
          writer.Field(L"hh:mm:ss tt");
        }
        break;
      case L'%':
        writer.Literal(L'%');
        break;
      case L'n':
      case L't':
        writer.Literal(L' ');
        break;
      default:
        break;  // a date or time-zone field
    }
  }
}

}  // namespace

std::wstring WindowsTimePattern(std::wstring_view strftimePattern, std::wstring_view amPmPattern) {
  PatternWriter writer;
  Convert(strftimePattern, amPmPattern, 0, writer);
  return writer.Finish();
}

}  // namespace compat
