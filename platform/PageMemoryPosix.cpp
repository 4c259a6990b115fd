#include <sys/mman.h>

#include "platform/PageMemory.h"

namespace sw {

void* AllocatePages(size_t bytes, PageUse use) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  // Faulting a destination of hundreds of megabytes in 4 KiB pages costs
  // more than computing it; a hint only, ignored where large pages are off.
  if (use == PageUse::Whole) ::madvise(block, bytes, MADV_HUGEPAGE);
#else
  (void)use;
#endif
  return block;
}

void FreePages(void* block, size_t bytes) {
  if (block) ::munmap(block, bytes);
}

}  // namespace sw
