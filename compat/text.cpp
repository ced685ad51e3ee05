// Command line, letter case and code-page conversion.
#include <string>

#include "CodePages.h"
#include "LetterCase.h"
#include "Machine.h"

namespace {

UINT ResolveCodePage(UINT codePage) {
  return codePage == CP_ACP ? compat::CurrentMachine().AnsiCodePage() : codePage;
}

}  // namespace

LPWSTR WINAPI GetCommandLineW() {
  static thread_local std::wstring commandLine;
  commandLine = compat::CurrentMachine().CommandLine();
  return commandLine.data();
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
  return compat::CurrentMachine().AnsiCodePage();
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int cchWide,
                               LPSTR multiByteText, int cbMultiByte, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar) {
  (void)flags;
  codePage = ResolveCodePage(codePage);
  if (wideText == nullptr || cchWide == 0 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && multiByteText == nullptr) || !compat::IsKnownCodePage(codePage) ||
      (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length =
      cchWide < 0 ? std::char_traits<wchar_t>::length(wideText) + 1 : static_cast<size_t>(cchWide);
  std::string out;
  out.reserve(length);
  bool usedDefault = false;
  for (size_t i = 0; i < length; ++i) {
    // ASCII is itself in every code page the stand-in knows.
    auto codePoint = static_cast<char32_t>(wideText[i]);
    if (codePoint < 0x80) {
      out += static_cast<char>(codePoint);
      continue;
    }
    if (!compat::EncodeCodePoint(codePage, codePoint, out)) {
      usedDefault = true;
      if (codePage == CP_UTF8) {
        compat::EncodeCodePoint(codePage, 0xFFFD, out);
      } else {
        out += defaultChar != nullptr ? *defaultChar : '?';
      }
    }
  }
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  if (out.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  out.copy(multiByteText, out.size());
  return static_cast<int>(out.size());
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteText, int cbMultiByte,
                               LPWSTR wideText, int cchWide) {
  codePage = ResolveCodePage(codePage);
  if (multiByteText == nullptr || cbMultiByte == 0 || cchWide < 0 ||
      (cchWide > 0 && wideText == nullptr) || !compat::IsKnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = cbMultiByte < 0 ? std::char_traits<char>::length(multiByteText) + 1
                                  : static_cast<size_t>(cbMultiByte);
  bool invalid = false;
  std::wstring out =
      compat::DecodeText(codePage, std::string_view(multiByteText, length), &invalid);
  if ((flags & MB_ERR_INVALID_CHARS) != 0 && invalid) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (out.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cchWide == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cchWide)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  out.copy(wideText, out.size());
  return static_cast<int>(out.size());
}
