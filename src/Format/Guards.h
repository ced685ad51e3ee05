// Guards that give a platform resource back with the platform's own release, on every path.
#pragma once

#include <utility>

#include "Win32.h"

// The base of an object that owns what it stands for and so is never copied (a guard, a module
// whose start and end it runs).
class NonCopyable {
 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;

 protected:
  NonCopyable() = default;
  ~NonCopyable() = default;
};

template <typename T, typename Release>
class PlatformGuard {
 public:
  PlatformGuard() = default;
  explicit PlatformGuard(T value) : value_(value) {}
  ~PlatformGuard() { Reset(); }
  PlatformGuard(const PlatformGuard&) = delete;
  PlatformGuard& operator=(const PlatformGuard&) = delete;
  PlatformGuard(PlatformGuard&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
  PlatformGuard& operator=(PlatformGuard&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = std::exchange(other.value_, T{});
    }
    return *this;
  }

  T get() const { return value_; }
  // The place for a platform call to store the resource in; releases what is held first.
  T* Receive() {
    Reset();
    return &value_;
  }
  explicit operator bool() const { return value_ != T{}; }
  void Reset() {
    if (value_ != T{}) Release()(value_);
    value_ = T{};
  }

 private:
  T value_ = T{};
};

struct LocalFreeRelease {
  void operator()(void* memory) const { LocalFree(memory); }
};
struct NetApiBufferRelease {
  void operator()(LPBYTE buffer) const { NetApiBufferFree(buffer); }
};
struct HandleRelease {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct EnvironmentRelease {
  void operator()(LPWCH block) const { FreeEnvironmentStringsW(block); }
};
struct LibraryRelease {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

// Memory from LocalAlloc and the SID and text conversions.
template <typename T>
using LocalGuard = PlatformGuard<T, LocalFreeRelease>;
// A record block of the account calls.
using NetApiBufferGuard = PlatformGuard<LPBYTE, NetApiBufferRelease>;
// A token or other kernel handle; INVALID_HANDLE_VALUE is never stored.
using HandleGuard = PlatformGuard<HANDLE, HandleRelease>;
using EnvironmentGuard = PlatformGuard<LPWCH, EnvironmentRelease>;
using LibraryGuard = PlatformGuard<HMODULE, LibraryRelease>;
