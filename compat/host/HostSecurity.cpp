// SIDs, the process token and privileges of the host.
#include <unistd.h>

#include <vector>

#include "host/Administrators.h"
#include "host/Capabilities.h"
#include "host/GroupMemberships.h"
#include "host/HostMachine.h"
#include "host/NssErrors.h"

namespace compat {
namespace {

// The effective group and the supplementary groups of the process.
std::vector<uint32_t> ProcessGroupIds() {
  std::vector<uint32_t> gids{static_cast<uint32_t>(getegid())};
  for (int attempt = 0; attempt < 4; ++attempt) {
    int count = getgroups(0, nullptr);
    if (count <= 0) break;
    std::vector<gid_t> list(static_cast<size_t>(count));
    int read = getgroups(count, list.data());
    if (read < 0) continue;  // the list grew in between
    gids.insert(gids.end(), list.begin(), list.begin() + read);
    break;
  }
  return gids;
}

}  // namespace

DWORD HostMachine::LookupName(std::wstring_view system, std::wstring_view name,
                              AccountLookup& found) {
  if (!IsThisComputer(system)) return RPC_S_SERVER_UNAVAILABLE;
  return names_.LookupName(name, found);
}

DWORD HostMachine::LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) {
  if (!IsThisComputer(system)) return RPC_S_SERVER_UNAVAILABLE;
  return names_.LookupSid(sid, found);
}

// The process has its own token; a thread never impersonates, so it has none.
DWORD HostMachine::OpenToken(TokenKind kind) {
  return kind == TokenKind::Thread ? ERROR_NO_TOKEN : ERROR_SUCCESS;
}

DWORD HostMachine::TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) {
  if (kind == TokenKind::Thread) return ERROR_NO_TOKEN;
  std::vector<uint32_t> gids = ProcessGroupIds();
  GroupMemberships memberships(directory_, names_, codePage_);
  groups = memberships.ProcessGroups(static_cast<uint32_t>(geteuid()), gids,
                                     Administrators::Read(directory_));
  return ERROR_SUCCESS;
}

bool HostMachine::PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) {
  if (kind == TokenKind::Thread) return false;
  std::optional<uint64_t> capabilities = EffectiveCapabilities();
  return capabilities && PrivilegeHeld(privilegeName, *capabilities);
}

}  // namespace compat
