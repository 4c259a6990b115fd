// Whole pictures whose values sit on the edges of what the double-precision
// fast path can vouch for: slopes that are exact ties between two singles,
// final values on and next to halfway points, sums a double can't hold,
// extreme factors, and rows around the widest that gets column tables. Each
// must equal the plain per-pixel evaluation, and the counts must show that
// the fast path really ran where the case is meant to test it. Each runs at
// every kernel width, but for the rows around the widest that get tables:
// what they test is settled before any kernel runs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "QuietHost.h"
#include "ReferenceResampler.h"
#include "engine/KernelWidths.h"
#include "engine/SlopeTies.h"
#include "image/resize/ExactKernels.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"

namespace sw {
namespace {

using Extended = long double;

constexpr ColorValue Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red | (green << 8) | (blue << 16); }

Picture FromRows(const std::vector<std::vector<ColorValue>>& rows) {
  Picture picture = Picture::CreateDisplayCompatible(static_cast<int32_t>(rows[0].size()),
                                                     static_cast<int32_t>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y) picture.WriteRow(static_cast<int32_t>(y), rows[y].data());
  return picture;
}

Picture RandomPicture(std::mt19937& random, int32_t width, int32_t height) {
  Picture picture = Picture::CreateDisplayCompatible(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) picture.WritePixel(x, y, random() & 0xFFFFFF);
  return picture;
}

// The resampled picture and its counts, with the fast path allowed.
Picture Resized(const Picture& source, float scaleX, float scaleY, ResizeStats& stats, int threads = 1,
                int32_t maxTableWidth = ResizeTuning{}.maxTableWidth) {
  Picture picture = source;
  test::QuietHost host;
  ResizeTuning options;
  options.threads = threads;
  options.rowsPerTask = 7;
  options.maxTableWidth = maxTableWidth;
  options.stats = &stats;
  ResizeBitmap(picture, scaleX, scaleY, host, options);
  return picture;
}

// The plain evaluation of a case, the costly part of the larger ones, made
// once for all kernel widths of a test: kept while the widths of the same
// test ask for it, dropped when another test begins.
const Picture& Reference(const Picture& source, float scaleX, float scaleY) {
  struct Kept {
    std::string test;
    float scaleX, scaleY;
    Picture source, result;
  };
  static std::list<Kept> kept;
  std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
  test.erase(std::min(test.find('/'), test.size()));  // the width's suffix
  if (!kept.empty() && kept.front().test != test) kept.clear();
  const auto same = [&](const Picture& a, const Picture& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int32_t y = 0; y < a.Height(); ++y)
      for (int32_t x = 0; x < a.Width(); ++x)
        if (a.ReadPixel(x, y) != b.ReadPixel(x, y)) return false;
    return true;
  };
  for (const Kept& k : kept)
    if (std::memcmp(&k.scaleX, &scaleX, 4) == 0 && std::memcmp(&k.scaleY, &scaleY, 4) == 0 && same(k.source, source))
      return k.result;
  kept.push_back({test, scaleX, scaleY, source, reference::ReferenceResize(source, scaleX, scaleY)});
  return kept.back().result;
}

void ExpectSamePixels(const Picture& expected, const Picture& actual) {
  ASSERT_EQ(expected.Width(), actual.Width());
  ASSERT_EQ(expected.Height(), actual.Height());
  std::vector<ColorValue> want(static_cast<size_t>(expected.Width())), got(want.size());
  for (int32_t y = 0; y < expected.Height(); ++y) {
    expected.ReadRow(y, want.data());
    actual.ReadRow(y, got.data());
    for (int32_t x = 0; x < expected.Width(); ++x)
      ASSERT_EQ(want[x], got[x]) << "at " << x << "," << y;
  }
}

// Trunc(position / scale) and Round(cell x scale), in extended precision.
struct Cell {
  int64_t cell, origin;
};
Cell CellOf(int64_t position, float scale) {
  reference::ExtendedPrecisionScope scope;
  const int64_t cell = static_cast<int64_t>(static_cast<Extended>(position) / scale);
  return {cell, __builtin_llrintl(static_cast<Extended>(cell) * scale)};
}

