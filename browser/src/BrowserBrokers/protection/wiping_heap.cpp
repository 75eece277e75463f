// The host's global operator new and delete. Every block that the host's
// C++ code gives back is zero-filled over its whole size before the heap
// takes it again, so freed memory never holds message text: not the frame's
// buffer, the wide copy, the JSON tree's strings, the message fields, the
// buffers a growing string leaves behind, nor an answer on its way out.
// One mechanism for every copy, instead of a wipe after each use.
//
// Linked into the host executable only. The closed libraries have heaps of
// their own and keep their own memory clean.
#include <cstddef>
#include <new>

#include "platform/heap_block.h"
#include "protection/secure_zero.h"

namespace {

using browser_extensions::SecureZero;

// operator new's contract: on failure, call the new-handler (which may free
// memory or throw) and try again; without one, give up.
template <typename Allocate>
void* AllocateOrRetry(Allocate allocate) {
  for (;;) {
    if (void* block = allocate()) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) return nullptr;
    handler();
  }
}

void* Allocate(std::size_t size) {
  const std::size_t bytes = size == 0 ? 1 : size;
  return AllocateOrRetry([bytes] { return platform::AllocateHeapBlock(bytes); });
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  const std::size_t bytes = size == 0 ? 1 : size;
  const auto align = static_cast<std::size_t>(alignment);
  return AllocateOrRetry(
      [bytes, align] { return platform::AllocateAlignedHeapBlock(bytes, align); });
}

void* AllocateOrThrow(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
  if (void* block = AllocateAligned(size, alignment)) return block;
  throw std::bad_alloc();
}

// The nothrow forms: a new-handler may still throw, which they turn into null.
template <typename Allocate>
void* AllocateOrNull(Allocate allocate) noexcept {
  try {
    return allocate();
  } catch (...) {
    return nullptr;
  }
}

// Without its size, the whole block as the heap knows it is wiped.
void Release(void* block) noexcept {
  if (block == nullptr) return;
  SecureZero(block, platform::HeapBlockSize(block));
  platform::FreeHeapBlock(block);
}

// With the size it was allocated with (containers and strings give it), the
// bytes that were asked for are all that can have been written: whatever a
// block held before was wiped when it was freed then.
void ReleaseSized(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  SecureZero(block, size);
  platform::FreeHeapBlock(block);
}

void ReleaseAligned(void* block, std::align_val_t alignment) noexcept {
  if (block == nullptr) return;
  SecureZero(block, platform::AlignedHeapBlockSize(block, static_cast<std::size_t>(alignment)));
  platform::FreeAlignedHeapBlock(block);
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull([size] { return Allocate(size); });
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull([size] { return Allocate(size); });
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull([size, alignment] { return AllocateAligned(size, alignment); });
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull([size, alignment] { return AllocateAligned(size, alignment); });
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t size) noexcept { ReleaseSized(block, size); }
void operator delete[](void* block, std::size_t size) noexcept { ReleaseSized(block, size); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t alignment) noexcept {
  ReleaseAligned(block, alignment);
}
void operator delete[](void* block, std::align_val_t alignment) noexcept {
  ReleaseAligned(block, alignment);
}
void operator delete(void* block, std::size_t, std::align_val_t alignment) noexcept {
  ReleaseAligned(block, alignment);
}
void operator delete[](void* block, std::size_t, std::align_val_t alignment) noexcept {
  ReleaseAligned(block, alignment);
}
void operator delete(void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  ReleaseAligned(block, alignment);
}
void operator delete[](void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  ReleaseAligned(block, alignment);
}
