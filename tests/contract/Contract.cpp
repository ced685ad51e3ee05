#include "Contract.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <type_traits>

namespace contract {
namespace {

std::vector<std::string>& StartArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

std::map<std::string, Where>& Registry() {
  static std::map<std::string, Where> registry;
  return registry;
}

// Lists every test of the program with where it does not hold.
void List() {
  const ::testing::UnitTest& tests = *::testing::UnitTest::GetInstance();
  for (int s = 0; s < tests.total_test_suite_count(); ++s) {
    const ::testing::TestSuite& suite = *tests.GetTestSuite(s);
    for (int t = 0; t < suite.total_test_count(); ++t) {
      std::string name = std::string(suite.name()) + "." + suite.GetTestInfo(t)->name();
      auto it = Registry().find(name);
      Where where = it == Registry().end() ? Everywhere() : it->second;
      std::printf("%s\t%s\t%s\n", name.c_str(), WhyNot(where, Side::StandIn).c_str(),
                  WhyNot(where, Side::Wine).c_str());
    }
  }
}

}  // namespace

bool Register(const std::string& fullName, const Where& where) {
  Registry()[fullName] = where;
  return true;
}

Side ThisSide() {
#ifdef _WIN32
  static const Side side = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return wine ? Side::Wine : Side::Windows;
  }();
  return side;
#else
  return Side::StandIn;
#endif
}

std::string WhyNot(const Where& where, Side side) {
  switch (where.holds) {
    case Holds::Everywhere:
      return "";
    case Holds::NotUnderWine:
      // USERLENS_CONTRACT_ASK_WINE=1 runs these rows under Wine too, to see what Wine answers.
      if (side == Side::Wine && std::getenv("USERLENS_CONTRACT_ASK_WINE") != nullptr) return "";
      return side == Side::Wine ? std::string("under Wine: ") + where.why : "";
    case Holds::OnlyUnderWine:
      return side != Side::Wine ? std::string("Wine only: ") + where.why : "";
    case Holds::NotOnTheStandIn:
      return side == Side::StandIn ? std::string("not in the stand-in: ") + where.why : "";
  }
  return "";
}

namespace {

// Printable ASCII as it stands, every other unit as `format` writes its value.
template <typename Unit>
std::string ShowUnits(std::basic_string_view<Unit> text, const char* format) {
  std::string shown;
  for (Unit unit : text) {
    auto code = static_cast<unsigned long>(static_cast<std::make_unsigned_t<Unit>>(unit));
    if (code >= 0x20 && code < 0x7F) {
      shown += static_cast<char>(code);
    } else {
      char escape[24];
      std::snprintf(escape, sizeof(escape), format, code);
      shown += escape;
    }
  }
  return shown;
}

}  // namespace

const std::vector<std::string>& Arguments() {
  return StartArguments();
}

std::wstring CurrentUser() {
  wchar_t user[256] = {};
  DWORD cch = 256;
  EXPECT_TRUE(GetUserNameW(user, &cch));
  return user;
}

std::wstring UpperCase(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

void ServerNameOfThisComputer(std::wstring& server) {
  wchar_t buffer[256] = {};
  DWORD cch = 255;
  ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsFullyQualified, buffer, &cch)) << GetLastError();
  char netBios[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD cchNetBios = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameA(netBios, &cchNetBios)) << GetLastError();
  server = UpperCase(std::wstring(buffer, cch));
  if (ThisSide() == Side::Wine &&
      server != UpperCase(std::wstring(netBios, netBios + cchNetBios))) {
    GTEST_SKIP() << "under Wine: only the NetBIOS name is this computer";
  }
}

std::string Show(std::wstring_view text) {
  return ShowUnits(text, "\\x{%lX}");
}

std::string Show(std::string_view bytes) {
  return ShowUnits(bytes, "\\x%02lX");
}

}  // namespace contract

int main(int argc, char** argv) {
  contract::StartArguments().assign(argv + 1, argv + argc);
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--contract-list") {
      contract::List();
      return 0;
    }
  }
  return RUN_ALL_TESTS();
}
