#pragma once
// Large blocks straight from the system's virtual memory: their pages are
// zero and cost nothing until first touched, so a picture whose file holds a
// few bytes but claims a gigabyte costs what it holds, not what it claims.

#include <cstddef>

namespace sw {

// How a block will be touched: here and there (a picture read from a file
// that may hold less than it claims), or every byte of it (a picture being
// made), where the system may use large pages, one fault for many.
enum class PageUse { Sparse, Whole };

// `bytes` of zeroed, read-write memory, or null when the system refuses.
void* AllocatePages(size_t bytes, PageUse use);
// Gives back a block from AllocatePages of the same size.
void FreePages(void* block, size_t bytes);

// Brings the pages of `bytes` from `start`, within a block from
// AllocatePages, into memory ready to be written, without changing a byte,
// so that the first writes there take no page fault. False when the system
// would not (a quota, an older system): the pages then come as they are
// written.
bool PopulatePages(void* start, size_t bytes);

}  // namespace sw
