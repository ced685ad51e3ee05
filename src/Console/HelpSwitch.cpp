// The help switches of the command line.
#include "Console/Console.h"

bool IsHelpSwitch(std::wstring_view text) {
  return text == L"?" || text == L"-?" || text == L"/?" || text == L"\\?";
}
