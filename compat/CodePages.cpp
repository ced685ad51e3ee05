#include "CodePages.h"

#include <iconv.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace compat {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// The character sets of Linux locales that Windows has a code page for. Several names may stand
// for one code page; the first names the character set iconv converts with, which for 932 and
// 874 is glibc's copy of Windows' own table (its SHIFT_JIS reads 0x5C as a yen sign, its
// TIS-620 has no euro sign). Hong Kong's BIG5-HKSCS is 950, Windows' code page there: what
// HKSCS adds to Big5 prints as "?".
constexpr CodePage kCodePages[] = {
    {65001, false, false, "UTF-8"},      {20127, true, false, "ANSI_X3.4-1968"},
    {28591, true, false, "ISO-8859-1"},  {28592, true, false, "ISO-8859-2"},
    {28593, true, false, "ISO-8859-3"},  {28594, true, false, "ISO-8859-4"},
    {28595, true, false, "ISO-8859-5"},  {28596, true, false, "ISO-8859-6"},
    {28597, true, false, "ISO-8859-7"},  {28598, true, false, "ISO-8859-8"},
    {28599, true, false, "ISO-8859-9"},  {28603, true, false, "ISO-8859-13"},
    {28605, true, false, "ISO-8859-15"}, {1250, true, false, "CP1250"},
    {1251, true, false, "CP1251"},       {1252, true, false, "CP1252"},
    {1253, true, false, "CP1253"},       {1254, true, false, "CP1254"},
    {1255, true, false, "CP1255"},       {1256, true, false, "CP1256"},
    {1257, true, false, "CP1257"},       {1258, true, false, "CP1258"},
    {874, true, false, "CP874"},         {874, true, false, "TIS-620"},
    {20866, true, false, "KOI8-R"},      {21866, true, false, "KOI8-U"},
    {932, false, false, "CP932"},        {932, false, false, "SHIFT_JIS"},
    {932, false, false, "SJIS"},         {936, false, false, "GBK"},
    {20936, false, false, "GB2312"},     {54936, false, true, "GB18030"},
    {950, false, false, "BIG5"},         {950, false, false, "BIG5-HKSCS"},
    {949, false, false, "UHC"},          {949, false, false, "CP949"},
    {51949, false, false, "EUC-KR"},     {20932, false, false, "EUC-JP"},
};

// Where Windows' single-byte tables are not glibc's. Windows' own code pages give their
// undefined bytes 0x80 to 0x9F the C1 control of the same number, as ISO-8859 does; and Windows
// gives every byte from 0xA0 up that a page does not define a private-use character, numbered
// in byte order from the page's first, so that every byte reads as a character and writes back
// as itself.
bool IsWindowsSingleByte(UINT number) {
  return number == 874 || (number >= 1250 && number <= 1258);
}
struct PrivateUse {
  UINT number;
  wchar_t first;
};
constexpr PrivateUse kPrivateUse[] = {
    {874, 0xF8C1},   {1253, 0xF8F9},  {1255, 0xF88D},  {1257, 0xF8FC},
    {28593, 0xF7F5}, {28596, 0xF7C8}, {28597, 0xF7C2}, {28598, 0xF79C},
};
// And the bytes whose character Windows' table gives otherwise (kReplacement: not defined):
// 28597 is the Greek set of 1987 (modifier letters for the quotes; no euro, drachma or
// ypogegrammeni), 28598 has the overline and no direction marks, 1255 has U+05BA, and 21866
// has Belarusian's short u where KOI8-U has two box-drawing pieces. The double-byte pages
// read single bytes glibc leaves undefined, and 950 writes four box-drawing characters, which
// two byte pairs read as, with the pair Windows picks.
struct ByteOf {
  UINT number;
  uint16_t bytes;  // above 0xFF: a lead byte and a trail byte
  wchar_t c;
};
constexpr ByteOf kWindowsBytes[] = {
    {28597, 0xA1, 0x02BD},       {28597, 0xA2, 0x02BC},       {28597, 0xA4, kReplacement},
    {28597, 0xA5, kReplacement}, {28597, 0xAA, kReplacement}, {28598, 0xAF, 0x203E},
    {28598, 0xFD, kReplacement}, {28598, 0xFE, kReplacement}, {1255, 0xCA, 0x05BA},
    {21866, 0xAE, 0x045E},       {21866, 0xBE, 0x040E},       {932, 0x80, 0x0080},
    {932, 0xA0, 0xF8F0},         {932, 0xFD, 0xF8F1},         {932, 0xFE, 0xF8F2},
    {932, 0xFF, 0xF8F3},         {936, 0xFF, 0xF8F5},         {949, 0x80, 0x0080},
    {949, 0xFF, 0xF8F7},         {950, 0xFF, 0xF8F8},         {950, 0xF9F9, 0x2550},
    {950, 0xF9E9, 0x255E},       {950, 0xF9EA, 0x256A},       {950, 0xF9EB, 0x2561},
};

