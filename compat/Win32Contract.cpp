#include "Win32Contract.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <variant>

#include "Region.h"

namespace compat {
namespace {

struct BlockHeader {
  BlockKind kind;
  void* pool;
  // Set for a block built in a Region: the reserved sizes of the block and of its pool.
  size_t cbRegion;
  size_t cbPoolRegion;
  alignas(std::max_align_t) unsigned char data[1];
};

constexpr size_t kHeaderSize = offsetof(BlockHeader, data);

struct ConsoleObject {
  bool screenBuffer;  // CONOUT$; false for the input buffer, CONIN$
};
using KernelObject = std::variant<Token, ConsoleObject>;

struct Registry {
  std::mutex lock;
  std::unordered_map<void*, BlockHeader*> blocks;
  std::unordered_map<HANDLE, std::unique_ptr<KernelObject>> handles;
  Outstanding counts;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// The registry, locked for as long as this lives.
class LockedRegistry {
 public:
  LockedRegistry() : registry_(TheRegistry()), guard_(registry_.lock) {}
  Registry* operator->() { return &registry_; }

 private:
  Registry& registry_;
  std::lock_guard<std::mutex> guard_;
};

size_t& CountOf(Outstanding& counts, BlockKind kind) {
  switch (kind) {
    case BlockKind::NetApiBuffer:
      return counts.netApiBuffers;
    case BlockKind::LocalMemory:
      return counts.localBlocks;
    case BlockKind::EnvironmentBlock:
      break;
  }
  return counts.environmentBlocks;
}

void* Register(BlockHeader* header) {
  LockedRegistry registry;
  registry->blocks.emplace(header->data, header);
  ++CountOf(registry->counts, header->kind);
  return header->data;
}

HANDLE Register(KernelObject object) {
  auto owned = std::make_unique<KernelObject>(object);
  HANDLE handle = owned.get();
  LockedRegistry registry;
  registry->handles.emplace(handle, std::move(owned));
  ++registry->counts.handles;
  return handle;
}

const KernelObject* Find(HANDLE handle) {
  LockedRegistry registry;
  auto it = registry->handles.find(handle);
  return it == registry->handles.end() ? nullptr : it->second.get();
}

}  // namespace

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

void* NewBlock(BlockKind kind, size_t cb) {
  if (cb > SIZE_MAX - kHeaderSize) return nullptr;
  auto* header = static_cast<BlockHeader*>(std::calloc(1, kHeaderSize + cb));
  if (header == nullptr) return nullptr;
  header->kind = kind;
  return Register(header);
}

size_t BlockHeaderSize() {
  return kHeaderSize;
}

void* AdoptRegionBlock(BlockKind kind, void* base, size_t cbReserved, void* pool,
                       size_t cbPoolReserved) {
  auto* header = static_cast<BlockHeader*>(base);
  header->kind = kind;
  header->pool = pool;
  header->cbRegion = cbReserved;
  header->cbPoolRegion = cbPoolReserved;
  return Register(header);
}

bool FreeBlock(BlockKind kind, void* block) {
  BlockHeader* header = nullptr;
  {
    LockedRegistry registry;
    auto it = registry->blocks.find(block);
    if (it == registry->blocks.end() || it->second->kind != kind) {
      ++registry->counts.refusedReleases;
      return false;
    }
    header = it->second;
    registry->blocks.erase(it);
    --CountOf(registry->counts, kind);
  }
  if (header->cbRegion != 0) {
    Region::Free(header->pool, header->cbPoolRegion);
    Region::Free(header, header->cbRegion);
  } else {
    std::free(header->pool);
    std::free(header);
  }
  return true;
}

HANDLE NewTokenHandle(const Token& token) {
  return Register(KernelObject(token));
}

HANDLE NewConsoleHandle(bool screenBuffer) {
  return Register(KernelObject(ConsoleObject{screenBuffer}));
}

const Token* TokenOf(HANDLE handle) {
  const KernelObject* object = Find(handle);
  return object == nullptr ? nullptr : std::get_if<Token>(object);
}

bool IsConsoleHandle(HANDLE handle) {
  const KernelObject* object = Find(handle);
  return object != nullptr && std::holds_alternative<ConsoleObject>(*object);
}

bool IsScreenBufferHandle(HANDLE handle) {
  const KernelObject* object = Find(handle);
  const ConsoleObject* console = object == nullptr ? nullptr : std::get_if<ConsoleObject>(object);
  return console != nullptr && console->screenBuffer;
}

bool CloseAnyHandle(HANDLE handle) {
  std::unique_ptr<KernelObject> object;
  LockedRegistry registry;
  auto it = registry->handles.find(handle);
  if (it == registry->handles.end()) {
    ++registry->counts.refusedReleases;
    return false;
  }
  object = std::move(it->second);
  registry->handles.erase(it);
  --registry->counts.handles;
  return true;
}

void AddLibraryReference() {
  ++LockedRegistry()->counts.libraryReferences;
}

bool RemoveLibraryReference() {
  LockedRegistry registry;
  if (registry->counts.libraryReferences == 0) return false;
  --registry->counts.libraryReferences;
  return true;
}

void CountRefusedRelease() {
  ++LockedRegistry()->counts.refusedReleases;
}

size_t TakeRefusedReleases() {
  return std::exchange(LockedRegistry()->counts.refusedReleases, 0);
}

Outstanding CurrentOutstanding() {
  return LockedRegistry()->counts;
}

}  // namespace compat
