// The computer's DNS and NetBIOS names and the server names that mean this computer.
#include "host/ComputerNames.h"

#include <gtest/gtest.h>

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.canonical == nullptr ? "(none)" : c.canonical);
    EXPECT_EQ(ChooseDnsName(c.hostName, c.canonical), c.dns);
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
