#pragma once
// Small byte sources and sinks, so the codecs run on memory in the tests and
// on files in the program. Some readers visit their data out of order (a
// bottom-up BMP file read top row first) and some writers put rows at their
// place (a BMP file written top row first): those take the random-access kinds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
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

// A source of known size that can also be read at any offset. Reading at an
// offset leaves the position of Read where it was.
class RandomAccessSource : public ByteSource {
 public:
  virtual uint64_t Size() const = 0;
  // Copies up to `count` bytes from `offset`; fewer only at the end of the data.
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Raises "Stream write error" unless all `count` bytes are put down.
  virtual void Write(const void* data, size_t count) = 0;
};

// A sink that can also put bytes at any offset; bytes never written before
// the last one written are zero. Writing at an offset leaves the position of
// Write where it was.
class RandomAccessSink : public ByteSink {
 public:
  virtual void WriteAt(uint64_t offset, const void* data, size_t count) = 0;
};

// Reads in order from a position of its own in a source read at offsets: a
// second reader of the same bytes never moves the first.
class ReaderAt : public ByteSource {
 public:
  ReaderAt(RandomAccessSource& source, uint64_t offset) : source_(source), offset_(offset) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t got = source_.ReadAt(offset_, buffer, count);
    offset_ += got;
    return got;
  }

 private:
  RandomAccessSource& source_;
  uint64_t offset_;
};

// Reads the source behind it in large blocks and hands them out in pieces of
// any size, so a reader that asks for little at a time costs few reads.
class BufferedSource : public ByteSource {
 public:
  BufferedSource(ByteSource& source, size_t bytes) : source_(source), buffer_(bytes) {}
  size_t Read(void* buffer, size_t count) override;

 private:
  ByteSource& source_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
};

// Gathers small writes into large ones for the sink behind it. Flush()
// hands on what is left; what a writer that fails part way never flushed is
// dropped with the buffer.
class BufferedSink : public ByteSink {
 public:
  BufferedSink(ByteSink& sink, size_t bytes) : sink_(sink), buffer_(bytes) {}
  void Write(const void* data, size_t count) override;
  void Flush();

 private:
  ByteSink& sink_;
  std::vector<uint8_t> buffer_;
  size_t filled_ = 0;
};

class MemorySource : public RandomAccessSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}
  size_t Read(void* buffer, size_t count) override;
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;
  size_t Remaining() const { return size_ - position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

class MemorySink : public RandomAccessSink {
 public:
  void Write(const void* data, size_t count) override;
  void WriteAt(uint64_t offset, const void* data, size_t count) override;
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

// Bytes kept in memory in blocks as they come, so that a sink grown to many
// megabytes never copies what it holds, and then handed on whole. Running out
// of memory is "Out of memory while expanding memory stream".
class BlockSink : public ByteSink {
 public:
  explicit BlockSink(size_t blockBytes = size_t{1} << 20) : blockBytes_(blockBytes) {}
  void Write(const void* data, size_t count) override;
  uint64_t Size() const { return size_; }
  // Every byte, in order, to `sink`.
  void WriteTo(ByteSink& sink) const;

 private:
  const size_t blockBytes_;
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  uint64_t size_ = 0;
};

}  // namespace sw
