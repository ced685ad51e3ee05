// Runs the whole program in-process against a scripted machine.
#pragma once

#include <string>

#include "ScriptedMachine.h"

struct ProgramRun {
  std::string output;
  int exitCode;
};

// Runs the program with the command line; the output is what reached standard output.
ProgramRun RunProgram(compat::ScriptedMachine& machine, const std::wstring& commandLine);

// Joins lines with CR LF after each, as the program writes them.
std::string Lines(std::initializer_list<std::string> lines);
