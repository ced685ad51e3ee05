// A group of entry points bound at run time from "ADVAPI32.DLL", with its reference count,
// library handle and lock. The library stays loaded exactly as long as a reference is held; a
// missing library or export leaves the entry point null instead of stopping the program.
#pragma once

#include <cstring>
#include <vector>

#include "Format/Guards.h"
#include "Win32.h"

class BindingGroup {
 public:
  struct Entry {
    const char* name;
    void* slot;  // the address of a typed function pointer
  };

  // The entries in the order they are looked up.
  explicit BindingGroup(std::vector<Entry> entries) : entries_(std::move(entries)) {}

  // Module start and end: the lock is created; at the end every reference still held is
  // released, so a loaded library is freed, and the lock is destroyed. Starts may nest (tests
  // start the modules again inside a started program): the lock is created by the first and
  // destroyed by the last end.
  void Initialize();
  void Finalize();

  // Takes one reference (counted also when loading fails); true when the library is loaded.
  bool Bind();
  // Releases one reference; the last one frees the library and clears every entry point.
  void Unbind();

  HMODULE Library() const { return library_.get(); }
  LONG References() const { return references_; }

 private:
  void Clear();

  std::vector<Entry> entries_;
  CRITICAL_SECTION lock_{};
  LibraryGuard library_;
  LONG references_ = 0;
  int initializations_ = 0;
};

// The three entry points of a function that the platform has in an 8-bit (A) and a 16-bit (W)
// variant: NameA, NameW, and NameGeneric, which holds the 8-bit variant as well.
#define USERLENS_ENTRY_POINTS(Name)       \
  decltype(&::Name##A) Name##A = nullptr; \
  decltype(&::Name##W) Name##W = nullptr; \
  decltype(&::Name##A) Name##Generic = nullptr

// Their slots in the order they are looked up: A, W, generic.
#define USERLENS_SLOTS(entryPoints, Name)                                         \
  Slot(#Name "A", (entryPoints).Name##A), Slot(#Name "W", (entryPoints).Name##W), \
      Slot(#Name "A", (entryPoints).Name##Generic)

// The start and end of a module whose state is one binding group: the group's lock is created at
// the start; at the end every reference still held is released and the lock destroyed.
template <BindingGroup& (*Group)()>
class BindingModule : NonCopyable {
 public:
  BindingModule() { Group().Initialize(); }
  ~BindingModule() { Group().Finalize(); }
};

// An entry for a typed entry point, e.g. Slot("ConvertSidToStringSidW",
// Sddl.ConvertSidToStringSidW).
template <typename Function>
BindingGroup::Entry Slot(const char* name, Function& slot) {
  static_assert(sizeof(Function) == sizeof(FARPROC), "entry points are plain function pointers");
  return BindingGroup::Entry{name, &slot};
}
