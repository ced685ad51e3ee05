// The stand-in's own ADVAPI32 is always there, with every export it has.
#include "host/HostMachine.h"

namespace compat {

bool HostMachine::LibraryLoads(std::string_view name) {
  (void)name;
  return true;
}

bool HostMachine::LibraryExports(std::string_view library, std::string_view symbol) {
  (void)library;
  (void)symbol;
  return true;
}

}  // namespace compat