const ByteOf* WindowsByte(UINT number, uint16_t bytes) {
  for (const ByteOf& row : kWindowsBytes) {
    if (row.number == number && row.bytes == bytes) return &row;
  }
  return nullptr;
}

const ByteOf* WindowsChar(UINT number, wchar_t c) {
  for (const ByteOf& row : kWindowsBytes) {
    if (row.number == number && row.c == c) return &row;
  }
  return nullptr;
}

void MakeWindowsTable(UINT number, std::array<wchar_t, 256>& decode) {
  for (unsigned b = 0x80; b < 0xA0 && IsWindowsSingleByte(number); ++b) {
    if (decode[b] == kReplacement) decode[b] = static_cast<wchar_t>(b);
  }
  for (const ByteOf& row : kWindowsBytes) {
    if (row.number == number && row.bytes <= 0xFF) decode[row.bytes] = row.c;
  }
  for (const PrivateUse& row : kPrivateUse) {
    if (row.number != number) continue;
    wchar_t next = row.first;
    for (unsigned b = 0xA0; b < 256; ++b) {
      if (decode[b] == kReplacement) decode[b] = next++;
    }
  }
}

// An iconv conversion, closed when it goes away.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  // Converts all of in to out, from the initial state; false when it cannot.
  bool Convert(const void* in, size_t cbIn, void* out, size_t& cbOut) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    auto* from = const_cast<char*>(static_cast<const char*>(in));
    auto* to = static_cast<char*>(out);
    size_t left = cbOut;
    // The second call hands out what a stateful character set (1255, 1258) holds back in case
    // a combining mark follows.
    if (iconv(handle_, &from, &cbIn, &to, &left) == static_cast<size_t>(-1) || cbIn != 0 ||
        iconv(handle_, nullptr, nullptr, &to, &left) == static_cast<size_t>(-1)) {
      return false;
    }
    cbOut -= left;
    return true;
  }

 private:
  iconv_t handle_;
};

// A multi-byte code page's conversion to or from wide text, opened once per thread: writing a
// character reads it back, and opening a conversion costs more than either.
Converter& ConverterOf(const CodePage& codePage, bool toWide) {
  thread_local std::map<std::pair<UINT, bool>, std::unique_ptr<Converter>> converters;
  std::unique_ptr<Converter>& converter = converters[{codePage.number, toWide}];
  if (!converter) {
    converter = toWide ? std::make_unique<Converter>("WCHAR_T", codePage.charset)
                       : std::make_unique<Converter>(codePage.charset, "WCHAR_T");
  }
  return *converter;
}

// A single-byte code page as two tables, made once from iconv.
struct SingleByteTable {
  std::array<wchar_t, 256> decode{};
  std::unordered_map<wchar_t, char> encode;
};

