// The conventions every stand-in call keeps, written once: the last error of a failure, the copy
// of a text into the caller's buffer with its size probe and the size reported back, and what a
// call hands out to be given back with a release of its own family (NetApiBufferFree, LocalFree,
// FreeEnvironmentStringsW, CloseHandle, FreeLibrary). Everything handed out is registered, so a
// release of something that was not handed out, or was already given back, fails as on Windows
// instead of corrupting memory, and tests can ask what is still outstanding.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "Machine.h"
#include "win32/base.h"

namespace compat {

// Sets the last error and answers FALSE, the failure of a call that answers a BOOL.
BOOL Fail(DWORD error);
// The same for a call that answers something else on failure (0, null, INVALID_HANDLE_VALUE).
template <typename T>
T FailWith(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// An optional text argument (a server or system name): null is the empty text.
inline std::wstring_view OrEmpty(LPCWSTR text) {
  return text == nullptr ? std::wstring_view() : text;
}

// Whether a size reported back after success counts the text's null (GetUserNameW) or not (most
// calls). After a failure for want of room the size always counts it.
enum class Counts { Length, LengthAndNull };

// Whether the text and its null fit into the caller's buffer of cch characters.
template <typename Char>
bool Fits(std::basic_string_view<Char> text, const Char* buffer, DWORD cch) {
  return buffer != nullptr && text.size() < cch;
}
// Copies the text and its null into a buffer that Fits.
template <typename Char>
void CopyText(std::basic_string_view<Char> text, Char* buffer) {
  text.copy(buffer, text.size());
  buffer[text.size()] = Char{};
}
// The size to report back.
template <typename Char>
DWORD Reported(std::basic_string_view<Char> text, Counts counts) {
  return static_cast<DWORD>(text.size() + (counts == Counts::LengthAndNull ? 1 : 0));
}
// One text copied out: true with the text in the buffer and *cch per counts; false, buffer
// untouched, with *cch the size needed with the null (the caller sets its own error).
template <typename Char>
bool CopyOut(std::basic_string_view<Char> text, Char* buffer, DWORD* cch, Counts counts) {
  if (!Fits(text, buffer, *cch)) {
    *cch = Reported(text, Counts::LengthAndNull);
    return false;
  }
  CopyText(text, buffer);
  *cch = Reported(text, counts);
  return true;
}

// Memory handed out, by the release that takes it back.
enum class BlockKind { NetApiBuffer, LocalMemory, EnvironmentBlock };
// A zero-filled block of cb bytes; null when memory runs out.
void* NewBlock(BlockKind kind, size_t cb);
// Gives a block back; false when the pointer is not a block of that kind.
bool FreeBlock(BlockKind kind, void* block);

// Blocks that grow while they are built (NetBuffer): memory whose first BlockHeaderSize() bytes
// are the registry's, registered with a pool the block owns; both go with FreeBlock.
size_t BlockHeaderSize();
void* AdoptRegionBlock(BlockKind kind, void* base, size_t cbReserved, void* pool,
                       size_t cbPoolReserved);

// A token behind a handle: whose token it is, what the handle was opened for, and the level of an
// impersonation token (a thread's, or a copy made by DuplicateToken); none for a primary token,
// such as the process's own.
struct Token {
  TokenKind whose;
  DWORD access;
  std::optional<SECURITY_IMPERSONATION_LEVEL> impersonation;
};

// Kernel objects behind handles.
HANDLE NewTokenHandle(const Token& token);
HANDLE NewConsoleHandle(bool screenBuffer);
// The token behind a handle; null when it is no token.
const Token* TokenOf(HANDLE handle);
bool IsConsoleHandle(HANDLE handle);
// A console's screen buffer (CONOUT$), which has the text attribute; its input buffer has none.
bool IsScreenBufferHandle(HANDLE handle);
bool CloseAnyHandle(HANDLE handle);

// Library references, one per load that was not freed.
void AddLibraryReference();
// False when no reference is left to remove.
bool RemoveLibraryReference();

// A release of what is not held: a block or handle freed twice or through another family's
// call, a library freed more often than loaded. Windows may corrupt its heap there; the stand-in
// refuses it and counts it, so that every check for nothing outstanding sees it too.
void CountRefusedRelease();
// The count so far, which starts again at zero: for a test that makes such a release on purpose.
size_t TakeRefusedReleases();

struct Outstanding {
  size_t netApiBuffers = 0;
  size_t localBlocks = 0;
  size_t environmentBlocks = 0;
  size_t handles = 0;
  size_t libraryReferences = 0;

  size_t Total() const {
    return netApiBuffers + localBlocks + environmentBlocks + handles + libraryReferences +
           refusedReleases;
  }

  // Not a resource held, but as much a fault: see CountRefusedRelease.
  size_t refusedReleases = 0;
};
Outstanding CurrentOutstanding();

}  // namespace compat
