// What the stand-in hands out and takes back: memory blocks of each release family, handles
// and library references. Every one is registered, so a release of something that was not
// handed out (or was already given back) fails as on Windows instead of corrupting memory, and
// tests can ask how many are still outstanding.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "Machine.h"
#include "win32/base.h"

namespace compat {

enum class BlockKind { NetApiBuffer, LocalMemory, EnvironmentBlock };

struct Outstanding {
  size_t netApiBuffers = 0;
  size_t localBlocks = 0;
  size_t environmentBlocks = 0;
  size_t handles = 0;
  size_t libraryReferences = 0;

  size_t Total() const {
    return netApiBuffers + localBlocks + environmentBlocks + handles + libraryReferences;
  }
};

Outstanding CurrentOutstanding();

// A zero-filled block of cb bytes. Null when memory runs out.
void* AllocateBlock(BlockKind kind, size_t cb);
// Blocks that grow while they are built (see Region): memory whose first BlockHeaderSize()
// bytes are left for the registry. AdoptRegionBlock registers it, with a pool that the block
// owns, and returns the data pointer after the header; both are freed with Region::Free.
size_t BlockHeaderSize();
void* AdoptRegionBlock(BlockKind kind, void* base, size_t cbReserved, void* pool,
                       size_t cbPoolReserved);
// Frees a block of that kind; false when the pointer is not such a block.
bool ReleaseBlock(BlockKind kind, void* block);

// Kernel objects behind handles.
struct TokenObject {
  TokenKind kind;
};
struct ConsoleObject {};

HANDLE RegisterToken(TokenKind kind);
HANDLE RegisterConsole();
// The token behind a handle, or null.
const TokenObject* FindToken(HANDLE handle);
bool IsConsoleHandle(HANDLE handle);
bool ReleaseHandle(HANDLE handle);

// Library references, counted per load.
void AddLibraryReference();
void RemoveLibraryReference();

}  // namespace compat
