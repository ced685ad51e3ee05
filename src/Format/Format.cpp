#include "Format/Format.h"

#include "Format/Error.h"
#include "Format/TextConversion.h"

namespace {

[[noreturn]] void RaiseMismatch(std::string_view format) {
  throw Error("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Decimal(uint32_t bits) {
  auto value = static_cast<int64_t>(static_cast<int32_t>(bits));
  return std::to_string(value);
}

std::string Hexadecimal(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return text;
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16 * args.size());
  const FormatArg* next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t width = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      width = width * 10 + static_cast<size_t>(format[i++] - '0');
      if (width > 4096) RaiseMismatch(format);
    }
    if (i == format.size() || next == args.end()) RaiseMismatch(format);
    char conversion = format[i++];
    const FormatArg& arg = *next++;
    std::string value;
    switch (conversion) {
      case 's':
        if (arg.kind() == FormatArg::Kind::Ansi) {
          value = std::string(arg.ansi());
        } else if (arg.kind() == FormatArg::Kind::Wide) {
          value = WideToAnsi(arg.wide());
        } else {
          RaiseMismatch(format);
        }
        break;
      case 'd':
        if (arg.kind() != FormatArg::Kind::Integer) RaiseMismatch(format);
        value = Decimal(arg.integer());
        break;
      case 'x':
        if (arg.kind() != FormatArg::Kind::Integer) RaiseMismatch(format);
        value = Hexadecimal(arg.integer());
        break;
      default:
        RaiseMismatch(format);
    }
    if (value.size() < width) out.append(width - value.size(), ' ');
    out += value;
  }
  if (next != args.end()) RaiseMismatch(format);
  return out;
}