const SingleByteTable& TableOf(const CodePage& codePage) {
  static std::mutex lock;
  static std::map<UINT, std::unique_ptr<SingleByteTable>> tables;
  std::lock_guard<std::mutex> guard(lock);
  std::unique_ptr<SingleByteTable>& table = tables[codePage.number];
  if (table) return *table;
  table = std::make_unique<SingleByteTable>();
  Converter converter("WCHAR_T", codePage.charset);
  for (unsigned b = 0; b < 256; ++b) {
    wchar_t c = kReplacement;
    size_t cbOut = sizeof(c);
    char byte = static_cast<char>(b);
    if (b < 0x80 || codePage.number == 20127) {
      c = static_cast<wchar_t>(b & 0x7F);  // 20127 drops the eighth bit, as Windows does
    } else if (!converter.valid() || !converter.Convert(&byte, 1, &c, cbOut) ||
               cbOut != sizeof(c)) {
      c = kReplacement;
    }
    table->decode[b] = c;
  }
  MakeWindowsTable(codePage.number, table->decode);
  for (unsigned b = 0; b < 256; ++b) {
    wchar_t c = table->decode[b];
    if (c != kReplacement && (b < 0x80 || codePage.number != 20127)) {
      table->encode.emplace(c, static_cast<char>(b));
    }
  }
  return *table;
}

// Windows' reading of UTF-8: a lead byte and the continuation bytes that follow it as far as
// they can still make a character are one invalid piece, so a sequence cut short is one U+FFFD;
// a byte that cannot start a character is one piece of its own.
std::wstring DecodeUtf8(std::string_view bytes, bool& invalid) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    int length = lead >= 0xC2 && lead <= 0xDF   ? 1
                 : lead >= 0xE0 && lead <= 0xEF ? 2
                 : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                : 0;
    uint32_t value = lead & (length == 1 ? 0x1F : length == 2 ? 0x0F : 0x07);
    size_t used = 1;
    bool valid = length > 0;
    for (int left = length; valid && left > 0; --left) {
      unsigned next =
          i + used < bytes.size() ? static_cast<unsigned char>(bytes[i + used]) ^ 0x80u : 0x100u;
      if (next >= 0x40) {
        valid = false;
        break;
      }
      value = (value << 6) | next;
      ++used;
      // Overlong forms, values above U+10FFFF and surrogates end the piece where they show.
      if ((left == 3 && (value < 0x10 || value >= 0x110)) ||
          (left == 2 && (value < 0x20 || (value >= 0x360 && value < 0x380))) ||
          (left == 1 && value < 0x80)) {
        valid = false;
      }
    }
    invalid = invalid || !valid;
    out += valid ? static_cast<wchar_t>(value) : kReplacement;
    i += used;
  }
  return out;
}

bool IsCodePoint(wchar_t c) {
  auto value = static_cast<uint32_t>(c);
  return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

bool EncodeUtf8(wchar_t c, std::string& out) {
  if (!IsCodePoint(c)) return false;
  auto cp = static_cast<uint32_t>(c);
  // The lead byte carries the top bits, each continuation byte six more.
  int continuations = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  constexpr uint32_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[continuations] | (cp >> (6 * continuations)));
  for (int i = continuations - 1; i >= 0; --i) {
    out += static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F));
  }
  return true;
}

// Multi-byte code pages go through iconv a piece at a time: a byte it cannot read is U+FFFD, in a
// double-byte page its default character.
std::wstring DecodeMultiByte(const CodePage& codePage, std::string_view bytes, bool& invalid) {
  Converter& converter = ConverterOf(codePage, true);
  std::wstring out;
  size_t i = 0;
  while (i < bytes.size()) {
    if (const ByteOf* row = WindowsByte(codePage.number, static_cast<unsigned char>(bytes[i]))) {
      out += row->c;
      ++i;
      continue;
    }
    wchar_t c = kReplacement;
    size_t used = 0;
    if (IsLeadByte(codePage.number, static_cast<unsigned char>(bytes[i]))) {
      // Windows' double-byte pages read a lead byte and whatever byte follows it but a null as
      // one character: a pair they do not define, or a lead byte alone, is their default one.
      used = i + 1 < bytes.size() && bytes[i + 1] != '\0' ? 2 : 1;
      size_t cbOut = sizeof(c);
      if (used == 1 || !converter.valid() ||
          !converter.Convert(bytes.data() + i, used, &c, cbOut) || cbOut != sizeof(c)) {
        c = codePage.number == 932 ? L'\u30FB' : L'?';
        invalid = true;
      }
    }
    for (size_t n = 1; used == 0 && n <= 4 && i + n <= bytes.size(); ++n) {
      size_t cbOut = sizeof(c);
      if (converter.valid() && converter.Convert(bytes.data() + i, n, &c, cbOut) &&
          cbOut == sizeof(c)) {
        used = n;
      }
    }
    if (used == 0) {
      c = kReplacement;
      used = 1;
      invalid = true;
    }
    out += c;
    i += used;
  }
  return out;
}

}  // namespace

