#include "Format/TextConversion.h"

#include <climits>
#include <new>

#include "Format/Error.h"
#include "Win32.h"

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > INT_MAX) throw ERangeError();
  int cchWide = static_cast<int>(text.size());
  int cb = WideCharToMultiByte(CP_ACP, 0, text.data(), cchWide, nullptr, 0, nullptr, nullptr);
  if (cb <= 0) throw EOSError("WideCharToMultiByte", GetLastError());
  std::string out(static_cast<size_t>(cb), '\0');
  cb = WideCharToMultiByte(CP_ACP, 0, text.data(), cchWide, out.data(), cb, nullptr, nullptr);
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
