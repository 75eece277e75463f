#include "platform/heap_block.h"

#include <malloc.h>

#include <cstdint>
#include <cstdlib>

namespace platform {
namespace {

// msvcrt has no _aligned_msize, so aligned blocks are made here: a malloc
// block with room to move the start up to the alignment, and just before
// that start, where the block came from and how many bytes it spans from
// there.
struct AlignedHeader {
  void* base;
  std::size_t span;
};

AlignedHeader& HeaderOf(void* block) { return static_cast<AlignedHeader*>(block)[-1]; }

}  // namespace

void* AllocateHeapBlock(std::size_t size) { return std::malloc(size); }

void FreeHeapBlock(void* block) { std::free(block); }

std::size_t HeapBlockSize(void* block) { return _msize(block); }

void* AllocateAlignedHeapBlock(std::size_t size, std::size_t alignment) {
  const std::size_t room = sizeof(AlignedHeader) + alignment - 1;
  if (size > SIZE_MAX - room) return nullptr;
  void* base = std::malloc(size + room);
  if (base == nullptr) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(base) + sizeof(AlignedHeader);
  const std::uintptr_t start = (first + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
  void* block = reinterpret_cast<void*>(start);
  HeaderOf(block) = AlignedHeader{base, _msize(base) - (start - reinterpret_cast<std::uintptr_t>(base))};
  return block;
}

void FreeAlignedHeapBlock(void* block) { std::free(HeaderOf(block).base); }

std::size_t AlignedHeapBlockSize(void* block, std::size_t /*alignment*/) {
  return HeaderOf(block).span;
}

}  // namespace platform