const CodePage* FindCodePage(UINT number) {
  for (const CodePage& codePage : kCodePages) {
    if (codePage.number == number) return &codePage;
  }
  return nullptr;
}

bool IsLeadByte(UINT number, unsigned char b) {
  if (number == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return (number == 936 || number == 949 || number == 950) && b >= 0x81 && b <= 0xFE;
}

UINT CodePageOfCharset(std::string_view charset) {
  auto normal = [](std::string_view name) {
    std::string text;
    for (char c : name) {
      if (c != '-' && c != '_')
        text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
  };
  std::string wanted = normal(charset);
  for (const CodePage& codePage : kCodePages) {
    if (normal(codePage.charset) == wanted) return codePage.number;
  }
  return 20127;
}

std::wstring Decode(const CodePage& codePage, std::string_view bytes, bool& invalid) {
  if (codePage.number == 65001) return DecodeUtf8(bytes, invalid);
  if (!codePage.singleByte) return DecodeMultiByte(codePage, bytes, invalid);
  const SingleByteTable& table = TableOf(codePage);
  std::wstring out(bytes.size(), L'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[i] = table.decode[static_cast<unsigned char>(bytes[i])];
    invalid = invalid || out[i] == kReplacement;
  }
  return out;
}

bool EncodeChar(const CodePage& codePage, wchar_t c, std::string& out) {
  if (static_cast<uint32_t>(c) < 0x80) {
    out += static_cast<char>(c);
    return true;
  }
  if (codePage.number == 65001) return EncodeUtf8(c, out);
  if (codePage.singleByte) {
    const SingleByteTable& table = TableOf(codePage);
    auto it = table.encode.find(c);
    if (it == table.encode.end()) return false;
    out += it->second;
    return true;
  }
  if (const ByteOf* row = WindowsChar(codePage.number, c)) {
    if (row->bytes > 0xFF) out += static_cast<char>(row->bytes >> 8);
    out += static_cast<char>(row->bytes & 0xFF);
    return true;
  }
  char bytes[8];
  size_t cbOut = sizeof(bytes);
  Converter& converter = ConverterOf(codePage, false);
  if (!IsCodePoint(c) || !converter.valid() || !converter.Convert(&c, sizeof(c), bytes, cbOut)) {
    return false;
  }
  // Only a character the bytes read back as: glibc also writes look-alikes (the yen sign as
  // 932's backslash), which Windows writes only when asked for a best fit.
  bool invalid = false;
  if (DecodeMultiByte(codePage, std::string_view(bytes, cbOut), invalid) != std::wstring(1, c)) {
    return false;
  }
  out.append(bytes, cbOut);
  return true;
}

std::wstring DecodeText(UINT number, std::string_view bytes) {
  const CodePage* codePage = FindCodePage(number);
  bool invalid = false;
  return codePage == nullptr ? std::wstring() : Decode(*codePage, bytes, invalid);
}

std::string EncodeText(UINT number, std::wstring_view text) {
  const CodePage* codePage = FindCodePage(number);
  std::string out;
  if (codePage == nullptr) return out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!EncodeChar(*codePage, c, out)) out += number == 65001 ? "\xEF\xBF\xBD" : "?";
  }
  return out;
}

}  // namespace compat
