#pragma once
// Large blocks straight from the system's virtual memory: their pages are
// zero and cost nothing until first touched, so a picture whose file holds a
// few bytes but claims a gigabyte costs what it holds, not what it claims.

#include <cstddef>

namespace sw {

// `bytes` of zeroed, read-write memory, or null when the system refuses.
void* AllocatePages(size_t bytes);
// Gives back a block from AllocatePages of the same size.
void FreePages(void* block, size_t bytes);

}  // namespace sw
