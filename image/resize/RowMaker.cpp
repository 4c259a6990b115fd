#include "image/resize/RowMaker.h"

#include <algorithm>
#include <cstring>

#include "image/resize/ExactKernels.h"
#include "image/resize/FloatingPoint.h"

namespace sw {

RowMaker::RowMaker(const ResizePlan& plan, const SourceRows& source)
    : plan_(plan), source_(source), directStep_(source.DirectStep()) {
  if (!plan.tables) return;
  const size_t values = static_cast<size_t>(plan.width) * kChannels;
  if (directStep_ == 0) colors_.resize(static_cast<size_t>(plan.sourceWidth));
  samples_.resize((static_cast<size_t>(plan.sourceWidth) + 2) * kChannels);
  for (auto& row : rows_) row.resize(values);
  slopes_.resize(values);
  channels_.resize(values + 1);
}

void RowMaker::Make(int32_t y, uint8_t* target) {
  ResamplerArithmetic arithmetic;  // each thread has its own floating-point state
  if (!plan_.tables) {
    MakeWithoutTables(y, target);
    return;
  }
  const Anchor a = AnchorOf(y, plan_.scaleY);
  const int64_t top = std::min<int64_t>(a.cell, plan_.sourceHeight);
  const int64_t bottom = std::min<int64_t>(top + 1, plan_.sourceHeight);
  const int topSlot = RowValuesFor(top, -1);
  const int bottomSlot = RowValuesFor(bottom, topSlot);
  const float* T = rows_[topSlot].data();
  const int count = plan_.width * kChannels;
  if (slopeKey_ != top) {
    counts_.slopeValues += static_cast<uint64_t>(count);
    counts_.slopeExtended += SlopeRow(T, rows_[bottomSlot].data(), plan_.scaleY, plan_.reciprocalScaleY,
                                      plan_.differencesExact, slopes_.data(), count);
    slopeKey_ = top;
  }
  counts_.finalValues += static_cast<uint64_t>(count);
  counts_.finalExtended += FinalRow(T, slopes_.data(), y, a.origin, plan_.fast, channels_.data(), count);
  PackPixels(channels_.data(), plan_.width, target);
}

// The row values of source row `row` (the row H is white) in a slot other
// than `keep`, computed unless a slot holds them already.
int RowMaker::RowValuesFor(int64_t row, int keep) {
  for (int slot = 0; slot < 2; ++slot)
    if (rowKeys_[slot] == row) return slot;
  const int slot = keep == 0 ? 1 : 0;
  MakeRowValues(row, rows_[slot].data());
  rowKeys_[slot] = row;
  return slot;
}

void RowMaker::MakeRowValues(int64_t row, float* out) {
  counts_.rowValues += static_cast<uint64_t>(plan_.width) * kChannels;
  const int32_t w = plan_.sourceWidth;
  if (row >= plan_.sourceHeight) {
    std::fill(samples_.begin(), samples_.end(), uint8_t{255});
    counts_.rowExtended += RowValues(plan_, samples_.data(), 3, 0, 0, plan_.width, out);
    return;
  }
  if (directStep_ != 0) {
    // In place up to the edge; the last pixel and the white beyond it from
    // a copy.
    const uint8_t* stored = source_.StoredRow(static_cast<int32_t>(row));
    std::memcpy(edge_, stored + (static_cast<size_t>(w) - 1) * directStep_, 3);
    std::fill(edge_ + 3, edge_ + sizeof edge_, uint8_t{255});
    counts_.rowExtended += RowValues(plan_, stored, directStep_, 0, 0, plan_.firstEdgeColumn, out);
    counts_.rowExtended += RowValues(plan_, edge_, 3, w - 1, plan_.firstEdgeColumn, plan_.width, out);
    return;
  }
  source_.ReadRow(static_cast<int32_t>(row), colors_.data());
  uint8_t* samples = samples_.data();
  for (int32_t i = 0; i < w; ++i) {
    const ColorValue c = colors_[i];
    samples[3 * i + 0] = static_cast<uint8_t>(c >> 16);
    samples[3 * i + 1] = static_cast<uint8_t>(c >> 8);
    samples[3 * i + 2] = static_cast<uint8_t>(c);
  }
  std::fill(samples + 3 * static_cast<size_t>(w), samples + samples_.size(), uint8_t{255});
  counts_.rowExtended += RowValues(plan_, samples, 3, 0, 0, plan_.width, out);
}

// For rows too wide for tables: the formulas pixel by pixel, in extended
// precision, with memory that doesn't grow with the width.
void RowMaker::MakeWithoutTables(int32_t y, uint8_t* target) {
  const Anchor a = AnchorOf(y, plan_.scaleY);
  const int32_t sy = static_cast<int32_t>(std::min<int64_t>(a.cell, INT32_MAX - 1));
  for (int32_t x = 0; x < plan_.width; ++x) {
    const Anchor column = AnchorOf(x, plan_.scaleX);
    const int32_t sx = static_cast<int32_t>(std::min<int64_t>(column.cell, INT32_MAX - 1));
    const ColorValue p00 = source_.ReadPixel(sx, sy), p10 = source_.ReadPixel(sx + 1, sy);
    const ColorValue p01 = source_.ReadPixel(sx, sy + 1), p11 = source_.ReadPixel(sx + 1, sy + 1);
    for (int c = 0; c < kChannels; ++c) {
      const int shift = 16 - 8 * c;  // blue, green, red
      const int c00 = (p00 >> shift) & 0xFF, c10 = (p10 >> shift) & 0xFF;
      const int c01 = (p01 >> shift) & 0xFF, c11 = (p11 >> shift) & 0xFF;
      const float T = ExtendedRowValue(x, column.origin, c00, plan_.slope[c10 - c00 + 255]);
      const float B = ExtendedRowValue(x, column.origin, c01, plan_.slope[c11 - c01 + 255]);
      target[4 * static_cast<size_t>(x) + c] = ExtendedFinal(y, a.origin, ExtendedSlope(B, T, plan_.scaleY), T);
    }
    target[4 * static_cast<size_t>(x) + 3] = 0;
  }
  const uint64_t count = static_cast<uint64_t>(plan_.width) * kChannels;
  counts_.rowValues += 2 * count;
  counts_.rowExtended += 2 * count;
  counts_.slopeValues += count;
  counts_.slopeExtended += count;
  counts_.finalValues += count;
  counts_.finalExtended += count;
}

}  // namespace sw
