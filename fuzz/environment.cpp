// The splitting of an environment block, alone and through the environment section of the
// report: entries in block order up to the empty entry, each printed as it stands unless its
// name (the text before the first "=") is empty, and the block given back.
#include <string>
#include <vector>

#include "Actions/Actions.h"
#include "AnsiReference.h"
#include "Console/Console.h"
#include "FuzzInput.h"
#include "Win32Contract.h"
#include "ScriptedMachine.h"

namespace {

constexpr UINT kCodePages[] = {65001, 20127, 28591, 28605, 1252};

// The entries of a block: zero-ended texts up to the first empty one.
std::vector<std::wstring> ReferenceEntries(const std::wstring& block) {
  std::vector<std::wstring> entries;
  size_t start = 0;
  while (start < block.size() && block[start] != L'\0') {
    size_t end = block.find(L'\0', start);
    entries.push_back(block.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  UINT codePage = kCodePages[input.Byte() % std::size(kCodePages)];
  std::wstring content = input.RestAsWide();

  // The splitter on a block as the platform hands it out: the content, then two zeros.
  std::wstring block = content + std::wstring(2, L'\0');
  std::vector<std::wstring> expected = ReferenceEntries(block);
  FUZZ_CHECK(SplitEnvironmentBlock(block.c_str()) == expected);
  FUZZ_CHECK(SplitEnvironmentBlock(nullptr).empty());

  // The section on the scripted machine, whose GetEnvironmentStringsW adds the two zeros.
  compat::ScriptedMachine machine;
  machine.codePage = codePage;
  machine.environment = content;
  std::string printed;
  {
    compat::MachineScope scope(machine);
    {
      ConsoleModule console;
      IsCurrentUser = true;
      ShowEnvironment();
      IsCurrentUser = false;
    }
    printed = machine.output;
  }
  std::string lines =
      "\r\nEnvironment variables: -------------------------------------------------------\r\n";
  for (const std::wstring& entry : expected) {
    if (entry.find(L'=') == 0) continue;
    lines += ReferenceAnsi(codePage, entry) + "\r\n";
  }
  FUZZ_CHECK(printed == lines);
  FUZZ_CHECK(compat::CurrentOutstanding().Total() == 0);
  return 0;
}
