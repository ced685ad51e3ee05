// Runs the whole program, or parts of it, in-process against a scripted machine.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "PrintedLines.h"
#include "SDDL/SDDL.h"
#include "ScriptedMachine.h"
#include "SecUtils/SecUtils.h"
#include "Win32Contract.h"

class ActionsModule;
class ConsoleModule;

struct ProgramRun {
  std::string output;
  int exitCode;
};

// Runs the program with the command line; the output is what reached standard output.
ProgramRun RunProgram(compat::ScriptedMachine& machine, const std::wstring& commandLine);

// The program's modules started against a machine, for tests that call one part directly.
class ScriptedModules {
 public:
  explicit ScriptedModules(compat::ScriptedMachine& machine);
  ~ScriptedModules();
  ScriptedModules(const ScriptedModules&) = delete;
  ScriptedModules& operator=(const ScriptedModules&) = delete;

  // Ends the modules (flushing standard output) and returns what was printed.
  std::string Finish();

 private:
  compat::ScriptedMachine& machine_;
  compat::MachineScope scope_;
  std::unique_ptr<ConsoleModule> console_;
  std::unique_ptr<SddlModule> sddl_;
  std::unique_ptr<SecUtilsModule> secUtils_;
  std::unique_ptr<ActionsModule> actions_;
};
