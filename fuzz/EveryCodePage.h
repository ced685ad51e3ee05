// The code pages the fuzz targets run through: every one the stand-in converts, once each.
#pragma once

#include "win32/base.h"

constexpr UINT kEveryCodePage[] = {65001, 20127, 28591, 28592, 28593, 28594, 28595, 28596, 28597,
                                   28598, 28599, 28603, 28605, 1250,  1251,  1252,  1253,  1254,
                                   1255,  1256,  1257,  1258,  874,   20866, 21866, 932,   936,
                                   20936, 54936, 950,   949,   51949, 20932};
