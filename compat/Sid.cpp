#include "Sid.h"

#include <cstring>
#include <stdexcept>

#include "LetterCase.h"

namespace compat {
namespace {

constexpr const wchar_t* kNt = L"NT AUTHORITY";
constexpr const wchar_t* kBuiltin = L"BUILTIN";
constexpr SID_NAME_USE kGroup = SidTypeWellKnownGroup;

// Windows' names for the SIDs every computer knows.
constexpr WellKnownSid kWellKnown[] = {
    {L"S-1-1-0", L"WD", L"", L"Everyone", kGroup},
    {L"S-1-2-0", nullptr, L"", L"LOCAL", kGroup},
    {L"S-1-2-1", nullptr, L"", L"CONSOLE LOGON", kGroup},
    {L"S-1-3-0", L"CO", L"", L"CREATOR OWNER", kGroup},
    {L"S-1-3-1", L"CG", L"", L"CREATOR GROUP", kGroup},
    {L"S-1-3-4", L"OW", L"", L"OWNER RIGHTS", kGroup},
    {L"S-1-5-2", L"NU", kNt, L"NETWORK", kGroup},
    {L"S-1-5-4", L"IU", kNt, L"INTERACTIVE", kGroup},
    {L"S-1-5-6", L"SU", kNt, L"SERVICE", kGroup},
    {L"S-1-5-7", L"AN", kNt, L"ANONYMOUS LOGON", kGroup},
    {L"S-1-5-9", L"ED", kNt, L"ENTERPRISE DOMAIN CONTROLLERS", kGroup},
    {L"S-1-5-10", L"PS", kNt, L"SELF", kGroup},
    {L"S-1-5-11", L"AU", kNt, L"Authenticated Users", kGroup},
    {L"S-1-5-12", L"RC", kNt, L"RESTRICTED", kGroup},
    {L"S-1-5-15", nullptr, kNt, L"This Organization", kGroup},
    {L"S-1-5-18", L"SY", kNt, L"SYSTEM", kGroup},
    {L"S-1-5-19", L"LS", kNt, L"LOCAL SERVICE", kGroup},
    {L"S-1-5-20", L"NS", kNt, L"NETWORK SERVICE", kGroup},
    {L"S-1-5-113", nullptr, kNt, L"Local account", kGroup},
    {L"S-1-5-64-10", nullptr, kNt, L"NTLM Authentication", kGroup},
    {L"S-1-5-32", nullptr, kBuiltin, kBuiltin, SidTypeDomain},
    {L"S-1-5-32-544", L"BA", kBuiltin, L"Administrators", SidTypeAlias},
    {L"S-1-5-32-545", L"BU", kBuiltin, L"Users", SidTypeAlias},
    {L"S-1-5-32-546", L"BG", kBuiltin, L"Guests", SidTypeAlias},
    {L"S-1-5-32-547", L"PU", kBuiltin, L"Power Users", SidTypeAlias},
    {L"S-1-5-32-548", L"AO", kBuiltin, L"Account Operators", SidTypeAlias},
    {L"S-1-5-32-549", L"SO", kBuiltin, L"Server Operators", SidTypeAlias},
    {L"S-1-5-32-550", L"PO", kBuiltin, L"Print Operators", SidTypeAlias},
    {L"S-1-5-32-551", L"BO", kBuiltin, L"Backup Operators", SidTypeAlias},
    {L"S-1-5-32-552", L"RE", kBuiltin, L"Replicator", SidTypeAlias},
    {L"S-1-5-32-554", L"RU", kBuiltin, L"Pre-Windows 2000 Compatible Access", SidTypeAlias},
    {L"S-1-5-32-555", L"RD", kBuiltin, L"Remote Desktop Users", SidTypeAlias},
    {L"S-1-5-32-556", L"NO", kBuiltin, L"Network Configuration Operators", SidTypeAlias},
};

// Aliases of the accounts and groups of the computer's own domain, by relative id.
struct DomainAlias {
  const wchar_t* alias;
  DWORD rid;
};
constexpr DomainAlias kDomainAliases[] = {
    {L"LA", 500}, {L"LG", 501}, {L"DA", 512}, {L"DU", 513}, {L"DG", 514}, {L"DC", 515},
    {L"DD", 516}, {L"CA", 517}, {L"SA", 518}, {L"EA", 519}, {L"PA", 520}, {L"RS", 553},
};

// A number as ConvertStringSidToSidW reads it, decimal or with "0x"; advances pos.
bool ReadNumber(std::wstring_view text, size_t& pos, uint64_t maxValue, uint64_t& value) {
  bool hex = pos + 1 < text.size() && text[pos] == L'0' && (text[pos + 1] | 0x20) == L'x';
  if (hex) pos += 2;
  size_t start = pos;
  value = 0;
  for (; pos < text.size(); ++pos) {
    wchar_t c = text[pos];
    unsigned digit = 16;
    if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
    if (hex && (c | 0x20) >= L'a' && (c | 0x20) <= L'f') {
      digit = static_cast<unsigned>((c | 0x20) - L'a' + 10);
    }
    if (digit >= (hex ? 16u : 10u)) break;
    value = value * (hex ? 16 : 10) + digit;
    if (value > maxValue) return false;
  }
  return pos > start;
}

}  // namespace

std::wstring SidValue::ToText() const {
  std::wstring text = L"S-1-";
  if (authority < 0x100000000ULL) {
    text += std::to_wstring(authority);
  } else {
    // Windows writes each of the six bytes as two small-letter hexadecimal digits.
    static const wchar_t kHex[] = L"0123456789abcdef";
    text += L"0x";
    for (int shift = 44; shift >= 0; shift -= 4) text += kHex[(authority >> shift) & 0xF];
  }
  for (DWORD sub : subAuthorities) text += L'-' + std::to_wstring(sub);
  return text;
}

std::optional<SidValue> SidValue::FromText(std::wstring_view text) {
  if (text.size() < 2 || (text[0] | 0x20) != L's' || text[1] != L'-') return std::nullopt;
  size_t pos = 2;
  uint64_t revision = 0;
  SidValue sid;
  if (!ReadNumber(text, pos, 0xFF, revision) || revision != SID_REVISION || pos >= text.size() ||
      text[pos++] != L'-' || !ReadNumber(text, pos, 0xFFFFFFFFFFFFULL, sid.authority)) {
    return std::nullopt;
  }
  while (pos < text.size()) {
    uint64_t sub = 0;
    if (text[pos++] != L'-' || !ReadNumber(text, pos, 0xFFFFFFFFULL, sub) ||
        sid.subAuthorities.size() == SID_MAX_SUB_AUTHORITIES) {
      return std::nullopt;
    }
    sid.subAuthorities.push_back(static_cast<DWORD>(sub));
  }
  if (sid.subAuthorities.empty()) return std::nullopt;
  return sid;
}

void SidValue::WriteBinary(void* buffer) const {
  auto* bytes = static_cast<BYTE*>(buffer);
  bytes[0] = SID_REVISION;
  bytes[1] = static_cast<BYTE>(subAuthorities.size());
  for (int i = 0; i < 6; ++i) bytes[2 + i] = static_cast<BYTE>(authority >> (8 * (5 - i)));
  // Sub-authorities are little-endian, as on Windows.
  for (size_t i = 0; i < subAuthorities.size(); ++i) {
    std::memcpy(bytes + 8 + 4 * i, &subAuthorities[i], 4);
  }
}

std::optional<SidValue> SidValue::FromBinary(const void* sid) {
  if (sid == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const BYTE*>(sid);
  if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES) return std::nullopt;
  SidValue value;
  for (int i = 0; i < 6; ++i) value.authority = (value.authority << 8) | bytes[2 + i];
  value.subAuthorities.resize(bytes[1]);
  for (size_t i = 0; i < value.subAuthorities.size(); ++i) {
    std::memcpy(&value.subAuthorities[i], bytes + 8 + 4 * i, 4);
  }
  return value;
}

SidValue SidFromText(std::wstring_view text) {
  auto sid = SidValue::FromText(text);
  if (!sid) throw std::invalid_argument("not a SID text");
  return *sid;
}

const WellKnownSid* FindWellKnownName(std::wstring_view name, const std::wstring_view* domain) {
  for (const WellKnownSid& entry : kWellKnown) {
    if (domain != nullptr && !SameNameIgnoringCase(*domain, entry.domain)) continue;
    if (SameNameIgnoringCase(name, entry.name)) return &entry;
  }
  return nullptr;
}

const WellKnownSid* FindWellKnownSid(const SidValue& sid) {
  for (const WellKnownSid& entry : kWellKnown) {
    if (SidFromText(entry.sid) == sid) return &entry;
  }
  return nullptr;
}

std::optional<SidValue> SidOfAlias(std::wstring_view alias,
                                   const std::optional<SidValue>& accountDomain) {
  if (alias.size() != 2) return std::nullopt;
  for (const WellKnownSid& entry : kWellKnown) {
    if (entry.alias != nullptr && SameNameIgnoringCase(alias, entry.alias)) {
      return SidFromText(entry.sid);
    }
  }
  for (const DomainAlias& entry : kDomainAliases) {
    if (!accountDomain || !SameNameIgnoringCase(alias, entry.alias)) continue;
    SidValue sid = *accountDomain;
    sid.subAuthorities.push_back(entry.rid);
    return sid;
  }
  return std::nullopt;
}

}  // namespace compat