// T (or B) of output column x for the samples p00, p10 of its cell.
float RowValue(int64_t x, float scaleX, int p00, int p10) {
  reference::ExtendedPrecisionScope scope;
  const int64_t x0 = CellOf(x, scaleX).origin;
  const float slope = static_cast<float>(static_cast<Extended>(p10 - p00) / scaleX);
  return static_cast<float>(static_cast<Extended>(x) * slope + p00 - static_cast<Extended>(x0) * slope);
}

// y*dY + T - Y0*dY before it is rounded, for channel `shift` of output pixel
// (x, y): used to find out which pixels of a picture sit where.
Extended UnroundedValue(const Picture& source, float scaleX, float scaleY, int32_t x, int32_t y, int shift) {
  const Cell column = CellOf(x, scaleX), row = CellOf(y, scaleY);
  const auto sample = [&](int64_t dx, int64_t dy) {
    return static_cast<int>((source.ReadPixel(static_cast<int32_t>(column.cell + dx), static_cast<int32_t>(row.cell + dy)) >>
                             shift) &
                            0xFF);
  };
  const float T = RowValue(x, scaleX, sample(0, 0), sample(1, 0));
  const float B = RowValue(x, scaleX, sample(0, 1), sample(1, 1));
  reference::ExtendedPrecisionScope scope;
  const float dY = static_cast<float>((static_cast<Extended>(B) - T) / scaleY);
  return static_cast<Extended>(y) * dY + T - static_cast<Extended>(row.origin) * dY;
}

// Pictures of 2 x 2 pixels whose first row holds 0 and `right`, and whose
// second row `bottom` twice, per channel (blue, green, red): B = bottom, and
// for some columns (B - T) / ScaleY is an exact tie that the double quotient
// misses, and the output bytes of some row depend on it. Found by
// tests/tools/SlopeTieSearch.cpp (three of its cases that share the factors
// make one picture).
struct SlopeTiePicture {
  float scaleX, scaleY;
  uint8_t right[3], bottom[3];
};
const SlopeTiePicture kSlopeTiePictures[] = {
    {22.2857151f, 98.0f, {12, 6, 4}, {98, 98, 98}},       // 156/7 by 49 x 2; the double quotient falls short
    {13.6000004f, 150.0f, {12, 6, 3}, {150, 150, 150}},   // 68/5 by 75 x 2; it overshoots
    {21.8571434f, 196.0f, {1, 3, 6}, {196, 98, 196}},     // 153/7 by 49 x 4
    {22.2000008f, 1200.0f, {1, 1, 1}, {35, 70, 140}},     // 111/5 by 75 x 16
    {23.333334f, 198.0f, {1, 1, 2}, {180, 198, 180}},     // 70/3 by 99 x 2
    {17.5f, 1968.0f, {1, 1, 1}, {92, 136, 184}},          // by 123 x 16
};

class ResamplerMargins : public AtEveryKernelWidth {};
INSTANTIATE_AT_EVERY_KERNEL_WIDTH(ResamplerMargins);

