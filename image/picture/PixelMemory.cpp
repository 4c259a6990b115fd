#include "image/picture/PixelMemory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/Messages.h"
#include "platform/PageMemory.h"

namespace sw {

PixelMemory PixelMemory::Zeroed(size_t bytes) { return Allocate(bytes, true); }

PixelMemory PixelMemory::ForOverwrite(size_t bytes) { return Allocate(bytes, false); }

PixelMemory PixelMemory::Allocate(size_t bytes, bool zeroed) {
  PixelMemory memory;
  if (bytes == 0) return memory;
  // The size was checked against the store limit before; the system may
  // still refuse it.
  void* block;
  if (bytes >= kPagedBytes) {
    // Zero already, whatever was asked; a store for overwriting is written whole.
    block = AllocatePages(bytes, zeroed ? PageUse::Sparse : PageUse::Whole);
    memory.paged_ = true;
  } else {
    block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  }
  if (!block) throw msg::Resource();
  memory.data_ = static_cast<uint8_t*>(block);
  memory.size_ = bytes;
  return memory;
}

bool PixelMemory::Populate(size_t offset, size_t bytes) const {
  if (!paged_ || offset >= size_) return false;
  return PopulatePages(data_ + offset, std::min(bytes, size_ - offset));
}

PixelMemory::~PixelMemory() { Release(); }

PixelMemory::PixelMemory(const PixelMemory& other) : PixelMemory(ForOverwrite(other.size_)) {
  if (size_ > 0) std::memcpy(data_, other.data_, size_);
}

PixelMemory& PixelMemory::operator=(const PixelMemory& other) {
  if (this != &other) *this = PixelMemory(other);
  return *this;
}

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      paged_(std::exchange(other.paged_, false)) {}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    paged_ = std::exchange(other.paged_, false);
  }
  return *this;
}

void PixelMemory::Release() noexcept {
  if (paged_) {
    FreePages(data_, size_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  size_ = 0;
  paged_ = false;
}

}  // namespace sw
