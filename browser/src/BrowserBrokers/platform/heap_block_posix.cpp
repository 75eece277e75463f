#include "platform/heap_block.h"

#include <malloc.h>

#include <cstdlib>

namespace platform {

void* AllocateHeapBlock(std::size_t size) { return std::malloc(size); }

void FreeHeapBlock(void* block) { std::free(block); }

std::size_t HeapBlockSize(void* block) { return malloc_usable_size(block); }

void* AllocateAlignedHeapBlock(std::size_t size, std::size_t alignment) {
  void* block = nullptr;
  return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

// posix_memalign's blocks are ordinary heap blocks.
void FreeAlignedHeapBlock(void* block) { std::free(block); }

std::size_t AlignedHeapBlockSize(void* block, std::size_t /*alignment*/) {
  return malloc_usable_size(block);
}

}  // namespace platform
