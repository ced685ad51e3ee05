#include "main/Program.h"

#include <exception>
#include <new>
#include <string>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Error.h"
#include "Format/TextConversion.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"
#include "Win32.h"
#include "main/CommandLine.h"
#include "main/Usage.h"

namespace {

void Dispatch(const std::wstring& argument) {
  if (argument == L"/listusers") {
    ListLocalUsers();
  } else if (IsHelpSwitch(argument)) {
    ShowUsage();
  } else if (argument.empty()) {
    ReportUser(L"");
  } else if (argument[0] == L'/') {
    ShowUsage();
  } else {
    ReportUser(argument);  // a leading minus sign is part of the name
  }
}

void HandleError(const std::string& message) {
  std::wstring wide;
  try {
    wide = AnsiToWide(message);
  } catch (...) {
    wide.clear();
  }
  PrintError(wide);
  ExitCode() = 1;
}

}  // namespace

int RunUserlens() {
  // Modules start in this order and end in the reverse one.
  ConsoleModule console;
  SddlModule sddl;
  SecUtilsModule secUtils;
  ActionsModule actions;

  ExitCode() = 0;
  try {
    std::wstring argument = ReadFirstArgument(GetCommandLineW());
    if (!argument.empty()) CharLowerBuffW(argument.data(), static_cast<DWORD>(argument.size()));
    Dispatch(argument);
  } catch (const Error& error) {
    HandleError(error.Message());
  } catch (const std::bad_alloc&) {
    HandleError("Out of memory");
  } catch (const std::exception& error) {
    HandleError(error.what());
  }
  return ExitCode();
}
