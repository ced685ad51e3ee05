// The security layer: the named-object security binding group, the layer's error class, and the
// conversions between account names, SIDs and SID texts.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "Format/Error.h"
#include "Format/Format.h"
#include "SDDL/BindingGroup.h"
#include "Win32.h"

class EQvSecUtils : public Error {
 public:
  using Error::Error;
};

[[noreturn]] void RaiseSecUtilsError(const std::string& message);
[[noreturn]] void RaiseSecUtilsErrorFmt(std::string_view format,
                                        std::initializer_list<FormatArg> args);

// Entry points of the named-object security functions; the generic entries hold the 8-bit
// variants.
struct NamedSecurityEntryPoints {
  USERLENS_ENTRY_POINTS(GetNamedSecurityInfo);
  USERLENS_ENTRY_POINTS(SetNamedSecurityInfo);
  USERLENS_ENTRY_POINTS(SetEntriesInAcl);
};

extern NamedSecurityEntryPoints NamedSecurity;

BindingGroup& NamedSecurityBindingGroup();
bool BindNamedSecurityFunctions();
void UnbindNamedSecurityFunctions();

using SecUtilsModule = BindingModule<NamedSecurityBindingGroup>;

// A SID that the caller owns, released by the release that matches its allocation: LocalFree
// for one the platform converted from text, the program's own allocator for a looked-up name.
class OwnedSid {
 public:
  enum class Origin { Platform, Program };
  OwnedSid() = default;
  ~OwnedSid() { Reset(); }
  OwnedSid(const OwnedSid&) = delete;
  OwnedSid& operator=(const OwnedSid&) = delete;

  PSID get() const { return sid_; }
  Origin origin() const { return origin_; }
  void Reset(PSID sid = nullptr, Origin origin = Origin::Program);
  // Gives up ownership without releasing.
  PSID Release() { return std::exchange(sid_, nullptr); }

 private:
  PSID sid_ = nullptr;
  Origin origin_ = Origin::Program;
};

// Converts an account name, or "SID#" (any case) followed by a SID text, into a SID. An account
// name the system cannot map raises EQvSecUtils "User:\"%s\" does not exist"; every other
// failure gives false, and the output then holds no SID this lookup found.
bool StringToSid(std::wstring_view text, std::wstring_view systemName, OwnedSid& sid);
// LookupAccountNameW with its size probe. A probe that does not ask for buffers raises EOSError.
bool LookupAccountSidByName(std::wstring_view accountName, std::wstring_view systemName,
                            OwnedSid& sid);

// The local computer's NetBIOS name, 8-bit.
std::string GetNetBiosComputerName();
// The SID's standard text; empty for a missing SID, a missing entry point or a failed
// conversion.
std::wstring SidToText(PSID sid);
// The SID text of an account on a system; empty when no SID could be had. Raises the "does not
// exist" error of StringToSid.
std::wstring AccountNameToSidText(std::wstring_view accountName, std::wstring_view systemName);
// The account name, domain and (for users) full name of a SID; returns the SID use, 0 when the
// SID maps to no name (the name is then the SID text, the domain empty and the full name left as
// it was). A well-known group keeps its own domain; other groups and aliases take this
// computer's NetBIOS name. A user's full name is read with NetUserGetInfo level 2, whose
// failures raise EQvSecUtils.
int SidToAccountName(PSID sid, std::wstring& accountName, std::wstring& domainName,
                     std::wstring& fullName);
