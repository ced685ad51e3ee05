// The computer's DNS and NetBIOS names and the server names that mean this computer.
#include "host/ComputerNames.h"

#include <gtest/gtest.h>

#include <tuple>

namespace compat {
namespace {

TEST(ComputerNames, DnsNameFromTheResolver) {
  struct Case {
    const char* hostName;
    const char* canonical;
    const char* dns;
  };
  const Case cases[] = {
      {"ulhost", "ulhost.example.test", "ulhost.example.test"},
      {"ulhost", "ULHOST.Example.Test.", "ULHOST.Example.Test"},
      {"ulhost", "ulhost", "ulhost"},
      {"ulhost", nullptr, "ulhost"},
      {"ulhost", "", "ulhost"},
      {"ulhost", "localhost", "ulhost"},             // an alias of another name
      {"ulhost", "ulhost2.example.test", "ulhost"},  // not the same first label
      {"ulhost.example.test", "ulhost.example.test", "ulhost.example.test"},
      {"ulhost.", nullptr, "ulhost"},  // a host name with the root's dot
      {"ulhost.example.test.", "localhost", "ulhost.example.test"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.canonical == nullptr ? "(none)" : c.canonical);
    EXPECT_EQ(ChooseDnsName(c.hostName, c.canonical), c.dns);
  }
}

// Upper case in full, and no more than 15 bytes in the code page: a name whose characters take
// more than a byte each is cut on a whole character, never left too long for GetComputerNameA.
TEST(ComputerNames, NetBiosNameFitsFifteenBytes) {
  const std::tuple<const wchar_t*, UINT, const wchar_t*> cases[] = {
      {L"ulhost.example.test", 65001, L"ULHOST"},
      {L"a-very-long-host-name.example", 65001, L"A-VERY-LONG-HOS"},
      {L"m\u00fcllers-rechner", 1252, L"M\u00dcLLERS-RECHNER"},
      {L"m\u00fcllers-rechner", 65001, L"M\u00dcLLERS-RECHNE"},
      {L"\u65e5\u672c\u8a9e\u306e\u30b3\u30f3\u30d4\u30e5\u30fc\u30bf", 65001,
       L"\u65e5\u672c\u8a9e\u306e\u30b3"},
      {L"\u65e5\u672c\u8a9e\u306e\u30b3\u30f3\u30d4\u30e5\u30fc\u30bf", 932,
       L"\u65e5\u672c\u8a9e\u306e\u30b3\u30f3\u30d4"},
      {L"abcdefghijklm\U0001F600x", 65001, L"ABCDEFGHIJKLM"},
      {L"abcdefghijklmn\U0001F600", 1252, L"ABCDEFGHIJKLMN\U0001F600"},
  };
  for (auto [dns, codePage, netbios] : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(dns).c_str() << " in " << codePage);
    EXPECT_EQ(NetBiosNameOf(dns, codePage), netbios);
  }
}

TEST(ComputerNames, ServerNamesThatMeanThisComputer) {
  struct Case {
    const wchar_t* server;
    bool thisComputer;
  };
  const Case cases[] = {
      {L"", true},
      {L"\\\\", true},
      {L"ulhost.example.test", true},
      {L"ULHOST.EXAMPLE.TEST", true},
      {L"\\\\ULHOST.EXAMPLE.TEST", true},
      {L"ulhost", true},
      {L"\\\\ULHOST", true},
      {L"ulhost.example", false},
      {L"other", false},
      {L"\\\\other.example.test", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.server).c_str());
    EXPECT_EQ(NamesThisComputer(c.server, L"ulhost.example.test", L"ULHOST"), c.thisComputer);
  }
}

}  // namespace
}  // namespace compat
