#include "image/resize/ResizePlan.h"

#include <algorithm>
#include <cmath>

#include "core/Messages.h"

namespace sw {
namespace {

// The exponent of the lowest set bit of a nonzero single: value = odd x 2^e.
int LowestBitExponent(float value) {
  int exponent;
  const float fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1) x 2^exponent
  uint32_t mantissa = static_cast<uint32_t>(std::ldexp(fraction, 24));  // exact: 24 bits
  exponent -= 24;
  while ((mantissa & 1u) == 0) {
    mantissa >>= 1;
    ++exponent;
  }
  return exponent;
}

void MakeColumnTables(ResizePlan& plan) {
  plan.column.resize(static_cast<size_t>(plan.width));
  plan.anchor.resize(static_cast<size_t>(plan.width));
  plan.weight.resize(static_cast<size_t>(plan.width));
  int64_t maxAnchor = 0;
  for (int32_t x = 0; x < plan.width; ++x) {
    const Anchor a = AnchorOf(x, plan.scaleX);
    plan.column[x] = static_cast<int32_t>(std::clamp<int64_t>(a.cell, 0, plan.sourceWidth));
    plan.anchor[x] = static_cast<int32_t>(a.origin);
    plan.weight[x] = static_cast<double>(x - a.origin);
    maxAnchor = std::max(maxAnchor, a.origin);
    if (plan.column[x] < plan.sourceWidth - 1) plan.firstEdgeColumn = x + 1;
    // X0 lies in 0 .. x, as Round(sx x ScaleX) <= Round(x); checked all the same.
    if (a.origin < 0 || a.origin > x) plan.fast = false;
  }
  // Row values: fact 2 per difference. A row value t is a multiple of 2^g,
  // and so is the single T = single(t), since rounding to single only ever
  // moves to a coarser grid; |T| <= bound (1 + 2^-24).
  plan.allSlopesExact = true;
  int finestGrid = 0;
  Extended largestBound = 255;
  for (int k = 0; k < kDifferences; ++k) {
    const float slope = static_cast<float>(static_cast<Extended>(k - 255) / plan.scaleX);
    plan.slope[k] = slope;
    bool exact = true;
    if (slope != 0) {
      const int grid = std::min(LowestBitExponent(slope), 0);
      const Extended bound = (static_cast<Extended>(plan.width - 1) + static_cast<Extended>(maxAnchor)) *
                                 std::fabs(static_cast<Extended>(slope)) +
                             255;
      exact = bound < std::ldexp(static_cast<Extended>(1), 52 + grid);
      finestGrid = std::min(finestGrid, grid);
      largestBound = std::max(largestBound, bound);
    }
    plan.slopeExact[k] = exact;
    plan.allSlopesExact = plan.allSlopesExact && exact;
  }
  // Slopes: B - T is a multiple of 2^finestGrid below 2 x largestBound x
  // (1 + 2^-24) in magnitude, so a double when that is below 2^(53 +
  // finestGrid); a nonzero one is at least 2^finestGrid.
  const Extended one = 1;
  plan.differencesExact = plan.fast && plan.allSlopesExact &&
                          largestBound < std::ldexp(one, 51 + finestGrid) &&
                          std::ldexp(one, finestGrid) / plan.scaleY >= std::ldexp(one, -119);
}

}  // namespace

Anchor AnchorOf(int64_t position, Extended scale) {
  const int64_t cell = static_cast<int64_t>(static_cast<Extended>(position) / scale);
  return {cell, RoundExtended(static_cast<Extended>(cell) * scale)};
}

int32_t DestinationSize(int32_t size, float scale) {
  const Extended product = static_cast<Extended>(size) * static_cast<Extended>(scale);
  if (std::isnan(product)) throw msg::InvalidOperation();
  const Extended rounded = rintl(product);
  if (!(rounded >= static_cast<Extended>(INT32_MIN) && rounded <= static_cast<Extended>(INT32_MAX)))
    throw msg::Resource();
  return static_cast<int32_t>(rounded);
}

ResizePlan PlanSizes(int32_t sourceWidth, int32_t sourceHeight, float ScaleX, float ScaleY, bool doublePrecision) {
  ResamplerArithmetic arithmetic;
  ResizePlan plan;
  plan.sourceWidth = sourceWidth;
  plan.sourceHeight = sourceHeight;
  float scaleX = ScaleX, scaleY = ScaleY;
  FloatingPointFence(scaleX);
  FloatingPointFence(scaleY);
  plan.width = DestinationSize(sourceWidth, scaleX);
  plan.height = DestinationSize(sourceHeight, scaleY);
  plan.scaleX = scaleX;
  plan.scaleY = scaleY;
  plan.reciprocalScaleY = 1.0 / static_cast<double>(scaleY);
  plan.fast = doublePrecision;
  return plan;
}

int64_t FirstSourceRow(const ResizePlan& plan, int32_t y) {
  ResamplerArithmetic arithmetic;
  int64_t row = std::min<int64_t>(AnchorOf(y, plan.scaleY).cell, plan.sourceHeight);
  FloatingPointFence(row);  // computed before the caller's state comes back
  return row;
}

void MakeTables(ResizePlan& plan, int32_t maxTableWidth) {
  ResamplerArithmetic arithmetic;
  plan.tables = plan.width <= maxTableWidth && plan.sourceWidth <= maxTableWidth;
  if (plan.tables) return MakeColumnTables(plan);
  for (int k = 0; k < kDifferences; ++k) plan.slope[k] = static_cast<float>(static_cast<Extended>(k - 255) / plan.scaleX);
}

}  // namespace sw
