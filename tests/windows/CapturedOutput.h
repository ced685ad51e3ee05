// Standard output sent to a temporary file while the program's modules run, so a test can read
// what the program printed through the real API.
#pragma once

#include <memory>
#include <string>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"
#include "Win32.h"

class CapturedOutput : NonCopyable {
 public:
  CapturedOutput();
  ~CapturedOutput();

  // Ends the modules (which flushes standard output) and returns what was printed.
  std::string Finish();

 private:
  HANDLE previous_;
  HandleGuard file_;  // the temporary file, deleted when closed
  std::wstring path_;
  std::unique_ptr<ConsoleModule> console_;
  std::unique_ptr<SddlModule> sddl_;
  std::unique_ptr<SecUtilsModule> secUtils_;
  std::unique_ptr<ActionsModule> actions_;
};
