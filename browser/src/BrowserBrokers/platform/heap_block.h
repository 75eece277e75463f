// The C runtime's heap as the host's own operator new and delete use it:
// blocks whose whole size is known, so that a block can be wiped over all of
// it before it goes back (malloc_usable_size, or _msize on Windows).
#pragma once

#include <cstddef>

namespace platform {

// malloc and free; null when the heap has no room.
void* AllocateHeapBlock(std::size_t size);
void FreeHeapBlock(void* block);
// The bytes a block from AllocateHeapBlock really spans, at least its size.
std::size_t HeapBlockSize(void* block);

// The same for blocks aligned beyond what malloc guarantees.
void* AllocateAlignedHeapBlock(std::size_t size, std::size_t alignment);
void FreeAlignedHeapBlock(void* block);
std::size_t AlignedHeapBlockSize(void* block, std::size_t alignment);

}  // namespace platform
