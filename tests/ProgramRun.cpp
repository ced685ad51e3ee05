#include "ProgramRun.h"

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "SDDL/SDDL.h"
#include "SecUtils/SecUtils.h"
#include "main/Program.h"

ProgramRun RunProgram(compat::ScriptedMachine& machine, const std::wstring& commandLine) {
  machine.commandLine = commandLine;
  machine.output.clear();
  compat::MachineScope scope(machine);
  int exitCode = RunUserlens();
  return ProgramRun{machine.output, exitCode};
}

ScriptedModules::ScriptedModules(compat::ScriptedMachine& machine)
    : machine_(machine),
      scope_(machine),
      console_(std::make_unique<ConsoleModule>()),
      sddl_(std::make_unique<SddlModule>()),
      secUtils_(std::make_unique<SecUtilsModule>()),
      actions_(std::make_unique<ActionsModule>()) {
  machine_.output.clear();
}

ScriptedModules::~ScriptedModules() {
  Finish();
}

std::string ScriptedModules::Finish() {
  actions_.reset();
  secUtils_.reset();
  sddl_.reset();
  console_.reset();
  return machine_.output;
}
