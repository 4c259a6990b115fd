#include "core/ByteStream.h"

#include <algorithm>
#include <cstring>

#include "core/Messages.h"

namespace sw {

void ByteSource::ReadExact(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw msg::ReadError();
}

size_t MemorySource::Read(void* buffer, size_t count) {
  const size_t n = ReadAt(position_, buffer, count);
  position_ += n;
  return n;
}

size_t MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset >= size_) return 0;
  const size_t n = std::min<size_t>(count, size_ - static_cast<size_t>(offset));
  if (n > 0) std::memcpy(buffer, data_ + offset, n);
  return n;
}

void MemorySink::Write(const void* data, size_t count) {
  WriteAt(position_, data, count);
  position_ += count;
}

void MemorySink::WriteAt(uint64_t offset, const void* data, size_t count) {
  const size_t end = static_cast<size_t>(offset) + count;
  if (bytes_.size() < end) bytes_.resize(end);
  if (count > 0) std::memcpy(bytes_.data() + offset, data, count);
}

}  // namespace sw
