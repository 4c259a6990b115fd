#pragma once
// What a resize computed, and how: the figures tests and benchmarks read.

#include <cstdint>

namespace sw {

// How many values were computed, and how many of them in extended precision
// rather than on the double-precision fast path, at each of the three stages.
struct ValueCounts {
  uint64_t rowValues = 0;  // T and B: one per output column, channel and source row used
  uint64_t rowExtended = 0;
  uint64_t slopeValues = 0;  // dY: one per output column, channel and source row pair used
  uint64_t slopeExtended = 0;
  uint64_t finalValues = 0;  // v: one per output pixel and channel
  uint64_t finalExtended = 0;

  ValueCounts& operator+=(const ValueCounts& other) {
    rowValues += other.rowValues;
    rowExtended += other.rowExtended;
    slopeValues += other.slopeValues;
    slopeExtended += other.slopeExtended;
    finalValues += other.finalValues;
    finalExtended += other.finalExtended;
    return *this;
  }
};

struct ResizeStats : ValueCounts {
  int threads = 0;      // worker threads started besides the calling thread, which computes rows too
  bool tables = false;  // false when the destination or the source was too wide for column tables
  int32_t rowsAlongside = 0;  // output rows made from a second reader of the source, alongside the first
};

}  // namespace sw
