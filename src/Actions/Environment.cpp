// The environment section: the entries of the process environment, in block order.
#include <vector>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"
#include "Format/TextConversion.h"

std::vector<std::wstring> SplitEnvironmentBlock(const wchar_t* block) {
  std::vector<std::wstring> entries;
  if (block == nullptr) return entries;
  for (const wchar_t* entry = block; *entry != L'\0';) {
    std::wstring text(entry);
    entry += text.size() + 1;
    entries.push_back(std::move(text));
  }
  return entries;
}

void ShowEnvironment() {
  WriteColoredLine("");
  WriteColoredLine(
      "Environment variables: -------------------------------------------------------");
  if (!IsCurrentUser) return;
  EnvironmentGuard block(GetEnvironmentStringsW());
  for (const std::wstring& entry : SplitEnvironmentBlock(block.get())) {
    // An entry with an empty name, such as the hidden "=C:" entries, is not shown.
    if (entry.substr(0, entry.find(L'=')).empty()) continue;
    WriteColoredLine(WideToAnsi(entry));
  }
}
