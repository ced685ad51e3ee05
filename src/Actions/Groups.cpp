// The groups section: the groups of the process token, or the memberships of a named account.
#include <cstddef>
#include <vector>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"
#include "SecUtils/SecUtils.h"

namespace {

constexpr DWORD kTokenBufferSize = 16384;

// The TokenGroups record of the process token in a buffer of its own; empty when the token
// cannot be opened or read. A record larger than the first buffer is asked for again with the
// size the platform reports.
std::vector<BYTE> ReadTokenGroups() {
  HandleGuard token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
  std::vector<BYTE> buffer(kTokenBufferSize);
  DWORD cbNeeded = 0;
  if (GetTokenInformation(token.get(), TokenGroups, buffer.data(),
                          static_cast<DWORD>(buffer.size()), &cbNeeded)) {
    return buffer;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || cbNeeded <= buffer.size()) return {};
  buffer.assign(cbNeeded, 0);
  if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &cbNeeded)) {
    return {};
  }
  return buffer;
}

void ShowTokenGroups() {
  std::vector<BYTE> buffer = ReadTokenGroups();
  if (buffer.size() < sizeof(TOKEN_GROUPS)) return;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  // Never trust a count that would reach past the buffer.
  size_t fit = (buffer.size() - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
  size_t count = std::min<size_t>(groups->GroupCount, fit);
  for (size_t i = 0; i < count; ++i) {
    PSID sid = groups->Groups[i].Sid;
    std::wstring sidText = SidToText(sid);
    std::wstring name;
    std::wstring domain;
    std::wstring fullName;
    SidToAccountName(sid, name, domain, fullName);
    WriteNameWithSid(domain.empty() ? name : domain + L"\\" + name, sidText);
  }
}

void ShowMemberships(const std::wstring& userName) {
  {
    NetApiBufferGuard buffer;
    DWORD read = 0;
    DWORD total = 0;
    NET_API_STATUS status = NetUserGetGroups(ComputerNameArgument(), userName.c_str(), 0,
                                             buffer.Receive(), MAX_PREFERRED_LENGTH, &read, &total);
    if (status != NERR_Success) RaiseNetStatus(status, "NetUserGetGroups", userName);
    if (buffer) {
      WriteAccountListWithSids(reinterpret_cast<const LPWSTR*>(buffer.get()), read);
    }
  }
  NetApiBufferGuard buffer;
  DWORD read = 0;
  DWORD total = 0;
  NET_API_STATUS status =
      NetUserGetLocalGroups(ComputerNameArgument(), userName.c_str(), 0, LG_INCLUDE_INDIRECT,
                            buffer.Receive(), MAX_PREFERRED_LENGTH, &read, &total);
  if (status != NERR_Success) RaiseNetStatus(status, "NetUserGetLocalGroups", userName);
  if (buffer) WriteAccountListWithSids(reinterpret_cast<const LPWSTR*>(buffer.get()), read);
}

}  // namespace

void ShowGroups(const std::wstring& userName) {
  WriteColoredLine("");
  WriteColoredLine(
      "Groups: ----------------------------------------------------------------------");
  if (IsCurrentUser) {
    ShowTokenGroups();
  } else {
    ShowMemberships(userName);
  }
}
