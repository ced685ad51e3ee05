// What a terminal is given of a line of host text, in every code page the stand-in converts: read
// back in that code page it holds no control character (C0 but TAB, DEL, C1) and in a single-byte
// code page no byte 0x9B; it is no longer than the line; a second pass changes nothing; and a
// line without controls or 0x9B passes unchanged.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "CodePages.h"
#include "EveryCodePage.h"
#include "FuzzInput.h"
#include "host/TerminalText.h"

namespace {

bool IsControl(wchar_t c) {
  return (c < 0x20 && c != L'\t') || (c >= 0x7F && c < 0xA0);
}

// A C0 or DEL byte anywhere (no code page uses one inside a character, though a decoder may take
// it into an invalid one), or a control character as the code page reads the text.
bool HasControl(UINT codePage, const std::string& text) {
  for (char byte : text) {
    if (IsControl(static_cast<unsigned char>(byte)) && static_cast<unsigned char>(byte) < 0x80) {
      return true;
    }
  }
  bool invalid = false;
  const compat::CodePage* page = compat::FindCodePage(codePage);
  for (wchar_t c : compat::Decode(*page, text, invalid)) {
    if (IsControl(c)) return true;
  }
  return codePage != 65001 && page->singleByte && text.find('\x9B') != std::string::npos;
}

void Fail(const char* what) {
  std::fprintf(stderr, "terminal_text: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const std::vector<UINT>& pages = EveryCodePage();
  UINT codePage = pages[input.Byte() % pages.size()];
  std::string line = input.RestAsBytes();
  std::string shown = compat::PrintableOnTerminal(line, codePage);
  // The line's own CR LF at its end stays as it is, and is no part of the text.
  std::string text = line;
  std::string shownText = shown;
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    if (shownText.size() < 2 || shownText.compare(shownText.size() - 2, 2, "\r\n") != 0) {
      Fail("the line's CR LF is gone");
    }
    text.resize(text.size() - 2);
    shownText.resize(shownText.size() - 2);
  }
  if (shown.size() > line.size()) Fail("longer than the line");
  if (HasControl(codePage, shownText)) Fail("a control character reaches the terminal");
  if (compat::PrintableOnTerminal(shown, codePage) != shown) Fail("a second pass changes it");
  // A lone 0x9B is a control whatever the code page makes of it, so only a line without one must
  // pass as it is.
  bool csi = codePage != 65001 && text.find('\x9B') != std::string::npos;
  if (!HasControl(codePage, text) && !csi && shown != line) Fail("a line without controls changed");
  return 0;
}
