#include "Console/Console.h"

#include <memory>

#include "Console/StdOutput.h"
#include "Format/Guards.h"
#include "Format/TextConversion.h"

struct ConsoleModule::State {
  HandleGuard input;
  HandleGuard output;  // null when the process has no console
  WORD savedTextAttribute = 0;
  StdOutput standardOutput;
};

namespace {

// Attribute bits of colour codes 0 to 7; red is 3 and cyan 4, unlike the platform's bit order.
constexpr WORD kForegroundBits[8] = {0x0000, 0x0001, 0x0002, 0x0004,
                                     0x0003, 0x0005, 0x0006, 0x0007};
constexpr WORD kBackgroundBits[8] = {0x0000, 0x0010, 0x0020, 0x0040,
                                     0x0030, 0x0050, 0x0060, 0x0070};

// The state of the module in force; owned by that module.
ConsoleModule::State* state = nullptr;

HANDLE OpenConsole(const char* name) {
  HANDLE handle =
      CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

BOOL WINAPI ConsoleCtrlHandler(DWORD ctrlType) {
  switch (ctrlType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return TRUE;
    default:
      return FALSE;
  }
}

// Reads the attribute, lets change() alter it and writes it back; false on any failure.
template <typename Change>
bool ChangeAttribute(HANDLE console, Change change) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return false;
  return SetConsoleTextAttribute(console, change(info.wAttributes)) != FALSE;
}

bool ApplySettings(HANDLE console, ConsoleColor foreground, ConsoleColor background,
                   BYTE foregroundIntensity, BYTE backgroundIntensity) {
  if (foreground < ColorUnchanged && !ChangeAttribute(console, [&](WORD a) -> WORD {
        return static_cast<WORD>((a & ~0x0007) | kForegroundBits[foreground]);
      })) {
    return false;
  }
  if (background < ColorUnchanged && !ChangeAttribute(console, [&](WORD a) -> WORD {
        return static_cast<WORD>((a & ~0x0070) | kBackgroundBits[background]);
      })) {
    return false;
  }
  if (foregroundIntensity != IntensityUnchanged && !ChangeAttribute(console, [&](WORD a) -> WORD {
        return static_cast<WORD>(foregroundIntensity != 0 ? a | 0x0008 : a & ~0x0008);
      })) {
    return false;
  }
  if (backgroundIntensity != IntensityUnchanged && !ChangeAttribute(console, [&](WORD a) -> WORD {
        return static_cast<WORD>(backgroundIntensity != 0 ? a | 0x0080 : a & ~0x0080);
      })) {
    return false;
  }
  return true;
}

}  // namespace

int& ExitCode() {
  static int exitCode = 0;
  return exitCode;
}

void WriteColoredLine(std::string_view text, ConsoleColor foreground, ConsoleColor background,
                      BYTE foregroundIntensity, BYTE backgroundIntensity) noexcept {
  if (state == nullptr) return;
  HANDLE console = state->output.get();
  try {
    // Without a console the colour steps are skipped; the line is still written.
    bool applied = console == nullptr || ApplySettings(console, foreground, background,
                                                       foregroundIntensity, backgroundIntensity);
    if (applied) state->standardOutput.WriteLine(text);
  } catch (...) {
    // Printing never ends a run: the line may be missing, the next one is tried normally.
  }
  // The colours of the start go back whatever became of the line.
  if (console != nullptr) SetConsoleTextAttribute(console, state->savedTextAttribute);
}

void WriteColoredFormat(std::wstring_view format, std::initializer_list<FormatArg> args,
                        ConsoleColor foreground, ConsoleColor background, BYTE foregroundIntensity,
                        BYTE backgroundIntensity) {
  std::string line = Format(WideToAnsi(format), args);
  WriteColoredLine(line, foreground, background, foregroundIntensity, backgroundIntensity);
}

void PrintError(std::wstring_view message) noexcept {
  ExitCode() = 1;
  std::string text;
  try {
    text = WideToAnsi(message);
  } catch (...) {
    text.clear();
  }
  WriteColoredLine("");
  WriteColoredLine(text);
  WriteColoredLine("");
}

ConsoleModule::ConsoleModule() : state_(std::make_unique<State>()), previous_(state) {
  State* created = state_.get();
  created->input = HandleGuard(OpenConsole("CONIN$"));
  created->output = HandleGuard(OpenConsole("CONOUT$"));
  SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (created->output && GetConsoleScreenBufferInfo(created->output.get(), &info)) {
    created->savedTextAttribute = info.wAttributes;
  } else {
    // A console whose colours cannot be read is used like none: colours are never touched.
    created->output.Reset();
  }
  state = created;
}

ConsoleModule::~ConsoleModule() {
  state = previous_;
}
