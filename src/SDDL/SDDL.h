// The binding group of the SID and security-descriptor text functions.
#pragma once

#include "SDDL/BindingGroup.h"
#include "Win32.h"

// For each function: the 8-bit variant, the 16-bit variant, and the generic entry, which is
// bound to the 8-bit variant as well. Null while not bound or when the library lacks it.
struct SddlEntryPoints {
  USERLENS_ENTRY_POINTS(ConvertSidToStringSid);
  USERLENS_ENTRY_POINTS(ConvertStringSidToSid);
  USERLENS_ENTRY_POINTS(ConvertStringSecurityDescriptorToSecurityDescriptor);
  USERLENS_ENTRY_POINTS(ConvertSecurityDescriptorToStringSecurityDescriptor);
};

extern SddlEntryPoints Sddl;

BindingGroup& SddlBindingGroup();
bool BindSddlFunctions();
void UnbindSddlFunctions();

using SddlModule = BindingModule<SddlBindingGroup>;
