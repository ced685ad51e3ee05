// Console handles, the text attribute, the control handler and standard output.
#include <cstring>

#include "Machine.h"
#include "Resources.h"

namespace {

// Standard handles are fixed values, as the process's own handles are on Windows.
HANDLE StdOutputHandle() {
  static int tag;
  return &tag;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
  (void)desiredAccess;
  (void)shareMode;
  (void)securityAttributes;
  (void)flagsAndAttributes;
  (void)templateFile;
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool console = std::strcmp(fileName, "CONOUT$") == 0 || std::strcmp(fileName, "CONIN$") == 0;
  if (!console) {
    // The stand-in opens no files: the program reads and writes none.
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  if (creationDisposition != OPEN_EXISTING || !compat::CurrentMachine().ConsolePresent()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  return compat::RegisterConsole();
}

BOOL WINAPI CloseHandle(HANDLE object) {
  if (!compat::ReleaseHandle(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE consoleOutput,
                                       PCONSOLE_SCREEN_BUFFER_INFO screenBufferInfo) {
  WORD attribute = 0;
  if (!compat::IsConsoleHandle(consoleOutput) || screenBufferInfo == nullptr ||
      !compat::CurrentMachine().ReadConsoleAttribute(attribute)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *screenBufferInfo = CONSOLE_SCREEN_BUFFER_INFO{};
  screenBufferInfo->dwSize = COORD{80, 25};
  screenBufferInfo->srWindow = SMALL_RECT{0, 0, 79, 24};
  screenBufferInfo->dwMaximumWindowSize = COORD{80, 25};
  screenBufferInfo->wAttributes = attribute;
  return TRUE;
}

BOOL WINAPI SetConsoleTextAttribute(HANDLE consoleOutput, WORD attributes) {
  if (!compat::IsConsoleHandle(consoleOutput) ||
      !compat::CurrentMachine().WriteConsoleAttribute(attributes)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handlerRoutine, BOOL add) {
  if (!compat::CurrentMachine().SetCtrlHandler(handlerRoutine, add != FALSE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD stdHandle) {
  if (stdHandle != STD_OUTPUT_HANDLE) {
    // Standard input and error are not used by the program.
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  if (compat::CurrentMachine().StdOutputType() == FILE_TYPE_UNKNOWN) return nullptr;
  return StdOutputHandle();
}

DWORD WINAPI GetFileType(HANDLE file) {
  if (file != StdOutputHandle()) {
    SetLastError(compat::IsConsoleHandle(file) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    return compat::IsConsoleHandle(file) ? FILE_TYPE_CHAR : FILE_TYPE_UNKNOWN;
  }
  return compat::CurrentMachine().StdOutputType();
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD cbToWrite, LPDWORD cbWritten,
                      LPOVERLAPPED overlapped) {
  if (cbWritten != nullptr) *cbWritten = 0;
  if (file != StdOutputHandle() || overlapped != nullptr || (buffer == nullptr && cbToWrite > 0)) {
    SetLastError(file != StdOutputHandle() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD written = 0;
  DWORD error =
      compat::CurrentMachine().WriteStdOutput(static_cast<const char*>(buffer), cbToWrite, written);
  if (cbWritten != nullptr) *cbWritten = written;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
