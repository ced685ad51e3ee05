// Built into the program and the host unit tests of an AddressSanitizer build only: the
// sanitizers' options and what they need to know of the program's surroundings, known to the
// program itself, since the host tests run it with a clean environment (and once without /proc).
#include <unistd.h>

extern "C" {

// The checks the asan test preset asks for in ASAN_OPTIONS and UBSAN_OPTIONS, also in a run with
// a clean environment (the host tests start the program with env -i); the environment's own
// options come after these and win.
const char* __asan_default_options() {
  return "strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1";
}

const char* __ubsan_default_options() {
  return "print_stacktrace=1:halt_on_error=1";
}

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
