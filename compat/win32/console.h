// Console and standard handles (wincon.h, fileapi.h, processenv.h, handleapi.h).
#pragma once

#include "win32/base.h"

constexpr DWORD GENERIC_READ = 0x80000000, GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001, FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD FILE_TYPE_UNKNOWN = 0x0000, FILE_TYPE_DISK = 0x0001, FILE_TYPE_CHAR = 0x0002,
                FILE_TYPE_PIPE = 0x0003;

constexpr DWORD CTRL_C_EVENT = 0, CTRL_BREAK_EVENT = 1, CTRL_CLOSE_EVENT = 2, CTRL_LOGOFF_EVENT = 5,
                CTRL_SHUTDOWN_EVENT = 6;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct COORD {
  SHORT X;
  SHORT Y;
};
struct SMALL_RECT {
  SHORT Left;
  SHORT Top;
  SHORT Right;
  SHORT Bottom;
};
struct CONSOLE_SCREEN_BUFFER_INFO {
  COORD dwSize;
  COORD dwCursorPosition;
  WORD wAttributes;
  SMALL_RECT srWindow;
  COORD dwMaximumWindowSize;
};
using PCONSOLE_SCREEN_BUFFER_INFO = CONSOLE_SCREEN_BUFFER_INFO*;
using PHANDLER_ROUTINE = BOOL(WINAPI*)(DWORD ctrlType);

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
BOOL WINAPI CloseHandle(HANDLE object);
BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE consoleOutput,
                                       PCONSOLE_SCREEN_BUFFER_INFO screenBufferInfo);
BOOL WINAPI SetConsoleTextAttribute(HANDLE consoleOutput, WORD attributes);
BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handlerRoutine, BOOL add);
HANDLE WINAPI GetStdHandle(DWORD stdHandle);
DWORD WINAPI GetFileType(HANDLE file);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD cbToWrite, LPDWORD cbWritten,
                      LPOVERLAPPED overlapped);
