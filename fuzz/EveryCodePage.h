// The code pages the fuzz targets run through: every number the stand-in converts, found by
// asking it for each number once, in ascending order, so that a code page added to its table is
// fuzzed too.
#pragma once

#include <vector>

#include "CodePages.h"

inline const std::vector<UINT>& EveryCodePage() {
  static const std::vector<UINT> pages = [] {
    std::vector<UINT> found;
    for (UINT number = 0; number <= 0xFFFF; ++number) {
      if (compat::FindCodePage(number) != nullptr) found.push_back(number);
    }
    return found;
  }();
  return pages;
}
