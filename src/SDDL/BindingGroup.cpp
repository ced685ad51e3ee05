#include "SDDL/BindingGroup.h"

namespace {

// Leaves the lock on every path.
class Locked : NonCopyable {
 public:
  explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
  ~Locked() { LeaveCriticalSection(&lock_); }

 private:
  CRITICAL_SECTION& lock_;
};

}  // namespace

void BindingGroup::Initialize() {
  if (initializations_++ == 0) InitializeCriticalSection(&lock_);
}

void BindingGroup::Finalize() {
  if (initializations_ == 0) return;
  while (references_ > 0) Unbind();
  if (--initializations_ == 0) DeleteCriticalSection(&lock_);
}

bool BindingGroup::Bind() {
  Locked locked(lock_);
  ++references_;
  if (!library_) {
    library_ = LibraryGuard(LoadLibraryA("ADVAPI32.DLL"));
    if (library_) {
      for (const Entry& entry : entries_) {
        FARPROC address = GetProcAddress(library_.get(), entry.name);
        std::memcpy(entry.slot, &address, sizeof(address));
      }
    }
  }
  return static_cast<bool>(library_);
}

void BindingGroup::Unbind() {
  Locked locked(lock_);
  if (references_ > 0) --references_;
  if (library_ && references_ == 0) {
    library_.Reset();
    Clear();
  }
}

void BindingGroup::Clear() {
  for (const Entry& entry : entries_) {
    FARPROC none = nullptr;
    std::memcpy(entry.slot, &none, sizeof(none));
  }
}
