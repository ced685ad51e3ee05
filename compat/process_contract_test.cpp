// The contract of the process calls: the user's and the computer's names, the environment block,
// the locale's texts and the last error.
#include <string>
#include <string_view>
#include <vector>

#include "contract/Contract.h"

namespace {

using contract::Everywhere;
using contract::Where;

// How a name call is asked, relative to the length of the name it answers.
enum class Buffer {
  Ample,       // room for the name and its null
  Exact,       // room for the name and its null, not one character more
  NoNull,      // room for the name but not its null
  ZeroNoText,  // a size of 0 and no buffer: a size probe
};

enum class Reported { Length, LengthAndNull };

struct NameRow {
  std::string name;
  const char* call;
  Buffer buffer;
  BOOL result;
  DWORD lastError;  // when the call fails
  Reported reported;
  Where where = Everywhere();
};

constexpr DWORD kBufferOverflow = 111;  // ERROR_BUFFER_OVERFLOW

// Each call asked four ways. With room to spare and with exact room it gives the name and its
// size (GetUserNameW counts the null, the computer names do not); without room for the null, and
// as a size probe, it fails with its own error and reports the length with the null.
std::vector<NameRow> NameRows() {
  struct Call {
    const char* prefix;
    const char* call;
    DWORD shortError;
    Reported reportedOnSuccess;
  };
  const Call calls[] = {
      {"user", "GetUserNameW", ERROR_INSUFFICIENT_BUFFER, Reported::LengthAndNull},
      {"dns", "GetComputerNameExW", ERROR_MORE_DATA, Reported::Length},
      {"netbios", "GetComputerNameA", kBufferOverflow, Reported::Length},
  };
  std::vector<NameRow> rows;
  for (const Call& c : calls) {
    const std::string prefix = c.prefix;
    rows.push_back({prefix + "_ample", c.call, Buffer::Ample, TRUE, 0, c.reportedOnSuccess});
    rows.push_back({prefix + "_exact", c.call, Buffer::Exact, TRUE, 0, c.reportedOnSuccess});
    rows.push_back(
        {prefix + "_short", c.call, Buffer::NoNull, FALSE, c.shortError, Reported::LengthAndNull});
    rows.push_back({prefix + "_probe", c.call, Buffer::ZeroNoText, FALSE, c.shortError,
                    Reported::LengthAndNull});
  }
  return rows;
}

const std::vector<NameRow> kNames = NameRows();

// Calls one of the three name calls; the text as wide text, whatever the call's own width.
BOOL CallName(const std::string& call, std::vector<wchar_t>* buffer, DWORD& cch,
              std::wstring& text) {
  text.clear();
  if (call == "GetUserNameW") {
    BOOL ok = GetUserNameW(buffer != nullptr ? buffer->data() : nullptr, &cch);
    if (ok && buffer != nullptr) text = buffer->data();
    return ok;
  }
  if (call == "GetComputerNameExW") {
    BOOL ok = GetComputerNameExW(ComputerNameDnsFullyQualified,
                                 buffer != nullptr ? buffer->data() : nullptr, &cch);
    if (ok && buffer != nullptr) text = buffer->data();
    return ok;
  }
  std::vector<char> bytes(buffer != nullptr ? buffer->size() : 0);
  BOOL ok = GetComputerNameA(buffer != nullptr ? bytes.data() : nullptr, &cch);
  if (ok && buffer != nullptr)
    text.assign(bytes.data(), bytes.data() + std::string(bytes.data()).size());
  return ok;
}

class NameContract : public ::testing::TestWithParam<NameRow> {};

TEST_P(NameContract, Holds) {
  const NameRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  // The name itself, from an ample buffer.
  std::vector<wchar_t> ample(1024, L'\0');
  DWORD cch = static_cast<DWORD>(ample.size());
  std::wstring name;
  ASSERT_TRUE(CallName(row.call, &ample, cch, name)) << GetLastError();
  ASSERT_FALSE(name.empty());
  const auto length = static_cast<DWORD>(name.size());

  std::vector<wchar_t> buffer(1024, L'\x7F');
  bool withBuffer = true;
  switch (row.buffer) {
    case Buffer::Ample:
      cch = 1024;
      break;
    case Buffer::Exact:
      cch = length + 1;
      break;
    case Buffer::NoNull:
      cch = length;
      break;
    case Buffer::ZeroNoText:
      cch = 0;
      withBuffer = false;
      break;
  }
  SetLastError(0);
  std::wstring text;
  BOOL result = CallName(row.call, withBuffer ? &buffer : nullptr, cch, text);
  EXPECT_EQ(result != FALSE, row.result != FALSE);
  if (!row.result) {
    EXPECT_EQ(GetLastError(), row.lastError);
  }
  if (row.result) {
    EXPECT_EQ(contract::Show(text), contract::Show(name));
  }
  EXPECT_EQ(cch, row.reported == Reported::Length ? length : length + 1);
}

CONTRACT_TABLE(NameContract, kNames)

// The NetBIOS name is at most MAX_COMPUTERNAME_LENGTH bytes in upper case: a buffer of one more
// always takes it, whatever the host name's characters.
TEST(ComputerNameContract, NetBiosNameFitsItsOwnBuffer) {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD cch = sizeof(buffer);
  ASSERT_TRUE(GetComputerNameA(buffer, &cch)) << GetLastError();
  EXPECT_GT(cch, 0u);
  EXPECT_LE(cch, static_cast<DWORD>(MAX_COMPUTERNAME_LENGTH));
  EXPECT_EQ(std::string(buffer).size(), cch);
  for (DWORD i = 0; i < cch; ++i) EXPECT_FALSE(buffer[i] >= 'a' && buffer[i] <= 'z') << buffer;
}

// The environment block: entries each ended by a null, the whole ended by an empty entry; the
// process's own variables among them; given back with FreeEnvironmentStringsW.
TEST(EnvironmentContract, BlockHoldsTheProcessVariables) {
#ifdef _WIN32
  ASSERT_TRUE(SetEnvironmentVariableW(L"USERLENS_CONTRACT", L"a=b"));
#else
  ASSERT_EQ(setenv("USERLENS_CONTRACT", "a=b", 1), 0);
#endif
  LPWCH block = GetEnvironmentStringsW();
  ASSERT_NE(block, nullptr);
  std::vector<std::wstring> entries;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += entries.back().size() + 1) {
    entries.emplace_back(entry);
  }
  EXPECT_TRUE(FreeEnvironmentStringsW(block));
  bool found = false;
  for (const std::wstring& entry : entries) found = found || entry == L"USERLENS_CONTRACT=a=b";
  EXPECT_TRUE(found);
  // No block is nothing to free, as a heap free.
  EXPECT_TRUE(FreeEnvironmentStringsW(nullptr));
}

