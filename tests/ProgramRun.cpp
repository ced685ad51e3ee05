#include "ProgramRun.h"

#include "main/Program.h"

ProgramRun RunProgram(compat::ScriptedMachine& machine, const std::wstring& commandLine) {
  machine.commandLine = commandLine;
  machine.output.clear();
  compat::MachineScope scope(machine);
  int exitCode = RunUserlens();
  return ProgramRun{machine.output, exitCode};
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}
