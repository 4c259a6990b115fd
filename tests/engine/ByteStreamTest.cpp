#include <gtest/gtest.h>

#include "core/ByteStream.h"

namespace sw {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(MemoryStreams, ReadsAtAnOffsetLeaveTheReadingInOrderWhereItWas) {
  const Bytes bytes = {1, 2, 3, 4, 5, 6};
  MemorySource source(bytes);
  uint8_t first[2] = {}, at[4] = {}, next[2] = {};
  EXPECT_EQ(source.Read(first, 2), 2u);
  EXPECT_EQ(source.ReadAt(3, at, 4), 3u);
  EXPECT_EQ(source.ReadAt(9, at, 4), 0u);
  EXPECT_EQ(source.Read(next, 2), 2u);
  EXPECT_EQ(Bytes(first, first + 2), (Bytes{1, 2}));
  EXPECT_EQ(Bytes(at, at + 3), (Bytes{4, 5, 6}));
  EXPECT_EQ(Bytes(next, next + 2), (Bytes{3, 4}));
  EXPECT_EQ(source.Remaining(), 2u);
}

TEST(MemoryStreams, BytesPutAtOffsetsOverwriteOrExtendWithZerosBetween) {
  MemorySink sink;
  sink.Write("abc", 3);
  sink.WriteAt(6, "xy", 2);
  sink.WriteAt(1, "BCDE", 4);  // over the end of what was there
  sink.Write("d", 1);          // in order, after the first three
  EXPECT_EQ(sink.Bytes(), (Bytes{'a', 'B', 'C', 'd', 'E', 0, 'x', 'y'}));
}

class CountingSink : public ByteSink {
 public:
  void Write(const void* data, size_t count) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    all.insert(all.end(), bytes, bytes + count);
    writes.push_back(count);
  }
  Bytes all;
  std::vector<size_t> writes;
};

TEST(BufferedSinks, SmallWritesReachTheSinkInOrderAsFewLargeOnes) {
  CountingSink behind;
  BufferedSink buffered(behind, 8);
  Bytes expected;
  for (uint8_t i = 0; i < 20; ++i) {
    const uint8_t piece[3] = {i, static_cast<uint8_t>(i + 100), static_cast<uint8_t>(i + 200)};
    buffered.Write(piece, i % 4 == 3 ? 3 : 1);
    expected.insert(expected.end(), piece, piece + (i % 4 == 3 ? 3 : 1));
  }
  const uint8_t large[20] = {};
  buffered.Write(large, sizeof large);  // larger than the buffer: handed on as it is
  expected.insert(expected.end(), large, large + sizeof large);
  buffered.Flush();
  buffered.Flush();
  EXPECT_EQ(behind.all, expected);
  EXPECT_LT(behind.writes.size(), 10u);
}

// Counts the reads made of it.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(const Bytes& bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t count) override {
    ++reads;
    const size_t n = std::min(count, bytes_.size() - position_);
    std::copy(bytes_.begin() + static_cast<long>(position_), bytes_.begin() + static_cast<long>(position_ + n),
              static_cast<uint8_t*>(buffer));
    position_ += n;
    return n;
  }
  int reads = 0;

 private:
  const Bytes& bytes_;
  size_t position_ = 0;
};

TEST(BlockSinks, WritesAcrossBlocksComeOutWholeAndInOrder) {
  BlockSink sink(4);
  Bytes expected;
  uint8_t next = 0;
  // Writes that end a block exactly, span several, and start mid-block.
  for (size_t count : {size_t{4}, size_t{1}, size_t{9}, size_t{0}, size_t{3}, size_t{2}}) {
    Bytes piece;
    for (size_t i = 0; i < count; ++i) piece.push_back(next++);
    sink.Write(piece.data(), piece.size());
    expected.insert(expected.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(sink.Size(), expected.size());
  MemorySink out;
  sink.WriteTo(out);
  EXPECT_EQ(out.Bytes(), expected);
  MemorySink again;
  sink.WriteTo(again);
  EXPECT_EQ(again.Bytes(), expected) << "handing the bytes on keeps them";
}

TEST(BufferedSources, PiecesOfAnySizeComeInOrderFromFewReads) {
  Bytes bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  CountingSource behind(bytes);
  BufferedSource buffered(behind, 64);
  Bytes got;
  for (size_t piece : {1, 3, 63, 64, 65, 200, 7}) {
    Bytes part(piece);
    ASSERT_EQ(buffered.Read(part.data(), piece), piece);
    got.insert(got.end(), part.begin(), part.end());
  }
  Bytes rest(2000);
  EXPECT_EQ(buffered.Read(rest.data(), rest.size()), bytes.size() - got.size()) << "fewer only at the end";
  got.insert(got.end(), rest.begin(), rest.begin() + static_cast<long>(bytes.size() - got.size()));
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(buffered.Read(rest.data(), 1), 0u);
  EXPECT_LT(behind.reads, 12);
}

}  // namespace
}  // namespace sw
