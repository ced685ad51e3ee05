#include "Machine.h"

#include "host/HostMachine.h"

namespace compat {
namespace {

Machine*& Installed() {
  static Machine* machine = nullptr;
  return machine;
}

}  // namespace

Machine& CurrentMachine() {
  Machine* machine = Installed();
  if (machine != nullptr) return *machine;
  static HostMachine host;
  return host;
}

MachineScope::MachineScope(Machine& machine) : previous_(Installed()) {
  Installed() = &machine;
}

MachineScope::~MachineScope() {
  Installed() = previous_;
}

}  // namespace compat
