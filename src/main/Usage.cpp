#include "main/Usage.h"

#include "Console/Console.h"

namespace {

// The copyright line, kept only in scrambled form (see UnscrambleText).
constexpr char kScrambledCopyright[] =
    "\x4E\x7B\x7D\x87\x81\x79\x78\x7A\x87\x34\x3D\x79\x40\x38\x4B\x4A\x4D"
    "\x52\x3D\x6F\x94\x8F\x93\x90\x99\x85\x91\x8B\x47\x74\x9D\x8E\x59";

void WriteLines(std::initializer_list<const char*> lines) {
  for (const char* line : lines) WriteColoredLine(line);
}

}  // namespace

void ShowBanner() {
  WriteColoredLine("Quornvale Userlens 1.0");
  WriteColoredLine(
      UnscrambleText(std::string_view(kScrambledCopyright, sizeof(kScrambledCopyright) - 1)));
  WriteColoredLine("");
}

void ShowDisclaimer() {
  WriteLines({
      "",
      "                            DISCLAIMER",
      "Official download location: Quornvale (https://quornvale.example/userlens)",
      "Mirrors: Fjordnet (https://fjordnet.example/mirror/userlens)",
      "         Kestrel (https://kestrel.example/pub/userlens)",
      "         Tallbrook (https://tallbrook.example/userlens)",
      "",
      "Quornvale is not liable for damages of any kind arising from the use of",
      "this program.",
      "",
  });
}

void ShowUsage() {
  ShowBanner();
  WriteLines({
      "USERLENS returns information about a user.",
      "",
      "Syntax:",
      "  USERLENS [Username] [Options]",
      "",
      "  Username is the user you want information about. If not supplied the current",
      "  user will be queried.",
      "",
      "  Note: Usernames in Windows can start with a minus sign (-), so this cannot be",
      "  used as switch",
      "",
      "",
      "  Options:",
      "  /ListUsers",
      "     Returns a list of registered users on the current computersystem.",
  });
  ShowDisclaimer();
}
