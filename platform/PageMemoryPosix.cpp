#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/PageMemory.h"

namespace sw {
namespace {

// The size of a large page on x86-64. A block of at least one is mapped at a
// multiple of it and spans whole large pages, so that a store written whole
// takes one fault per 2 MiB, even a store of a few megabytes; the spare tail
// is never touched, so it costs address space only.
constexpr size_t kLargePage = size_t{2} << 20;

size_t MappedLength(size_t bytes) {
  return bytes < kLargePage ? bytes : (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

void* MapAtLargePage(size_t length) {
  const size_t span = length + kLargePage;
  void* mapped = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
  if (aligned > start) ::munmap(mapped, aligned - start);
  const uintptr_t end = aligned + length, spanEnd = start + span;
  if (spanEnd > end) ::munmap(reinterpret_cast<void*>(end), spanEnd - end);
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* AllocatePages(size_t bytes, PageUse use) {
  const size_t length = MappedLength(bytes);
  void* block;
  if (bytes < kLargePage) {
    block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
  } else {
    block = MapAtLargePage(length);
    if (!block) return nullptr;
  }
#ifdef MADV_HUGEPAGE
  // Faulting a destination of hundreds of megabytes in 4 KiB pages costs
  // more than computing it; a hint only, ignored where large pages are off.
  if (use == PageUse::Whole) ::madvise(block, length, MADV_HUGEPAGE);
#else
  (void)use;
#endif
  return block;
}

bool PopulatePages(void* start, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  // Page-aligned, as madvise wants it.
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t first = reinterpret_cast<uintptr_t>(start) / page * page;
  const uintptr_t end = reinterpret_cast<uintptr_t>(start) + bytes;
  return ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0;
#else
  (void)start;
  (void)bytes;
  return false;
#endif
}

void FreePages(void* block, size_t bytes) {
  if (block) ::munmap(block, MappedLength(bytes));
}

}  // namespace sw
