// What the program's conversion to the ANSI code page should give, built on the stand-in's own
// encoder: a high and a low surrogate, as Windows holds a character beyond the BMP, are one
// character, which no code page but UTF-8 and GB18030 can hold, so one "?".
#pragma once

#include <string>

#include "CodePages.h"

inline std::string ReferenceAnsi(UINT codePage, const std::wstring& text) {
  if (codePage == 65001 || codePage == 54936) return compat::EncodeText(codePage, text);
  std::wstring units;
  for (size_t i = 0; i < text.size(); ++i) {
    bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    units += pair ? L'?' : text[i];
    if (pair) ++i;
  }
  return compat::EncodeText(codePage, units);
}
