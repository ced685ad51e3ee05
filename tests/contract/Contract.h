// The contract between the stand-in and Win32: rows of data (a call's input, the result, the
// last error, the size reported back, the output) compiled twice, against compat/ on Linux and
// against the real API in the Windows build, which the tests run under wine64. A row says where
// it holds; a row that Wine cannot answer, or answers unlike Windows, says why, and the reason
// shows when the row is skipped.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Win32.h"

namespace contract {

enum class Holds {
  Everywhere,       // Windows, Wine and the stand-in answer alike
  NotUnderWine,     // Windows' answer, which the stand-in gives; Wine cannot give it
  OnlyUnderWine,    // Wine's answer where it differs from Windows; the stand-in follows Windows
  NotOnTheStandIn,  // Windows' answer to an input the program never passes; not provided here
};

struct Where {
  Holds holds = Holds::Everywhere;
  const char* why = "";
};

constexpr Where Everywhere() {
  return {};
}
constexpr Where NotUnderWine(const char* why) {
  return {Holds::NotUnderWine, why};
}
constexpr Where OnlyUnderWine(const char* why) {
  return {Holds::OnlyUnderWine, why};
}
constexpr Where NotOnTheStandIn(const char* why) {
  return {Holds::NotOnTheStandIn, why};
}

// Where a contract test runs.
enum class Side { StandIn, Wine, Windows };
Side ThisSide();
// Empty when the row holds on that side; otherwise why it does not.
std::string WhyNot(const Where& where, Side side);

// Records where a test holds, by its full name, for the listing the build reads
// (--contract-list): one line a test, "name<TAB>why not on the stand-in<TAB>why not under Wine".
bool Register(const std::string& fullName, const Where& where);

// Bytes with their length, so that a row can hold a null byte.
struct Bytes {
  const char* data = nullptr;
  size_t size = 0;
  std::string_view view() const { return std::string_view(data, size); }
};
template <size_t N>
constexpr Bytes B(const char (&text)[N]) {
  return Bytes{text, N - 1};
}

// The arguments the test program was started with, as main had them before the test framework
// took its own (ctest passes at least a filter).
const std::vector<std::string>& Arguments();

// The name of the user who runs the test, as GetUserNameW gives it.
std::wstring CurrentUser();
// The fully qualified DNS name of this computer in upper case, as the program names the computer
// to the account database and to the name lookups. Skips the test under Wine where that is not
// the NetBIOS name (Wine takes only the NetBIOS name as this computer).
void ServerNameOfThisComputer(std::wstring& server);
// The text in upper case, a character at a time.
std::wstring UpperCase(std::wstring text);

// Text as printable ASCII with escapes, for failure messages.
std::string Show(std::wstring_view text);
std::string Show(std::string_view bytes);

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

}  // namespace contract

// Skips the running test, with its reason, where the row does not hold.
#define CONTRACT_SKIP_UNLESS_IT_HOLDS(where)                                        \
  do {                                                                              \
    std::string contract_why = ::contract::WhyNot((where), ::contract::ThisSide()); \
    if (!contract_why.empty()) GTEST_SKIP() << contract_why;                        \
  } while (false)

// The rows of one table as a parameterised suite whose one test is TEST_P(Suite, Holds):
// CONTRACT_TABLE(Suite, kRows).
#define CONTRACT_TABLE(Suite, rows)                                                             \
  /* gtest prints a row by its name. */                                                         \
  [[maybe_unused]] void PrintTo(const std::decay_t<decltype(rows[0])>& row, std::ostream* os) { \
    *os << row.name;                                                                            \
  }                                                                                             \
  INSTANTIATE_TEST_SUITE_P(Rows, Suite, ::testing::ValuesIn(rows),                              \
                           ::contract::RowName<std::decay_t<decltype(rows[0])>>);               \
  const bool Suite##Registered = [] {                                                           \
    for (const auto& row : rows) {                                                              \
      ::contract::Register(std::string("Rows/" #Suite ".Holds/") + row.name, row.where);        \
    }                                                                                           \
    return true;                                                                                \
  }();

// One test that holds where `where` says: CONTRACT_TEST(Suite, Name, where) { ... }.
#define CONTRACT_TEST(Suite, Name, where)                                               \
  void Suite##Name##Body();                                                             \
  const bool Suite##Name##Registered = ::contract::Register(#Suite "." #Name, (where)); \
  TEST(Suite, Name) {                                                                   \
    CONTRACT_SKIP_UNLESS_IT_HOLDS((where));                                             \
    Suite##Name##Body();                                                                \
  }                                                                                     \
  void Suite##Name##Body()
