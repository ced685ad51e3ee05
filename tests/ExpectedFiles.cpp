#include "ExpectedFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string ReadExpected(const std::string& name) {
  std::ifstream file(std::string(USERLENS_TEST_DATA) + "/" + name, std::ios::binary);
  if (!file) ADD_FAILURE() << "no expected file " << name;
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void ExpectFile(const std::string& name, const std::string& actual) {
  // Only USERLENS_UPDATE_EXPECTED=1 rewrites: any other value (0 too) checks as always.
  const char* update = std::getenv("USERLENS_UPDATE_EXPECTED");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(std::string(USERLENS_TEST_DATA) + "/" + name, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, ReadExpected(name)) << name;
}
