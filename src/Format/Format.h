// The formatter every line with values is built with. "%s" inserts a text (8-bit as it is, wide
// converted to the ANSI code page), "%d" a 32-bit value as signed decimal, "%x" as upper-case
// hexadecimal; a width ("%2x") right-aligns in blanks; "%%" is a percent sign. A format that
// does not fit its values raises Error; a value is never read as format text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

class FormatArg {
 public:
  enum class Kind { Ansi, Wide, Integer };

  FormatArg(const char* text) : kind_(Kind::Ansi), ansi_(text == nullptr ? "" : text) {}
  FormatArg(const std::string& text) : kind_(Kind::Ansi), ansi_(text) {}
  FormatArg(std::string_view text) : kind_(Kind::Ansi), ansi_(text) {}
  FormatArg(const wchar_t* text) : kind_(Kind::Wide), wide_(text == nullptr ? L"" : text) {}
  FormatArg(const std::wstring& text) : kind_(Kind::Wide), wide_(text) {}
  FormatArg(std::wstring_view text) : kind_(Kind::Wide), wide_(text) {}
  template <typename T,
            typename = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                        !std::is_same_v<T, char> && !std::is_same_v<T, wchar_t>>>
  FormatArg(T value) : kind_(Kind::Integer), integer_(static_cast<uint32_t>(value)) {
    static_assert(sizeof(T) <= 4, "the formatter takes 32-bit values");
  }

  Kind kind() const { return kind_; }
  std::string_view ansi() const { return ansi_; }
  std::wstring_view wide() const { return wide_; }
  uint32_t integer() const { return integer_; }

 private:
  Kind kind_;
  std::string_view ansi_;
  std::wstring_view wide_;
  uint32_t integer_ = 0;
};

std::string Format(std::string_view format, std::initializer_list<FormatArg> args);
