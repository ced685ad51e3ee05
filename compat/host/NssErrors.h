// Windows' error for an account source that could not be asked.
#pragma once

#include <cerrno>

#include "win32/base.h"

namespace compat {

// winerror.h: the server that holds the accounts cannot be reached.
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;

// The Windows error for an errno of a failed NSS lookup.
inline DWORD WindowsErrorOfNss(int error) {
  switch (error) {
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EACCES:
      return ERROR_ACCESS_DENIED;
    default:
      return RPC_S_SERVER_UNAVAILABLE;
  }
}

}  // namespace compat
