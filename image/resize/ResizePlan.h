#pragma once
// What one resize knows before its first row: the destination's size, the
// per-column tables (each output column's cell, anchor and weight), the table
// of dT for the 511 sample differences, and which of them the double-precision
// fast path may use. Made once per call, read-only afterwards, shared by the
// rows and the threads.

#include <cstdint>
#include <vector>

#include "image/picture/DibHeader.h"
#include "image/resize/ExtendedSteps.h"

namespace sw {

constexpr int kChannels = 3;       // blue, green, red, in the order of the stored pixel

// Row and column indices of a destination stay below this, so that their
// products with a single are exact in double (ExactKernels.cpp, fact 1).
constexpr int64_t kExactFactorLimit = int64_t{1} << 29;
static_assert(kMaxPixelStoreBytes / 4 < static_cast<uint64_t>(kExactFactorLimit),
              "row and column indices of a destination must stay below 2^29");

struct ResizePlan {
  int32_t sourceWidth = 0;
  int32_t sourceHeight = 0;
  int32_t width = 0;   // W'
  int32_t height = 0;  // H'
  float scaleX = 0;
  float scaleY = 0;
  double reciprocalScaleY = 0;
  bool fast = true;    // the double-precision fast path may be taken
  bool tables = true;  // per-column tables; false: every pixel by its formulas
  // Per output column: the column of the cell's first sample (sx, at most W,
  // whose samples are white), the anchor X0 and x - X0.
  std::vector<int32_t> column;
  std::vector<int32_t> anchor;
  std::vector<double> weight;
  // Columns from here on take a sample from beyond the source's last column.
  int32_t firstEdgeColumn = 0;
  // dT = single(d / ScaleX) for the difference d = k - 255.
  float slope[kDifferences] = {};
  // Whether every row value with this difference is exact in double.
  bool slopeExact[kDifferences] = {};
  bool allSlopesExact = false;
  // Every B - T is exact in double and every nonzero (B - T) / ScaleY is far
  // above the single denormals, for the slope kernel.
  bool differencesExact = false;
};

// The sizes and scales of resizing a W x H source, with `fast` as given;
// raises as DestinationSize does. Each of these sets the resampler's
// arithmetic itself.
ResizePlan PlanSizes(int32_t sourceWidth, int32_t sourceHeight, float ScaleX, float ScaleY,
                     bool doublePrecision = true);

// The tables, when neither the source nor the destination is wider than
// `maxTableWidth`; the dT table alone otherwise.
void MakeTables(ResizePlan& plan, int32_t maxTableWidth);

// The source rows output row y reads: sy and sy + 1, the second of them the
// white row H when sy is the last.
int64_t FirstSourceRow(const ResizePlan& plan, int32_t y);

}  // namespace sw
