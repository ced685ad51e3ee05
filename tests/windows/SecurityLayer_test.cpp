// The security layer against the real ADVAPI32.DLL.
#include <gtest/gtest.h>

#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"

namespace {

class SecurityLayer : public ::testing::Test {
 protected:
  SddlModule sddl;
  SecUtilsModule secUtils;
};

TEST_F(SecurityLayer, BindsAndUnbindsTheRealLibrary) {
  ASSERT_TRUE(BindSddlFunctions());
  ASSERT_TRUE(BindSddlFunctions());
  EXPECT_NE(SddlBindingGroup().Library(), nullptr);
  EXPECT_NE(Sddl.ConvertSidToStringSidW, nullptr);
  EXPECT_NE(Sddl.ConvertStringSidToSidW, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(Sddl.ConvertSidToStringSidA),
            reinterpret_cast<void*>(Sddl.ConvertSidToStringSidGeneric));
  UnbindSddlFunctions();
  EXPECT_NE(Sddl.ConvertSidToStringSidW, nullptr);
  UnbindSddlFunctions();
  EXPECT_EQ(SddlBindingGroup().Library(), nullptr);
  EXPECT_EQ(Sddl.ConvertSidToStringSidW, nullptr);
  EXPECT_EQ(SddlBindingGroup().References(), 0);

  ASSERT_TRUE(BindNamedSecurityFunctions());
  EXPECT_NE(NamedSecurity.GetNamedSecurityInfoW, nullptr);
  EXPECT_NE(NamedSecurity.SetEntriesInAclA, nullptr);
}

TEST_F(SecurityLayer, ConvertsSidTexts) {
  ASSERT_TRUE(BindSddlFunctions());
  for (const wchar_t* text : {L"SID#S-1-1-0", L"sid#S-1-1-0", L"Sid#S-1-5-32-544"}) {
    OwnedSid sid;
    ASSERT_TRUE(StringToSid(text, L"", sid)) << text;
    EXPECT_EQ(SidToText(sid.get()), std::wstring(text).substr(4));
  }
  OwnedSid none;
  EXPECT_FALSE(StringToSid(L"SID#not-a-sid", L"", none));
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(SidToText(nullptr), L"");
}

TEST_F(SecurityLayer, NamesWellKnownAndBuiltinSids) {
  ASSERT_TRUE(BindSddlFunctions());
  OwnedSid everyone;
  ASSERT_TRUE(StringToSid(L"SID#S-1-1-0", L"", everyone));
  std::wstring name, domain, fullName = L"unchanged";
  EXPECT_EQ(SidToAccountName(everyone.get(), name, domain, fullName), SidTypeWellKnownGroup);
  EXPECT_EQ(name, L"Everyone");
  EXPECT_EQ(fullName, L"");

  OwnedSid administrators;
  ASSERT_TRUE(StringToSid(L"SID#S-1-5-32-544", L"", administrators));
  EXPECT_EQ(SidToAccountName(administrators.get(), name, domain, fullName), SidTypeAlias);
  EXPECT_EQ(name, L"Administrators");
  // An alias is shown with the local NetBIOS name, not the built-in domain.
  wchar_t netbios[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD cch = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(netbios, &cch));
  ASSERT_GT(cch, 0u);
  EXPECT_EQ(domain, std::wstring(netbios, cch));
}

TEST_F(SecurityLayer, UnknownAccountIsAnError) {
  ASSERT_TRUE(BindSddlFunctions());
  try {
    AccountNameToSidText(L"NoSuchUser-4711", L"");
    FAIL() << "no error";
  } catch (const EQvSecUtils& error) {
    EXPECT_EQ(error.Message(), "User:\"NoSuchUser-4711\" does not exist");
  }
}

}  // namespace