TEST_P(ResamplerMargins, SlopeTiesOfTallEnlargementsComeOutAsTheFormulaSays) {
  for (const SlopeTiePicture& c : kSlopeTiePictures) {
    SCOPED_TRACE(testing::Message() << c.scaleX << " x " << c.scaleY);
    const auto color = [](const uint8_t* v) { return Rgb(v[2], v[1], v[0]); };
    const Picture source = FromRows({{0, color(c.right)}, {color(c.bottom), color(c.bottom)}});
    // The case is what it claims: in every channel some column's slope is a
    // tie the double quotient misses.
    std::vector<float> top, bottom;
    for (int channel = 0; channel < 3; ++channel) {
      int ties = 0;
      for (int64_t x = 0; CellOf(x, c.scaleX).cell == 0; ++x) {
        const float T = RowValue(x, c.scaleX, 0, c.right[channel]), B = c.bottom[channel];
        if (!test::IsTieTheDoubleQuotientMisses(B, T, c.scaleY)) continue;
        ++ties;
        top.push_back(T);
        bottom.push_back(B);
      }
      EXPECT_GE(ties, 1) << "channel " << channel;
    }
    for (int threads : {1, 2}) {
      ResizeStats stats;
      const Picture result = Resized(source, c.scaleX, c.scaleY, stats, threads);
      ExpectSamePixels(Reference(source, c.scaleX, c.scaleY), result);
      // The slope kernel ran on these rows; its margin alone kept them exact.
      EXPECT_LT(stats.slopeExtended, stats.slopeValues);
      EXPECT_EQ(stats.rowExtended, 0u);
    }
    // The same slopes through the slope stage on its own, at every position
    // of a row, among ordinary neighbours.
    for (size_t i = 0; i < top.size(); ++i) {
      for (int position = 0; position < 37; ++position) {
        std::vector<float> T(37, 17.25f), B(37, 200.5f), dY(37);
        T[position] = top[i];
        B[position] = bottom[i];
        resampler_internals::Slopes(T.data(), B.data(), c.scaleY, dY.data(), 37);
        ASSERT_EQ(dY[position], resampler_internals::SlopeExtended(B[position], T[position], c.scaleY))
            << "T=" << top[i] << " B=" << bottom[i] << " at " << position;
        ASSERT_EQ(dY[(position + 1) % 37], resampler_internals::SlopeExtended(200.5f, 17.25f, c.scaleY));
      }
    }
  }
}

// Exact halfway points are everywhere when the factors are powers of two (v
// is a multiple of a small power of two); odd factors put values a few ulps
// beside them. Both must round as the formula does, on the fast path.
TEST_P(ResamplerMargins, FinalValuesOnAndBesideHalfwayPoints) {
  std::mt19937 random(31);
  struct Factors {
    float scaleX, scaleY;
  };
  int64_t ties = 0, besideTies = 0;
  uint64_t extended = 0, values = 0;
  for (const Factors& f : {Factors{2.0f, 2.0f}, Factors{4.0f, 8.0f}, Factors{0.5f, 16.0f}, Factors{3.0f, 2.0f},
                           Factors{1.5f, 4.0f}, Factors{7.0f / 3, 10.0f / 7}, Factors{5.0f, 6.0f}}) {
    SCOPED_TRACE(testing::Message() << f.scaleX << " x " << f.scaleY);
    const Picture source = RandomPicture(random, 24, 12);
    ResizeStats stats;
    const Picture result = Resized(source, f.scaleX, f.scaleY, stats);
    ExpectSamePixels(Reference(source, f.scaleX, f.scaleY), result);
    extended += stats.finalExtended;
    values += stats.finalValues;
    for (int32_t y = 0; y < result.Height(); ++y) {
      for (int32_t x = 0; x < result.Width(); ++x) {
        for (int shift : {0, 8, 16}) {
          const Extended v = UnroundedValue(source, f.scaleX, f.scaleY, x, y, shift);
          const Extended off = std::fabs(v - std::floor(v) - 0.5L);
          if (off == 0) ++ties;
          if (off > 0 && off < 0x1p-12L) ++besideTies;
        }
      }
    }
  }
  // Enough of each kind, and the fast path computed nearly all of them.
  EXPECT_GT(ties, 5000);
  EXPECT_GT(besideTies, 100);
  EXPECT_LT(extended * 20, values);
}

// Two rows whose row values cross half way along the cell, with ScaleX a
// little above a power of two: at the crossing B - T is a few ulps of values
// near 100, so dY is tiny and fine-grained, and y*dY + T needs more bits
// than a double holds. Those values must be recognised and computed by the formula.
TEST_P(ResamplerMargins, SumsADoubleCantHoldFallBackToTheFormula) {
  // Per channel T = P00 + (P10 - P00) w / ScaleX and B = P01 + (P11 - P01) w / ScaleX,
  // with B - T = +-(1 - 2 w / ScaleX).
  const Picture source = FromRows({{Rgb(100, 50, 200), Rgb(103, 52, 197)}, {Rgb(101, 51, 199), Rgb(102, 51, 198)}});
  for (float scaleY : {1000.3f, 333.3f}) {
    for (float scaleX : {128.002f, 64.003f, 256.01f}) {
      SCOPED_TRACE(testing::Message() << scaleX << " x " << scaleY);
      ResizeStats stats;
      const Picture result = Resized(source, scaleX, scaleY, stats, 2);
      ExpectSamePixels(Reference(source, scaleX, scaleY), result);
      EXPECT_GT(stats.finalExtended, 0u);                      // some sums weren't doubles
      EXPECT_LT(stats.finalExtended * 10, stats.finalValues);  // the rest came from the fast path
      EXPECT_LT(stats.slopeExtended, stats.slopeValues);
    }
  }
}

