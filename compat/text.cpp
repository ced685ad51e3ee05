// The command line, letter case and the conversions between wide text and code pages.
#include <climits>
#include <cstring>
#include <string>

#include "CodePages.h"
#include "LetterCase.h"
#include "Win32Contract.h"

namespace {

using compat::CodePage;

constexpr DWORD kPrecomposed = 0x00000001;  // MB_PRECOMPOSED: what single-byte pages give anyway

const CodePage* CodePageOf(UINT codePage) {
  return compat::FindCodePage(codePage == CP_ACP ? compat::TheNames().AnsiCodePage() : codePage);
}

}  // namespace

LPWSTR WINAPI GetCommandLineW() {
  static std::wstring line;
  std::wstring now = compat::TheProcess().CommandLine();
  if (now != line) line = std::move(now);
  return line.data();
}

DWORD WINAPI CharLowerBuffW(LPWSTR text, DWORD cchLength) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < cchLength; ++i) text[i] = compat::ToLowerCase(text[i]);
  return cchLength;
}

DWORD WINAPI CharUpperBuffW(LPWSTR text, DWORD cchLength) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < cchLength; ++i) text[i] = compat::ToUpperCase(text[i]);
  return cchLength;
}

UINT WINAPI GetACP() {
  return compat::TheNames().AnsiCodePage();
}

// Without WC_NO_BEST_FIT_CHARS Windows writes a look-alike for a character the code page cannot
// hold (best fit); the stand-in has no best-fit tables and fails with ERROR_CALL_NOT_IMPLEMENTED
// then. The program never asks for best fit.
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int cchWide,
                               LPSTR multiByteText, int cbMultiByte, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar) {
  const CodePage* page = CodePageOf(codePage);
  if (wideText == nullptr || cchWide == 0 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && multiByteText == nullptr) || page == nullptr ||
      (page->number == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
    return compat::FailWith(ERROR_INVALID_PARAMETER, 0);
  }
  bool flagsRefused = page->number == CP_UTF8 || page->flagsMustBeZero
                          ? flags != 0
                          : (flags & ~WC_NO_BEST_FIT_CHARS) != 0;
  if (flagsRefused) return compat::FailWith(ERROR_INVALID_FLAGS, 0);
  size_t length = cchWide < 0 ? std::wcslen(wideText) + 1 : static_cast<size_t>(cchWide);
  std::string out;
  out.reserve(length);
  size_t cbFitted = 0;  // the whole characters that fit into the caller's buffer
  bool usedDefault = false;
  bool usedDefaultInFitted = false;
  for (size_t i = 0; i < length; ++i) {
    if (!compat::EncodeChar(*page, wideText[i], out)) {
      if (page->number == CP_UTF8) {
        out += "\xEF\xBF\xBD";  // U+FFFD
      } else if (flags == 0 && !page->flagsMustBeZero) {
        return compat::FailWith(ERROR_CALL_NOT_IMPLEMENTED, 0);
      } else {
        out += defaultChar != nullptr ? *defaultChar : '?';
        usedDefault = true;
      }
    }
    if (out.size() <= static_cast<size_t>(cbMultiByte)) {
      cbFitted = out.size();
      usedDefaultInFitted = usedDefault;
    }
  }
  if (out.size() > static_cast<size_t>(INT_MAX))
    return compat::FailWith(ERROR_INVALID_PARAMETER, 0);
  if (cbMultiByte == 0) {
    if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
    return static_cast<int>(out.size());
  }
  // A buffer too small is filled with the whole characters that fit.
  out.copy(multiByteText, cbFitted);
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefaultInFitted ? TRUE : FALSE;
  if (cbFitted < out.size()) return compat::FailWith(ERROR_INSUFFICIENT_BUFFER, 0);
  return static_cast<int>(out.size());
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteText, int cbMultiByte,
                               LPWSTR wideText, int cchWide) {
  const CodePage* page = CodePageOf(codePage);
  if (multiByteText == nullptr || cbMultiByte == 0 || cchWide < 0 ||
      (cchWide > 0 && wideText == nullptr) || page == nullptr) {
    return compat::FailWith(ERROR_INVALID_PARAMETER, 0);
  }
  DWORD allowed = page->number == CP_UTF8 || page->flagsMustBeZero
                      ? MB_ERR_INVALID_CHARS
                      : MB_ERR_INVALID_CHARS | kPrecomposed;
  if ((flags & ~allowed) != 0) return compat::FailWith(ERROR_INVALID_FLAGS, 0);
  size_t length =
      cbMultiByte < 0 ? std::strlen(multiByteText) + 1 : static_cast<size_t>(cbMultiByte);
  bool invalid = false;
  std::wstring out = compat::Decode(*page, std::string_view(multiByteText, length), invalid);
  if (out.size() > static_cast<size_t>(INT_MAX))
    return compat::FailWith(ERROR_INVALID_PARAMETER, 0);
  // The buffer is filled as far as it goes, also when the call then fails.
  if (cchWide > 0) out.copy(wideText, std::min(out.size(), static_cast<size_t>(cchWide)));
  if (invalid && (flags & MB_ERR_INVALID_CHARS) != 0) {
    return compat::FailWith(ERROR_NO_UNICODE_TRANSLATION, 0);
  }
  if (cchWide > 0 && out.size() > static_cast<size_t>(cchWide)) {
    return compat::FailWith(ERROR_INSUFFICIENT_BUFFER, 0);
  }
  return static_cast<int>(out.size());
}
