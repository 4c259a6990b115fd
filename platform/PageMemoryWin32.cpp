#include <windows.h>

#include "platform/PageMemory.h"

namespace sw {

// Committed pages are zero-filled on first touch; until then they take no
// physical memory.
// (Large pages need a privilege users don't have, so the use changes nothing here.)
void* AllocatePages(size_t bytes, PageUse) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

bool PopulatePages(void* start, size_t bytes) {
  // Locking brings the pages in, each still as it was; they stay resident
  // once unlocked. The pages a process may hold locked at once are few, so
  // callers populate a little at a time.
  if (!VirtualLock(start, bytes)) return false;
  VirtualUnlock(start, bytes);
  return true;
}

void FreePages(void* block, size_t) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace sw
