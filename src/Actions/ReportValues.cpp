// The values the whole report shares, which the driver sets and the sections read, and the start
// and end of the module that holds them.
#include "Actions/Actions.h"

bool IsCurrentUser = false;
std::wstring ComputerName;

LPCWSTR ComputerNameArgument() {
  return ComputerName.empty() ? nullptr : ComputerName.c_str();
}

ActionsModule::ActionsModule() {
  LoadDateFormat();
}

ActionsModule::~ActionsModule() {
  UnloadDateFormat();
  IsCurrentUser = false;
  ComputerName.clear();
}
