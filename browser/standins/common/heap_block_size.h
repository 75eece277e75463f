// The size of a block that the C runtime's malloc handed out, as the
// runtime knows it: at least the size asked for, and all of it writable.
#pragma once

#include <cstddef>

namespace standins {

std::size_t HeapBlockSize(void* block);

}  // namespace standins
