// The formatter with arbitrary format texts and values, against a second formatter built on
// snprintf. A format that does not fit its values must raise Error, never crash, and a value is
// never read as format text.
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "AnsiReference.h"
#include "Format/Error.h"
#include "Format/Format.h"
#include "FuzzInput.h"
#include "ScriptedMachine.h"

namespace {

constexpr UINT kCodePages[] = {65001, 20127, 28591, 28605, 1252};
constexpr size_t kMaxWidth = 4096;

struct Value {
  FormatArg::Kind kind;
  std::string ansi;
  std::wstring wide;
  uint32_t integer = 0;

  FormatArg Arg() const {
    switch (kind) {
      case FormatArg::Kind::Ansi:
        return FormatArg(ansi);
      case FormatArg::Kind::Wide:
        return FormatArg(wide);
      case FormatArg::Kind::Integer:
        break;
    }
    return FormatArg(integer);
  }
};

std::optional<std::string> Reference(const std::string& format, const std::vector<Value>& values,
                                     UINT codePage) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t width = 0;
    while (i + 1 < format.size() && format[i + 1] >= '0' && format[i + 1] <= '9') {
      width = width * 10 + static_cast<size_t>(format[++i] - '0');
      if (width > kMaxWidth) return std::nullopt;
    }
    if (i + 1 >= format.size() || next >= values.size()) return std::nullopt;
    char conversion = format[++i];
    const Value& value = values[next++];
    std::string text;
    char digits[16];
    if (conversion == 's' && value.kind == FormatArg::Kind::Ansi) {
      text = value.ansi;
    } else if (conversion == 's' && value.kind == FormatArg::Kind::Wide) {
      text = ReferenceAnsi(codePage, value.wide);
    } else if (conversion == 'd' && value.kind == FormatArg::Kind::Integer) {
      std::snprintf(digits, sizeof(digits), "%" PRId32, static_cast<int32_t>(value.integer));
      text = digits;
    } else if (conversion == 'x' && value.kind == FormatArg::Kind::Integer) {
      std::snprintf(digits, sizeof(digits), "%" PRIX32, value.integer);
      text = digits;
    } else {
      return std::nullopt;
    }
    if (text.size() < width) out.append(width - text.size(), ' ');
    out += text;
  }
  if (next != values.size()) return std::nullopt;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  static compat::ScriptedMachine machine;
  machine.codePage = kCodePages[input.Byte() % std::size(kCodePages)];
  compat::MachineScope scope(machine);

  std::vector<Value> values(input.Byte() % 8);
  for (Value& value : values) {
    switch (input.Byte() % 3) {
      case 0:
        value.kind = FormatArg::Kind::Ansi;
        value.ansi = input.Bytes();
        break;
      case 1:
        value.kind = FormatArg::Kind::Wide;
        value.wide = input.Wide();
        break;
      default:
        value.kind = FormatArg::Kind::Integer;
        value.integer = input.Word();
    }
  }
  std::string format = input.RestAsBytes();

  std::vector<FormatArg> args;
  for (const Value& value : values) args.push_back(value.Arg());
  std::optional<std::string> actual;
  // Format takes an initializer_list; cases have up to seven values.
  auto call = [&]() -> std::string {
    auto a = [&](size_t i) { return args[i]; };
    switch (args.size()) {
      case 0:
        return Format(format, {});
      case 1:
        return Format(format, {a(0)});
      case 2:
        return Format(format, {a(0), a(1)});
      case 3:
        return Format(format, {a(0), a(1), a(2)});
      case 4:
        return Format(format, {a(0), a(1), a(2), a(3)});
      case 5:
        return Format(format, {a(0), a(1), a(2), a(3), a(4)});
      case 6:
        return Format(format, {a(0), a(1), a(2), a(3), a(4), a(5)});
      default:
        return Format(format, {a(0), a(1), a(2), a(3), a(4), a(5), a(6)});
    }
  };
  try {
    actual = call();
  } catch (const Error& error) {
    // The message quotes the format, up to a zero byte it may hold.
    FUZZ_CHECK(error.Message().rfind("Format '", 0) == 0);
  }
  FUZZ_CHECK(actual == Reference(format, values, machine.codePage));
  return 0;
}
