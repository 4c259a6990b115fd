#include "core/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "core/Messages.h"

namespace sw {

void ByteSource::ReadExact(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw msg::ReadError();
}

size_t BufferedSource::Read(void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (position_ == filled_) {
      // Large reads go straight through; the buffer only gathers small ones.
      if (count - done >= buffer_.size()) return done + source_.Read(out + done, count - done);
      filled_ = source_.Read(buffer_.data(), buffer_.size());
      position_ = 0;
      if (filled_ == 0) break;
    }
    const size_t n = std::min(count - done, filled_ - position_);
    std::memcpy(out + done, buffer_.data() + position_, n);
    position_ += n;
    done += n;
  }
  return done;
}

void BufferedSink::Write(const void* data, size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (filled_ + count > buffer_.size()) {
    Flush();
    if (count >= buffer_.size()) return sink_.Write(bytes, count);
  }
  std::memcpy(buffer_.data() + filled_, bytes, count);
  filled_ += count;
}

void BufferedSink::Flush() {
  if (filled_ == 0) return;
  const size_t count = filled_;
  filled_ = 0;
  sink_.Write(buffer_.data(), count);
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
  // Bytes past the end are appended rather than zeroed first and then copied.
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (offset > bytes_.size()) bytes_.resize(static_cast<size_t>(offset));
  const size_t within = std::min(count, bytes_.size() - static_cast<size_t>(offset));
  if (within > 0) std::memcpy(bytes_.data() + offset, bytes, within);
  bytes_.insert(bytes_.end(), bytes + within, bytes + count);
}

void BlockSink::Write(const void* data, size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const size_t used = static_cast<size_t>(size_ % blockBytes_);
    if (used == 0 && size_ / blockBytes_ == blocks_.size()) {
      try {
        // Not cleared: every byte is written before it is read. Owned before
        // the list grows, so that a list that can't grow frees it.
        std::unique_ptr<uint8_t[]> block(new uint8_t[blockBytes_]);
        blocks_.push_back(std::move(block));
      } catch (const std::bad_alloc&) {
        throw msg::OutOfMemoryExpandingStream();
      }
    }
    const size_t n = std::min(count, blockBytes_ - used);
    std::memcpy(blocks_.back().get() + used, bytes, n);
    bytes += n;
    count -= n;
    size_ += n;
  }
}

void BlockSink::WriteTo(ByteSink& sink) const {
  uint64_t left = size_;
  for (const auto& block : blocks_) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, blockBytes_));
    sink.Write(block.get(), n);
    left -= n;
  }
}

}  // namespace sw
