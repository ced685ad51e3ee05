// The name-and-SID lines of the groups section.
#include "Actions/Actions.h"
#include "Console/Console.h"
#include "SecUtils/SecUtils.h"

void WriteNameWithSid(std::wstring_view name, std::wstring_view sidText) {
  if (name == sidText) {
    WriteColoredFormat(
        L"<?"
        L"?> (%s)",
        {sidText});
  } else {
    WriteColoredFormat(L"%s (%s)", {name, sidText});
  }
}

void WriteAccountListWithSids(const LPWSTR* names, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    std::wstring name = names[i] == nullptr ? std::wstring() : std::wstring(names[i]);
    std::wstring sidText = AccountNameToSidText(name, ComputerName);
    WriteNameWithSid(ComputerName + L"\\" + name, sidText);
  }
}
