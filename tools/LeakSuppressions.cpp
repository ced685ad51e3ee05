// Built into the program of an AddressSanitizer build only: what the sanitizers need to know of
// the program's surroundings, known to the program itself, since the host tests run it with a
// clean environment (and once without /proc).
#include <unistd.h>

extern "C" {

// glibc's newlocale keeps the LOCPATH list it splits into an argz vector and never frees it.
const char* __lsan_default_suppressions() {
  return "leak:argz_add_sep\n";
}

namespace {

bool HasProc() {
  return access("/proc/self/maps", R_OK) == 0;
}

}  // namespace

// Without /proc (a host test runs the program so) LeakSanitizer can neither read its options
// from the environment nor stop the threads to look for leaks: it is left out then.
const char* __lsan_default_options() {
  return HasProc() ? "print_suppressions=0" : "detect_leaks=0";
}

}  // extern "C"
