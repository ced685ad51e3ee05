// Everything of the Win32 API that the program calls, as the Linux stand-in provides it.
#pragma once

#include "win32/base.h"
#include "win32/console.h"
#include "win32/library.h"
#include "win32/netapi.h"
#include "win32/process.h"
#include "win32/security.h"
#include "win32/text.h"
