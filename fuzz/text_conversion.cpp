// Wide/ANSI conversion in every code page the stand-in knows: EncodeText and DecodeText, the
// WideCharToMultiByte and MultiByteToWideChar stand-ins (size probes, exact and short buffers,
// CP_ACP, zero-ended input, invalid characters) and the program's WideToAnsi and AnsiToWide.
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "AnsiReference.h"
#include "CodePages.h"
#include "Format/TextConversion.h"
#include "EveryCodePage.h"
#include "FuzzInput.h"
#include "ScriptedMachine.h"

namespace {

bool IsMultiByte(UINT codePage) {
  return codePage != CP_UTF8 && !compat::FindCodePage(codePage)->singleByte;
}
// Windows' own double-byte tables read every byte and pair as some character.
bool ReadsEveryByte(UINT codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}
constexpr wchar_t kReplacement = 0xFFFD;

// Whether bytes are well-formed UTF-8 (Unicode's table 3-7), checked byte by byte.
bool IsValidUtf8(const std::string& bytes) {
  size_t i = 0;
  auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  auto inRange = [&](size_t k, unsigned lo, unsigned hi) {
    return k < bytes.size() && at(k) >= lo && at(k) <= hi;
  };
  while (i < bytes.size()) {
    unsigned b = at(i);
    size_t length = 0;
    if (b <= 0x7F) {
      length = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = inRange(i + 1, 0x80, 0xBF) ? 2 : 0;
    } else if (b == 0xE0) {
      length = inRange(i + 1, 0xA0, 0xBF) && inRange(i + 2, 0x80, 0xBF) ? 3 : 0;
    } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
      length = inRange(i + 1, 0x80, 0xBF) && inRange(i + 2, 0x80, 0xBF) ? 3 : 0;
    } else if (b == 0xED) {
      length = inRange(i + 1, 0x80, 0x9F) && inRange(i + 2, 0x80, 0xBF) ? 3 : 0;
    } else if (b == 0xF0) {
      length =
          inRange(i + 1, 0x90, 0xBF) && inRange(i + 2, 0x80, 0xBF) && inRange(i + 3, 0x80, 0xBF)
              ? 4
              : 0;
    } else if (b >= 0xF1 && b <= 0xF3) {
      length =
          inRange(i + 1, 0x80, 0xBF) && inRange(i + 2, 0x80, 0xBF) && inRange(i + 3, 0x80, 0xBF)
              ? 4
              : 0;
    } else if (b == 0xF4) {
      length =
          inRange(i + 1, 0x80, 0x8F) && inRange(i + 2, 0x80, 0xBF) && inRange(i + 3, 0x80, 0xBF)
              ? 4
              : 0;
    }
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool IsCodePoint(wchar_t c) {
  auto value = static_cast<uint32_t>(c);
  return value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
}

// MultiByteToWideChar with a probe, an exact buffer of its own allocation (so that a write past
// it is caught) and a buffer one too short.
std::wstring ToWide(UINT codePage, DWORD flags, const std::string& bytes, int& result) {
  int cb = static_cast<int>(bytes.size());
  result = MultiByteToWideChar(codePage, flags, bytes.data(), cb, nullptr, 0);
  if (result <= 0) return std::wstring();
  auto exact = std::make_unique<wchar_t[]>(static_cast<size_t>(result));
  FUZZ_CHECK(MultiByteToWideChar(codePage, flags, bytes.data(), cb, exact.get(), result) == result);
  if (result > 1) {
    auto shorter = std::make_unique<wchar_t[]>(static_cast<size_t>(result - 1));
    SetLastError(ERROR_SUCCESS);
    FUZZ_CHECK(MultiByteToWideChar(codePage, flags, bytes.data(), cb, shorter.get(), result - 1) ==
               0);
    FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
  }
  return std::wstring(exact.get(), static_cast<size_t>(result));
}

// As the program converts: without best fit, on the code pages that take the flag.
DWORD FlagsOf(UINT codePage) {
  UINT number = codePage == CP_ACP ? GetACP() : codePage;
  return number == CP_UTF8 || compat::FindCodePage(number)->flagsMustBeZero ? 0
                                                                            : WC_NO_BEST_FIT_CHARS;
}

std::string ToBytes(UINT codePage, const std::wstring& text, LPBOOL usedDefault) {
  int cch = static_cast<int>(text.size());
  DWORD flags = FlagsOf(codePage);
  int cb = WideCharToMultiByte(codePage, flags, text.data(), cch, nullptr, 0, nullptr, usedDefault);
  FUZZ_CHECK(cb > 0);
  auto exact = std::make_unique<char[]>(static_cast<size_t>(cb));
  FUZZ_CHECK(WideCharToMultiByte(codePage, flags, text.data(), cch, exact.get(), cb, nullptr,
                                 usedDefault) == cb);
  if (cb > 1) {
    auto shorter = std::make_unique<char[]>(static_cast<size_t>(cb - 1));
    SetLastError(ERROR_SUCCESS);
    FUZZ_CHECK(WideCharToMultiByte(codePage, flags, text.data(), cch, shorter.get(), cb - 1,
                                   nullptr, nullptr) == 0);
    FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
  }
  return std::string(exact.get(), static_cast<size_t>(cb));
}

void CheckBytes(UINT codePage, const std::string& bytes) {
  std::wstring decoded = compat::DecodeText(codePage, bytes);
  std::string reencoded = compat::EncodeText(codePage, decoded);
  if (codePage == CP_UTF8) {
    // Decoding is stable, gives code points only, and keeps well-formed text as it is.
    FUZZ_CHECK(IsValidUtf8(reencoded));
    FUZZ_CHECK(compat::DecodeText(codePage, reencoded) == decoded);
    for (wchar_t c : decoded) FUZZ_CHECK(IsCodePoint(c));
    if (IsValidUtf8(bytes)) FUZZ_CHECK(reencoded == bytes);
  } else if (IsMultiByte(codePage)) {
    // No character takes fewer bytes than units. In Windows' double-byte tables every byte and
    // pair reads as a character (the page's default one where it defines none); elsewhere what
    // the page cannot read is U+FFFD. What was read writes back as the same characters, U+FFFD
    // as "?" where the page cannot hold it.
    FUZZ_CHECK(decoded.size() <= bytes.size());
    if (ReadsEveryByte(codePage)) {
      for (wchar_t c : decoded) FUZZ_CHECK(c != kReplacement);
    }
    std::string replacement;
    bool holdsReplacement =
        compat::EncodeChar(*compat::FindCodePage(codePage), kReplacement, replacement);
    std::wstring expected = decoded;
    for (wchar_t& c : expected) {
      if (c == kReplacement && !holdsReplacement) c = L'?';
    }
    FUZZ_CHECK(compat::DecodeText(codePage, reencoded) == expected);
  } else {
    // One character per byte; every byte the code page defines comes back as it was (20127
    // drops the eighth bit, as Windows does).
    FUZZ_CHECK(decoded.size() == bytes.size());
    FUZZ_CHECK(reencoded.size() == bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (static_cast<unsigned char>(bytes[i]) < 0x80) FUZZ_CHECK(decoded[i] == bytes[i]);
      char back = codePage == 20127 ? static_cast<char>(bytes[i] & 0x7F) : bytes[i];
      FUZZ_CHECK(reencoded[i] == (decoded[i] == kReplacement ? '?' : back));
    }
  }

  int result = 0;
  if (bytes.empty()) {
    SetLastError(ERROR_SUCCESS);
    FUZZ_CHECK(MultiByteToWideChar(codePage, 0, bytes.data(), 0, nullptr, 0) == 0);
    FUZZ_CHECK(GetLastError() == ERROR_INVALID_PARAMETER);
    return;
  }
  FUZZ_CHECK(ToWide(codePage, 0, bytes, result) == decoded);
  FUZZ_CHECK(result == static_cast<int>(decoded.size()));
  if (codePage == CP_UTF8) {
    // MB_ERR_INVALID_CHARS fails exactly on text that is not well-formed.
    SetLastError(ERROR_SUCCESS);
    std::wstring strict = ToWide(codePage, MB_ERR_INVALID_CHARS, bytes, result);
    if (IsValidUtf8(bytes)) {
      FUZZ_CHECK(result == static_cast<int>(decoded.size()) && strict == decoded);
    } else {
      FUZZ_CHECK(result == 0 && GetLastError() == ERROR_NO_UNICODE_TRANSLATION);
    }
  }
  // A zero-ended text (length -1) converts up to its zero, and the zero with it.
  std::string zeroEnded = bytes.substr(0, bytes.find('\0'));
  int cch = MultiByteToWideChar(codePage, 0, zeroEnded.c_str(), -1, nullptr, 0);
  FUZZ_CHECK(cch == static_cast<int>(compat::DecodeText(codePage, zeroEnded).size()) + 1);

  // The ANSI code page of the machine, and the program's own conversion on top of it.
  compat::ScriptedMachine machine;
  machine.codePage = codePage;
  compat::MachineScope scope(machine);
  FUZZ_CHECK(ToWide(CP_ACP, 0, bytes, result) == decoded);
  FUZZ_CHECK(AnsiToWide(bytes) == decoded);
}

void CheckWide(UINT codePage, const std::wstring& text) {
  std::string encoded = compat::EncodeText(codePage, text);
  std::wstring decoded = compat::DecodeText(codePage, encoded);
  if (codePage == CP_UTF8) {
    // Every code point comes back; what is none becomes U+FFFD.
    FUZZ_CHECK(IsValidUtf8(encoded));
    FUZZ_CHECK(decoded.size() == text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(decoded[i] == (IsCodePoint(text[i]) ? text[i] : kReplacement));
    }
  } else if (IsMultiByte(codePage)) {
    // Each character reads back as itself, or as '?' where the code page cannot hold it: never
    // as a look-alike, and no single byte it writes joins the next into a pair.
    FUZZ_CHECK(decoded.size() == text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(decoded[i] == text[i] || (decoded[i] == L'?' && text[i] != L'?'));
    }
  } else {
    // One byte per character: the character itself, or '?' for one the code page cannot hold.
    FUZZ_CHECK(encoded.size() == text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(decoded[i] == text[i] || (encoded[i] == '?' && text[i] != L'?'));
    }
  }
  if (text.empty()) {
    FUZZ_CHECK(WideCharToMultiByte(codePage, FlagsOf(codePage), text.data(), 0, nullptr, 0, nullptr,
                                   nullptr) == 0);
    return;
  }
  BOOL usedDefault = FALSE;
  if (codePage == CP_UTF8) {
    // UTF-8 takes neither a default character nor its flag, as on Windows.
    FUZZ_CHECK(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, &usedDefault) == 0);
    FUZZ_CHECK(GetLastError() == ERROR_INVALID_PARAMETER);
    FUZZ_CHECK(ToBytes(codePage, text, nullptr) == encoded);
  } else {
    FUZZ_CHECK(ToBytes(codePage, text, &usedDefault) == encoded);
    bool anyLost = false;
    for (size_t i = 0; i < text.size(); ++i) anyLost = anyLost || decoded[i] != text[i];
    FUZZ_CHECK((usedDefault != FALSE) == anyLost);
  }
  std::wstring zeroEnded = text.substr(0, text.find(L'\0'));
  int cb = WideCharToMultiByte(codePage, FlagsOf(codePage), zeroEnded.c_str(), -1, nullptr, 0,
                               nullptr, nullptr);
  FUZZ_CHECK(cb == static_cast<int>(compat::EncodeText(codePage, zeroEnded).size()) + 1);

  compat::ScriptedMachine machine;
  machine.codePage = codePage;
  compat::MachineScope scope(machine);
  FUZZ_CHECK(ToBytes(CP_ACP, text, nullptr) == encoded);
  // The program writes a surrogate pair as one character; the stand-in sees two units.
  FUZZ_CHECK(WideToAnsi(text) == ReferenceAnsi(codePage, text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  uint8_t selector = input.Byte();
  const std::vector<UINT>& pages = EveryCodePage();
  UINT codePage = pages[(selector >> 1) % pages.size()];
  if ((selector & 1) == 0) {
    CheckBytes(codePage, input.RestAsBytes());
  } else {
    CheckWide(codePage, input.RestAsWide());
  }
  return 0;
}
