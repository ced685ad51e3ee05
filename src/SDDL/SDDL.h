// The binding group of the SID and security-descriptor text functions.
#pragma once

#include "SDDL/BindingGroup.h"
#include "Win32.h"

// For each function: the 8-bit variant, the 16-bit variant, and the generic entry, which is
// bound to the 8-bit variant as well. Null while not bound or when the library lacks it.
struct SddlEntryPoints {
  decltype(&::ConvertSidToStringSidA) ConvertSidToStringSidA = nullptr;
  decltype(&::ConvertSidToStringSidW) ConvertSidToStringSidW = nullptr;
  decltype(&::ConvertSidToStringSidA) ConvertSidToStringSidGeneric = nullptr;
  decltype(&::ConvertStringSidToSidA) ConvertStringSidToSidA = nullptr;
  decltype(&::ConvertStringSidToSidW) ConvertStringSidToSidW = nullptr;
  decltype(&::ConvertStringSidToSidA) ConvertStringSidToSidGeneric = nullptr;
  decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorA)
      ConvertStringSecurityDescriptorToSecurityDescriptorA = nullptr;
  decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorW)
      ConvertStringSecurityDescriptorToSecurityDescriptorW = nullptr;
  decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorA)
      ConvertStringSecurityDescriptorToSecurityDescriptorGeneric = nullptr;
  decltype(&::ConvertSecurityDescriptorToStringSecurityDescriptorA)
      ConvertSecurityDescriptorToStringSecurityDescriptorA = nullptr;
  decltype(&::ConvertSecurityDescriptorToStringSecurityDescriptorW)
      ConvertSecurityDescriptorToStringSecurityDescriptorW = nullptr;
  decltype(&::ConvertSecurityDescriptorToStringSecurityDescriptorA)
      ConvertSecurityDescriptorToStringSecurityDescriptorGeneric = nullptr;
};

extern SddlEntryPoints Sddl;

BindingGroup& SddlBindingGroup();
bool BindSddlFunctions();
void UnbindSddlFunctions();

using SddlModule = BindingModule<SddlBindingGroup>;
