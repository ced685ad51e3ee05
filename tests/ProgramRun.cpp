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

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}