TEST_P(ResamplerMargins, VerySmallAndVeryLargeFactors) {
  std::mt19937 random(41);
  struct Case {
    int32_t width, height;
    float scaleX, scaleY;
    bool fastSlopes;  // whether the slope kernel can vouch for the differences
  };
  // Outputs of one to three columns are left out of the claim about slopes:
  // rows that short may be done without the kernel.
  const Case cases[] = {
      {300, 3, 1.0f / 299.5f, 0.5f, false},          // one column left, weights far beyond 1
      {700, 2, 2.5f / 700, 1.0f, false},             // two or three columns
      {3, 300, 7.0f, 1.4f / 300, true},              // one row, extrapolated
      {8, 2, 3.0f, 65537.0f, true},                  // a very tall enlargement: dY down to 2^-16
      {6, 3, 5.0f, 40000.3f, true},
      {2, 1, 300001.7f, 1.0f, false},                // very wide: dT has bits down to 2^-42, too fine
      {1, 1, 999999.0f, 1.0f, false},                //   for differences of row values in double
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " by " << c.scaleX << " x " << c.scaleY);
    const Picture source = RandomPicture(random, c.width, c.height);
    ResizeStats stats;
    const Picture result = Resized(source, c.scaleX, c.scaleY, stats, 2);
    ExpectSamePixels(Reference(source, c.scaleX, c.scaleY), result);
    EXPECT_TRUE(stats.tables);
    EXPECT_LT(stats.finalExtended, stats.finalValues);
    if (c.fastSlopes) EXPECT_LT(stats.slopeExtended, stats.slopeValues);
  }
}

// The widest destinations that still get column tables, one more, and (with
// the limit raised) one so wide that dT = 1 / ScaleX has bits down to 2^-46:
// row values 254 + w dT of 54 bits, which no double holds, so they can't
// come from the double-precision path. At the width in use only: what this
// tests (which rows get tables, which row values the double-precision path
// may take, that no slope reaches the kernel) is settled before any kernel
// runs, the final kernel sees nothing but row 0's weight of 0 here, and each
// width would add seconds.
TEST(ResamplerTableMargins, RowsAroundTheWidestThatGetTables) {
  const Picture source = FromRows({{Rgb(7, 128, 254)}});
  const int32_t limit = ResizeTuning{}.maxTableWidth;
  for (int32_t width : {limit, limit + 1}) {
    SCOPED_TRACE(width);
    const float scaleX = static_cast<float>(width);
    ResizeStats stats;
    const Picture result = Resized(source, scaleX, 1.0f, stats, 2);
    ASSERT_EQ(result.Width(), width);
    ExpectSamePixels(reference::ReferenceResize(source, scaleX, 1.0f), result);
    EXPECT_EQ(stats.tables, width <= limit);
    if (stats.tables) EXPECT_LT(stats.finalExtended, stats.finalValues);
  }
  // White beyond the column: 255 - 254 = 1 in blue, so dT = 1 / 4400007, in
  // [2^-23, 2^-22) with an odd mantissa.
  const float scaleX = 4400007.0f;
  ResizeStats stats;
  const Picture result = Resized(source, scaleX, 1.0f, stats, 2, 1 << 23);
  ExpectSamePixels(reference::ReferenceResize(source, scaleX, 1.0f), result);
  EXPECT_TRUE(stats.tables);
  EXPECT_GT(stats.rowExtended, 0u);
  EXPECT_LT(stats.rowExtended, stats.rowValues);
  EXPECT_EQ(stats.slopeExtended, stats.slopeValues);
}

}  // namespace
}  // namespace sw