// The locale's texts that the date lines read: a size probe, the text, a short buffer.
struct LocaleRow {
  const char* name;
  LCTYPE type;
  Where where = Everywhere();
};

const LocaleRow kLocale[] = {
    {"january", LOCALE_SMONTHNAME1},
    {"december", LOCALE_SMONTHNAME1 + 11},
    {"long_time", LOCALE_STIMEFORMAT},
    {"am", LOCALE_S1159},
    {"pm", LOCALE_S2359},
};

class LocaleContract : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(LocaleContract, Holds) {
  const LocaleRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  // A month name and the time picture are never empty (AM and PM may be, in a 24-hour locale).
  bool mayBeEmpty = row.type == LOCALE_S1159 || row.type == LOCALE_S2359;
  int cchNeeded = GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, nullptr, 0);
  ASSERT_GT(cchNeeded, mayBeEmpty ? 0 : 1);
  std::vector<wchar_t> text(static_cast<size_t>(cchNeeded) + 4, L'\x7F');
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, text.data(), cchNeeded), cchNeeded);
  EXPECT_EQ(std::wstring(text.data()).size() + 1, static_cast<size_t>(cchNeeded));
  if (cchNeeded > 1) {
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, text.data(), cchNeeded - 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  }
  // A length without a buffer, or a length below 0, is refused.
  for (int cch : {cchNeeded, -1}) {
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, cch < 0 ? text.data() : nullptr, cch),
              0)
        << cch;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << cch;
  }
}

CONTRACT_TABLE(LocaleContract, kLocale)

// The time picture a logon's time is written with: outside quoted text it has no letter but h,
// H, m, s and t, the letters the program writes.
TEST(LocaleContract, TimePictureHasOnlyTheTimeLetters) {
  wchar_t picture[128] = {};
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, 128), 0);
  bool quoted = false;
  for (const wchar_t* c = picture; *c != L'\0'; ++c) {
    bool letter = (*c >= L'a' && *c <= L'z') || (*c >= L'A' && *c <= L'Z');
    if (*c == L'\'') {
      quoted = !quoted;
    } else if (letter && !quoted) {
      EXPECT_NE(std::wstring_view(L"hHmst").find(*c), std::wstring_view::npos)
          << contract::Show(std::wstring_view(picture));
    }
  }
}

TEST(LastErrorContract, IsWhatWasSetLast) {
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
