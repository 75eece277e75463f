#include "platform/heap_block.h"

#include <malloc.h>

#include <cstdlib>

namespace platform {

void* AllocateHeapBlock(std::size_t size) { return std::malloc(size); }

void FreeHeapBlock(void* block) { std::free(block); }

std::size_t HeapBlockSize(void* block) { return _msize(block); }

void* AllocateAlignedHeapBlock(std::size_t size, std::size_t alignment) {
  return _aligned_malloc(size, alignment);
}

void FreeAlignedHeapBlock(void* block) { _aligned_free(block); }

std::size_t AlignedHeapBlockSize(void* block, std::size_t alignment) {
  return _aligned_msize(block, alignment, 0);
}

}  // namespace platform
