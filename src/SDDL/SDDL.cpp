#include "SDDL/SDDL.h"

SddlEntryPoints Sddl;

BindingGroup& SddlBindingGroup() {
  static BindingGroup group({
      USERLENS_SLOTS(Sddl, ConvertSidToStringSid),
      USERLENS_SLOTS(Sddl, ConvertStringSidToSid),
      USERLENS_SLOTS(Sddl, ConvertStringSecurityDescriptorToSecurityDescriptor),
      USERLENS_SLOTS(Sddl, ConvertSecurityDescriptorToStringSecurityDescriptor),
  });
  return group;
}

bool BindSddlFunctions() {
  return SddlBindingGroup().Bind();
}

void UnbindSddlFunctions() {
  SddlBindingGroup().Unbind();
}
