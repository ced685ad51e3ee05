#include "Machine.h"

#include "host/HostMachine.h"

namespace compat {
namespace {

template <typename Facet>
Facet*& Installed() {
  static Facet* facet = nullptr;
  return facet;
}

template <typename Facet, typename HostFacet>
Facet& Current() {
  Facet* facet = Installed<Facet>();
  if (facet != nullptr) return *facet;
  static HostFacet host;
  return host;
}

}  // namespace

Accounts& TheAccounts() {
  return Current<Accounts, HostAccounts>();
}
Process& TheProcess() {
  return Current<Process, HostProcess>();
}
Console& TheConsole() {
  return Current<Console, HostConsole>();
}
Names& TheNames() {
  return Current<Names, HostNames>();
}

template <typename Facet>
InForce<Facet>::InForce(Facet& facet) : previous_(Installed<Facet>()) {
  Installed<Facet>() = &facet;
}

template <typename Facet>
InForce<Facet>::~InForce() {
  Installed<Facet>() = previous_;
}

template class InForce<Accounts>;
template class InForce<Process>;
template class InForce<Console>;
template class InForce<Names>;

}  // namespace compat
