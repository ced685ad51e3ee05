#include "Format/TextConversion.h"

#include <climits>
#include <new>

#include "Format/Error.h"
#include "Win32.h"

namespace {

// Without best fit: a character the code page cannot hold becomes its default character, never a
// look-alike of another (an account named "\u0141ukasz" is not shown as "lukasz"). The code pages
// that take no conversion flags at all convert without best fit anyway.
DWORD ConversionFlags(UINT acp) {
  bool refusesFlags = acp == 42 || acp == 50220 || acp == 50221 || acp == 50222 || acp == 50225 ||
                      acp == 50227 || acp == 50229 || acp == 54936 ||
                      (acp >= 57002 && acp <= 57011) || acp == 65000 || acp == CP_UTF8;
  return refusesFlags ? 0 : WC_NO_BEST_FIT_CHARS;
}

// Whether the ANSI code page writes every ASCII character as its own byte, as nearly all do:
// then ASCII text (most names and every fixed text) needs no conversion call. Asked once.
bool AsciiPassesThrough() {
  static const bool passes = [] {
    wchar_t ascii[127];
    for (int c = 1; c < 128; ++c) ascii[c - 1] = static_cast<wchar_t>(c);
    char out[sizeof(ascii)];
    int cb = WideCharToMultiByte(CP_ACP, ConversionFlags(GetACP()), ascii, 127, out, sizeof(out),
                                 nullptr, nullptr);
    if (cb != 127) return false;
    for (int c = 1; c < 128; ++c) {
      if (out[c - 1] != static_cast<char>(c)) return false;
    }
    return true;
  }();
  return passes;
}

bool IsHighSurrogate(wchar_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// A character beyond the BMP is two UTF-16 units, and a code page other than UTF-8 and GB18030
// cannot hold it: Windows writes each unit as a default character of its own, "??". Without the
// low unit the character prints once, as every other character the code page cannot hold does.
std::wstring_view OneUnitPerCharacter(std::wstring_view text, UINT acp, std::wstring& storage) {
  if (acp == CP_UTF8 || acp == 54936) return text;
  auto pairAt = [&text](size_t i) {
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
  };
  size_t i = 0;
  while (i < text.size() && !pairAt(i)) ++i;
  if (i == text.size()) return text;
  storage.assign(text.substr(0, i));
  for (; i < text.size(); ++i) {
    storage += text[i];
    if (pairAt(i)) ++i;
  }
  return storage;
}

}  // namespace

std::string WideToAnsi(std::wstring_view whole) {
  if (whole.empty()) return std::string();
  if (whole.size() > INT_MAX) throw ERangeError();
  bool ascii = true;
  for (wchar_t c : whole) ascii &= c > 0 && c < 0x80;
  if (ascii && AsciiPassesThrough()) return std::string(whole.begin(), whole.end());
  UINT acp = GetACP();
  std::wstring storage;
  std::wstring_view text = OneUnitPerCharacter(whole, acp, storage);
  int cchWide = static_cast<int>(text.size());
  DWORD flags = ConversionFlags(acp);
  int cb = WideCharToMultiByte(CP_ACP, flags, text.data(), cchWide, nullptr, 0, nullptr, nullptr);
  if (cb <= 0) throw EOSError("WideCharToMultiByte", GetLastError());
  std::string out(static_cast<size_t>(cb), '\0');
  cb = WideCharToMultiByte(CP_ACP, flags, text.data(), cchWide, out.data(), cb, nullptr, nullptr);
  if (cb <= 0) throw EOSError("WideCharToMultiByte", GetLastError());
  out.resize(static_cast<size_t>(cb));
  return out;
}

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) throw ERangeError();
  int cb = static_cast<int>(text.size());
  int cch = MultiByteToWideChar(CP_ACP, 0, text.data(), cb, nullptr, 0);
  if (cch <= 0) throw EOSError("MultiByteToWideChar", GetLastError());
  std::wstring out(static_cast<size_t>(cch), L'\0');
  cch = MultiByteToWideChar(CP_ACP, 0, text.data(), cb, out.data(), cch);
  if (cch <= 0) throw EOSError("MultiByteToWideChar", GetLastError());
  out.resize(static_cast<size_t>(cch));
  return out;
}
