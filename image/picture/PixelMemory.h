#pragma once
// The bytes of one pixel store. Large stores come from the system's pages,
// which are zero and cost nothing until touched; small ones from the heap.
// Nothing is ever filled by hand that the system gives filled, or that will
// be overwritten.

#include <cstddef>
#include <cstdint>

namespace sw {

class PixelMemory {
 public:
  PixelMemory() = default;
  // Every byte zero. Raises the resource error when the memory can't be had.
  static PixelMemory Zeroed(size_t bytes);
  // Bytes of no defined value, for a writer that writes every one of them.
  static PixelMemory ForOverwrite(size_t bytes);

  ~PixelMemory();
  PixelMemory(const PixelMemory& other);
  PixelMemory& operator=(const PixelMemory& other);
  PixelMemory(PixelMemory&& other) noexcept;
  PixelMemory& operator=(PixelMemory&& other) noexcept;

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Whether the block came from the system's pages (for tests).
  bool Paged() const { return paged_; }
  // Brings the system's pages of `bytes` from `offset` into memory ready to
  // be written, changing no byte; false when the system would not, or the
  // block is not made of them.
  bool Populate(size_t offset, size_t bytes) const;

  // Stores from this size up are taken from the system's pages.
  static constexpr size_t kPagedBytes = size_t{256} << 10;

 private:
  static PixelMemory Allocate(size_t bytes, bool zeroed);
  void Release() noexcept;

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool paged_ = false;
};

}  // namespace sw
