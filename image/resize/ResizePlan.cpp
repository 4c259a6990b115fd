#include "image/resize/ResizePlan.h"

#include <algorithm>
#include <cmath>

#include "image/resize/FloatingPoint.h"

namespace sw {
namespace {

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
  // Row values and slopes: fact 2 per difference (ExactKernels.cpp).
  for (int k = 0; k < kDifferences; ++k) plan.slope[k] = SlopeOfDifference(k - 255, plan.scaleX);
  const RowValueBounds bounds = CheckRowValueBounds(int64_t{plan.width} - 1 + maxAnchor, plan.slope, plan.scaleY);
  std::copy(bounds.slopeExact, bounds.slopeExact + kDifferences, plan.slopeExact);
  plan.allSlopesExact = bounds.allSlopesExact;
  plan.differencesExact = plan.fast && bounds.differencesExact;
}

}  // namespace

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
  for (int k = 0; k < kDifferences; ++k) plan.slope[k] = SlopeOfDifference(k - 255, plan.scaleX);
}

}  // namespace sw
