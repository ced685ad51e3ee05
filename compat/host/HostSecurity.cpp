// SIDs, tokens and privileges of the host.
#include "host/HostMachine.h"

namespace compat {

DWORD HostMachine::LookupName(std::wstring_view system, std::wstring_view name,
                              AccountLookup& found) {
  (void)system;
  (void)name;
  (void)found;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD HostMachine::LookupSid(std::wstring_view system, const SidValue& sid, AccountLookup& found) {
  (void)system;
  (void)sid;
  (void)found;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD HostMachine::OpenToken(TokenKind kind) {
  return kind == TokenKind::Thread ? ERROR_NO_TOKEN : ERROR_SUCCESS;
}

DWORD HostMachine::TokenGroups(TokenKind kind, std::vector<TokenGroup>& groups) {
  (void)kind;
  (void)groups;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

bool HostMachine::PrivilegeEnabled(TokenKind kind, std::wstring_view privilegeName) {
  (void)kind;
  (void)privilegeName;
  return false;
}

}  // namespace compat
