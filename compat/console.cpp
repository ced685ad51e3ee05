// Console handles, the text attribute, the control handler and standard output; CloseHandle for
// every kind of handle, tokens included.
#include <cstring>

#include "Win32Contract.h"

namespace {

// Standard output is a fixed value, as the process's own handles are on Windows.
HANDLE StdOutputHandle() {
  static int tag;
  return &tag;
}

}  // namespace

// Opens the console's input and output; the stand-in opens no files, the program reads and
// writes none.
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD, HANDLE) {
  if (fileName == nullptr) return compat::FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (std::strcmp(fileName, "CONOUT$") != 0 && std::strcmp(fileName, "CONIN$") != 0) {
    return compat::FailWith(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
  }
  if (creationDisposition != OPEN_EXISTING || !compat::TheConsole().ConsolePresent()) {
    return compat::FailWith(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);
  }
  return compat::NewConsoleHandle(std::strcmp(fileName, "CONOUT$") == 0);
}

BOOL WINAPI CloseHandle(HANDLE object) {
  return compat::CloseAnyHandle(object) ? TRUE : compat::Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE consoleOutput,
                                       PCONSOLE_SCREEN_BUFFER_INFO screenBufferInfo) {
  WORD attribute = 0;
  if (!compat::IsScreenBufferHandle(consoleOutput) || screenBufferInfo == nullptr ||
      !compat::TheConsole().ReadConsoleAttribute(attribute)) {
    return compat::Fail(ERROR_INVALID_HANDLE);
  }
  *screenBufferInfo = CONSOLE_SCREEN_BUFFER_INFO{};
  screenBufferInfo->dwSize = COORD{80, 25};
  screenBufferInfo->srWindow = SMALL_RECT{0, 0, 79, 24};
  screenBufferInfo->dwMaximumWindowSize = COORD{80, 25};
  screenBufferInfo->wAttributes = attribute;
  return TRUE;
}

BOOL WINAPI SetConsoleTextAttribute(HANDLE consoleOutput, WORD attributes) {
  if (!compat::IsScreenBufferHandle(consoleOutput) ||
      !compat::TheConsole().WriteConsoleAttribute(attributes)) {
    return compat::Fail(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handlerRoutine, BOOL add) {
  return compat::TheConsole().SetCtrlHandler(handlerRoutine, add != FALSE)
             ? TRUE
             : compat::Fail(ERROR_INVALID_PARAMETER);
}

// Standard output only: the program uses no other standard handle.
HANDLE WINAPI GetStdHandle(DWORD stdHandle) {
  if (stdHandle != STD_OUTPUT_HANDLE) {
    return compat::FailWith(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
  }
  return compat::TheConsole().StdOutputType() == FILE_TYPE_UNKNOWN ? nullptr : StdOutputHandle();
}

DWORD WINAPI GetFileType(HANDLE file) {
  if (file == StdOutputHandle()) return compat::TheConsole().StdOutputType();
  if (compat::IsConsoleHandle(file)) return FILE_TYPE_CHAR;
  return compat::FailWith(ERROR_INVALID_HANDLE, FILE_TYPE_UNKNOWN);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD cbToWrite, LPDWORD cbWritten,
                      LPOVERLAPPED overlapped) {
  if (cbWritten != nullptr) *cbWritten = 0;
  if (file != StdOutputHandle()) return compat::Fail(ERROR_INVALID_HANDLE);
  if (overlapped != nullptr || (buffer == nullptr && cbToWrite > 0)) {
    return compat::Fail(ERROR_INVALID_PARAMETER);
  }
  DWORD written = 0;
  DWORD error =
      compat::TheConsole().WriteStdOutput(static_cast<const char*>(buffer), cbToWrite, written);
  if (cbWritten != nullptr) *cbWritten = written;
  return error == ERROR_SUCCESS ? TRUE : compat::Fail(error);
}
