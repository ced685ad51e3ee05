// The time locale's texts as Windows gives them: read in the time locale's own character set,
// whatever LC_CTYPE says, and the C locale's where that set has no code page.
#include "host/HostLocale.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

namespace compat {
namespace {

// Locales made in a folder of the test's own and found through LOCPATH; the process's locale
// and LOCPATH are put back, and the folder removed, whatever the test's end.
class HostLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v localedef >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "localedef (locales) is not installed";
    }
    char pattern[] = "/tmp/userlens-locale-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    if (const char* path = std::getenv("LOCPATH")) savedPath_ = path;
    savedTime_ = std::setlocale(LC_TIME, nullptr);
    savedType_ = std::setlocale(LC_CTYPE, nullptr);
    setenv("LOCPATH", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (folder_.empty()) return;
    std::setlocale(LC_TIME, savedTime_.c_str());
    std::setlocale(LC_CTYPE, savedType_.c_str());
    if (savedPath_) {
      setenv("LOCPATH", savedPath_->c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
    EXPECT_EQ(std::system(("rm -rf '" + folder_ + "'").c_str()), 0);
  }
  bool Make(const char* name, const char* source, const char* charmap) {
    std::string make = std::string("localedef -i ") + source + " -f " + charmap + " '" + folder_ +
                       "/" + name + "' 2>/dev/null";
    return std::system(make.c_str()) == 0;
  }

  std::string folder_;
  std::optional<std::string> savedPath_;
  std::string savedTime_;
  std::string savedType_;
};

TEST_F(HostLocaleTest, TimeTextsInTheTimeLocalesOwnCharacterSet) {
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
  std::setlocale(LC_CTYPE, "C");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    if (c.source != nullptr) {
      ASSERT_TRUE(Make(c.locale, c.source, c.charmap));
    }
    ASSERT_NE(std::setlocale(LC_TIME, c.locale), nullptr);
    LocaleFacts facts = ReadLocaleFacts();
    EXPECT_EQ(facts.monthNames[2], c.march);
    EXPECT_EQ(facts.longTimeFormat, c.timeFormat);
    EXPECT_EQ(facts.amDesignator, c.am);
    for (const std::wstring& name : facts.monthNames) EXPECT_FALSE(name.empty());
  }
}

}  // namespace
}  // namespace compat
