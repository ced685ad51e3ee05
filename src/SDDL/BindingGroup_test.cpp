#include "SDDL/BindingGroup.h"

#include <gtest/gtest.h>

#include "ProgramRun.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"

namespace {

class Binding : public ::testing::Test {
 protected:
  compat::ScriptedMachine machine;
  compat::MachineScope scope{machine};
};

TEST_F(Binding, KeepsTheLibraryWhileAReferenceIsHeld) {
  {
    SddlModule module;
    EXPECT_TRUE(BindSddlFunctions());
    EXPECT_TRUE(BindSddlFunctions());
    EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 1u);
    UnbindSddlFunctions();
    EXPECT_NE(SddlBindingGroup().Library(), nullptr);
    EXPECT_NE(Sddl.ConvertSidToStringSidW, nullptr);
    EXPECT_EQ(SddlBindingGroup().References(), 1);
    UnbindSddlFunctions();
    EXPECT_EQ(SddlBindingGroup().Library(), nullptr);
    EXPECT_EQ(Sddl.ConvertSidToStringSidW, nullptr);
    EXPECT_EQ(Sddl.ConvertStringSidToSidGeneric, nullptr);
    EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 0u);
    UnbindSddlFunctions();  // a count of 0 stays 0
    EXPECT_EQ(SddlBindingGroup().References(), 0);
  }
}

// Each group's unbind releases its own reference, not the other group's.
TEST_F(Binding, EachGroupIsReleasedByItsOwnUnbind) {
  SddlModule sddl;
  SecUtilsModule secUtils;
  ASSERT_TRUE(BindSddlFunctions());
  ASSERT_TRUE(BindNamedSecurityFunctions());
  UnbindNamedSecurityFunctions();
  EXPECT_EQ(NamedSecurityBindingGroup().References(), 0);
  EXPECT_EQ(NamedSecurity.GetNamedSecurityInfoW, nullptr);
  EXPECT_EQ(SddlBindingGroup().References(), 1);
  EXPECT_NE(Sddl.ConvertSidToStringSidW, nullptr);
  EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 1u);
}

TEST_F(Binding, BindsEachEntryToItsOwnVariant) {
  SddlModule sddl;
  SecUtilsModule secUtils;
  ASSERT_TRUE(BindSddlFunctions());
  ASSERT_TRUE(BindNamedSecurityFunctions());
  EXPECT_EQ(Sddl.ConvertSidToStringSidW, &::ConvertSidToStringSidW);
  EXPECT_EQ(Sddl.ConvertSidToStringSidA, &::ConvertSidToStringSidA);
  EXPECT_EQ(Sddl.ConvertSidToStringSidGeneric, &::ConvertSidToStringSidA);
  EXPECT_EQ(Sddl.ConvertStringSidToSidGeneric, &::ConvertStringSidToSidA);
  EXPECT_EQ(Sddl.ConvertSecurityDescriptorToStringSecurityDescriptorW,
            &::ConvertSecurityDescriptorToStringSecurityDescriptorW);
  EXPECT_EQ(NamedSecurity.GetNamedSecurityInfoGeneric, &::GetNamedSecurityInfoA);
  EXPECT_EQ(NamedSecurity.SetEntriesInAclW, &::SetEntriesInAclW);
  EXPECT_EQ(NamedSecurity.SetNamedSecurityInfoA, &::SetNamedSecurityInfoA);
  // Each group holds its own reference on the library.
  EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 2u);
}

TEST_F(Binding, CountsAReferenceWhenTheLibraryCannotLoad) {
  SddlModule module;
  machine.libraryLoads = false;
  EXPECT_FALSE(BindSddlFunctions());
  EXPECT_EQ(SddlBindingGroup().References(), 1);
  EXPECT_EQ(Sddl.ConvertSidToStringSidW, nullptr);
  machine.libraryLoads = true;
  EXPECT_TRUE(BindSddlFunctions());  // the next bind tries again
  EXPECT_EQ(SddlBindingGroup().References(), 2);
  EXPECT_NE(Sddl.ConvertSidToStringSidW, nullptr);
}

TEST_F(Binding, LeavesAMissingExportNull) {
  SddlModule module;
  machine.missingExports = {"ConvertSidToStringSidW", "ConvertStringSidToSidA"};
  EXPECT_TRUE(BindSddlFunctions());
  EXPECT_EQ(Sddl.ConvertSidToStringSidW, nullptr);
  EXPECT_EQ(Sddl.ConvertStringSidToSidA, nullptr);
  EXPECT_EQ(Sddl.ConvertStringSidToSidGeneric, nullptr);
  EXPECT_NE(Sddl.ConvertStringSidToSidW, nullptr);
  EXPECT_NE(Sddl.ConvertSidToStringSidA, nullptr);
}

TEST_F(Binding, FinalisationFreesWhatIsHeld) {
  {
    SddlModule sddl;
    SecUtilsModule secUtils;
    BindSddlFunctions();
    BindSddlFunctions();
    BindSddlFunctions();
    BindNamedSecurityFunctions();
    EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 2u);
  }
  EXPECT_EQ(compat::CurrentOutstanding().libraryReferences, 0u);
  EXPECT_EQ(SddlBindingGroup().References(), 0);
  EXPECT_EQ(NamedSecurityBindingGroup().References(), 0);
  EXPECT_EQ(Sddl.ConvertSidToStringSidW, nullptr);
  EXPECT_EQ(NamedSecurity.GetNamedSecurityInfoW, nullptr);
}

}  // namespace
