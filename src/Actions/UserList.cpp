// The table of local accounts, with the administrator mark and the disabled suffix.
#include <set>

#include "Actions/Actions.h"
#include "Console/Console.h"
#include "Format/Guards.h"
#include "Format/TextConversion.h"

void ListLocalUsers() {
  DWORD resumeHandle = 0;
  std::set<DWORD> continuedFrom = {resumeHandle};
  for (;;) {
    NetApiBufferGuard buffer;
    DWORD read = 0;
    DWORD total = 0;
    NET_API_STATUS status = NetUserEnum(nullptr, 2, 0, buffer.Receive(), MAX_PREFERRED_LENGTH,
                                        &read, &total, &resumeHandle);
    WriteColoredLine("Users on this computer:");
    WriteColoredLine("Is Admin? | Username");
    WriteColoredLine("------------------");
    const auto* records = reinterpret_cast<const USER_INFO_2*>(buffer.get());
    if (records == nullptr) read = 0;
    std::string line;
    for (DWORD i = 0; i < read; ++i) {
      const USER_INFO_2& record = records[i];
      line = (record.usri2_priv & USER_PRIV_ADMIN) == USER_PRIV_ADMIN ? "   Yes    | "
                                                                      : "          | ";
      if (record.usri2_name != nullptr) line += WideToAnsi(record.usri2_name);
      if ((record.usri2_flags & UF_ACCOUNTDISABLE) == UF_ACCOUNTDISABLE) line += " (Disabled)";
      WriteColoredLine(line);
    }
    // A batch that asks for more but brings nothing, or that hands back a resume handle the
    // listing has already continued from, ends the listing: a faulty platform cannot make it
    // print the same accounts forever.
    if (status != ERROR_MORE_DATA || read == 0 || !continuedFrom.insert(resumeHandle).second) {
      break;
    }
  }
}
