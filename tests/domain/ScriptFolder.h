// A private folder for the fake domain libraries: the answer script they read, the log and the
// call counts they write (USERLENS_FAKE_SCRIPT, _LOG, _CALLS point into it). Removed with
// everything in it when the folder goes away.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

namespace compat {

class ScriptFolder {
 public:
  // With `logged`, the libraries also log their calls and count them here.
  explicit ScriptFolder(bool logged) {
    char pattern[] = "/tmp/userlens-domain-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    path_ = pattern;
    setenv("USERLENS_FAKE_SCRIPT", Path("script").c_str(), 1);
    if (logged) {
      setenv("USERLENS_FAKE_LOG", Path("log").c_str(), 1);
      setenv("USERLENS_FAKE_CALLS", Path("calls").c_str(), 1);
    } else {
      unsetenv("USERLENS_FAKE_LOG");
      unsetenv("USERLENS_FAKE_CALLS");
    }
  }
  ~ScriptFolder() { EXPECT_EQ(system(("rm -rf '" + path_ + "'").c_str()), 0); }
  ScriptFolder(const ScriptFolder&) = delete;
  ScriptFolder& operator=(const ScriptFolder&) = delete;

  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name)) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream file(Path(name));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

}  // namespace compat
