// The one switch between the platforms: the real Win32 API on Windows, the stand-in elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <lm.h>
#include <sddl.h>
#include <aclapi.h>
#else
#include "win32/windows.h"
#endif
