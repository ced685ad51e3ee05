#include "SDDL/SDDL.h"

SddlEntryPoints Sddl;

BindingGroup& SddlBindingGroup() {
  static BindingGroup group({
      Slot("ConvertSidToStringSidA", Sddl.ConvertSidToStringSidA),
      Slot("ConvertSidToStringSidW", Sddl.ConvertSidToStringSidW),
      Slot("ConvertSidToStringSidA", Sddl.ConvertSidToStringSidGeneric),
      Slot("ConvertStringSidToSidA", Sddl.ConvertStringSidToSidA),
      Slot("ConvertStringSidToSidW", Sddl.ConvertStringSidToSidW),
      Slot("ConvertStringSidToSidA", Sddl.ConvertStringSidToSidGeneric),
      Slot("ConvertStringSecurityDescriptorToSecurityDescriptorA",
           Sddl.ConvertStringSecurityDescriptorToSecurityDescriptorA),
      Slot("ConvertStringSecurityDescriptorToSecurityDescriptorW",
           Sddl.ConvertStringSecurityDescriptorToSecurityDescriptorW),
      Slot("ConvertStringSecurityDescriptorToSecurityDescriptorA",
           Sddl.ConvertStringSecurityDescriptorToSecurityDescriptorGeneric),
      Slot("ConvertSecurityDescriptorToStringSecurityDescriptorA",
           Sddl.ConvertSecurityDescriptorToStringSecurityDescriptorA),
      Slot("ConvertSecurityDescriptorToStringSecurityDescriptorW",
           Sddl.ConvertSecurityDescriptorToStringSecurityDescriptorW),
      Slot("ConvertSecurityDescriptorToStringSecurityDescriptorA",
           Sddl.ConvertSecurityDescriptorToStringSecurityDescriptorGeneric),
  });
  return group;
}

bool BindSddlFunctions() {
  return SddlBindingGroup().Bind();
}

void UnbindSddlFunctions() {
  SddlBindingGroup().Unbind();
}
