// The time locale's texts as Windows gives them: read in the time locale's own character set,
// whatever LC_CTYPE says, and the C locale's where that set has no code page.
#include "host/HostLocale.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace compat {
namespace {

TEST(HostLocale, TimeTextsInTheTimeLocalesOwnCharacterSet) {
  char folder[] = "/tmp/userlens-locale-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  struct Case {
    const char* locale;  // made here from a source and a character map, unless built in
    const char* source;
    const char* charmap;
    const wchar_t* march;
    const wchar_t* timeFormat;
    const wchar_t* am;
  };
  const Case cases[] = {
      {"C", nullptr, nullptr, L"March", L"HH:mm:ss", L"AM"},
      // KOI8-R is code page 20866: the Russian names, read in it under an ASCII LC_CTYPE.
      {"ru_RU.KOI8-R", "ru_RU", "KOI8-R", L"\u041C\u0430\u0440\u0442", L"HH:mm:ss", L""},
      // KOI8-T has no Windows code page: the C locale's texts, none of them empty.
      {"tg_TJ.KOI8-T", "tg_TJ", "KOI8-T", L"March", L"HH:mm:ss", L"AM"},
  };
  setenv("LOCPATH", folder, 1);
  std::string saved = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_CTYPE, "C");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    if (c.source != nullptr) {
      std::string make = std::string("localedef -i ") + c.source + " -f " + c.charmap + " " +
                         folder + "/" + c.locale + " 2>/dev/null";
      ASSERT_EQ(std::system(make.c_str()), 0) << make;
    }
    ASSERT_NE(std::setlocale(LC_TIME, c.locale), nullptr);
    LocaleFacts facts = ReadLocaleFacts();
    EXPECT_EQ(facts.monthNames[2], c.march);
    EXPECT_EQ(facts.longTimeFormat, c.timeFormat);
    EXPECT_EQ(facts.amDesignator, c.am);
    for (const std::wstring& name : facts.monthNames) EXPECT_FALSE(name.empty());
  }
  std::setlocale(LC_TIME, saved.c_str());
  unsetenv("LOCPATH");
  EXPECT_EQ(std::system((std::string("rm -rf ") + folder).c_str()), 0);
}

}  // namespace
}  // namespace compat
