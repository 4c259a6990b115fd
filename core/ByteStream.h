#pragma once
// Small byte sources and sinks, so the codecs run on memory in the tests and
// on files in the program.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sw {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `count` bytes; fewer only at the end of the data.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Raises "Stream read error" unless all `count` bytes arrive.
  void ReadExact(void* buffer, size_t count);
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Raises "Stream write error" unless all `count` bytes are put down.
  virtual void Write(const void* data, size_t count) = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Remaining() const { return size_ - position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

class MemorySink : public ByteSink {
 public:
  void Write(const void* data, size_t count) override;
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace sw
