// The resampler's per-element stages against their extended-precision
// formulas, on values no picture gives: wild exponents, zeros, denormals,
// ties, long mantissas. The fast paths must either be exact or step aside.
// Each vector stage runs at every kernel width this processor has, on rows
// of every length around the vector steps, from buffers that end at an
// inaccessible page, so that a read past a row's end faults.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "KernelWidths.h"
#include "image/resize/ExactKernels.h"
#include "image/resize/KernelDispatch.h"
#include "image/resize/KernelSet.h"
#include "image/resize/ResizePlan.h"
#include "image/resize/FloatingPoint.h"

namespace sw {
namespace {

using resampler_internals::FinalValueExtended;
using resampler_internals::FinalValues;
using resampler_internals::SlopeExtended;
using resampler_internals::Slopes;

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

// A float of random sign and mantissa with a biased exponent in [low, high];
// now and then zero, a denormal, a small integer or a half.
float WildFloat(std::mt19937& random, int low, int high) {
  const uint32_t sign = (random() & 1u) << 31;
  switch (random() % 10) {
    case 0: return 0.0f;
    case 1: return FromBits(sign | (random() & 0x7FFFFFu));  // denormal
    case 2: return static_cast<float>(static_cast<int>(random() % 600) - 300);
    case 3: return static_cast<float>(static_cast<int>(random() % 600) - 300) + 0.5f;
    default: {
      const uint32_t exponent = static_cast<uint32_t>(low + static_cast<int>(random() % (high - low + 1)));
      return FromBits(sign | (exponent << 23) | (random() & 0x7FFFFFu));
    }
  }
}

// `count` elements whose last one ends where an inaccessible page begins.
template <typename T>
class GuardedArray {
 public:
  explicit GuardedArray(size_t count) {
    const size_t page = PageSize();
    span_ = (count * sizeof(T) + page - 1) / page * page + page;
#ifdef _WIN32
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, span_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + span_ - page, page, PAGE_NOACCESS, &old);
#else
    base_ = static_cast<uint8_t*>(mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + span_ - page, page, PROT_NONE);
#endif
    data_ = reinterpret_cast<T*>(base_ + span_ - page - count * sizeof(T));
  }
  GuardedArray(const std::vector<T>& values) : GuardedArray(values.size()) {
    std::copy(values.begin(), values.end(), data_);
  }
  ~GuardedArray() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, span_);
#endif
  }
  GuardedArray(const GuardedArray&) = delete;
  GuardedArray& operator=(const GuardedArray&) = delete;
  T* data() { return data_; }

 private:
  static size_t PageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

  uint8_t* base_ = nullptr;
  size_t span_ = 0;
  T* data_ = nullptr;
};

class ResamplerKernelWidth : public AtEveryKernelWidth {};
INSTANTIATE_AT_EVERY_KERNEL_WIDTH(ResamplerKernelWidth);

TEST(ResamplerKernel, FinalValueFollowsItsDefinition) {
  // Round(y*dY + T - Y0*dY) with ties to even, low 8 bits.
  EXPECT_EQ(FinalValueExtended(2.5f, 0.0f, 0, 0), 2);
  EXPECT_EQ(FinalValueExtended(3.5f, 0.0f, 0, 0), 4);
  EXPECT_EQ(FinalValueExtended(0.5f, 0.0f, 0, 0), 0);
  EXPECT_EQ(FinalValueExtended(10.0f, 0.25f, 7, 5), 10);  // 10.5 rounds to 10
  EXPECT_EQ(FinalValueExtended(10.0f, 0.75f, 7, 5), 12);  // 11.5 rounds to 12
  EXPECT_EQ(FinalValueExtended(285.75f, 0.0f, 3, 3), 30);   // 286 modulo 256
  EXPECT_EQ(FinalValueExtended(-85.75f, 0.0f, 3, 3), 170);  // -86 modulo 256
}

TEST_P(ResamplerKernelWidth, FinalValuesEqualTheExtendedFormulaOnWildValues) {
  std::mt19937 random(7);
  std::vector<float> T, dY;
  std::vector<uint8_t> out;
  int checked = 0;
  for (int batch = 0; batch < 3000; ++batch) {
    const int count = 1 + static_cast<int>(random() % 40);
    // Rows of every size the resampler allows, with Y0 at or just below y.
    const int32_t y = static_cast<int32_t>(batch % 3 == 0 ? random() % 64 : random() % (1u << 28));
    const int64_t Y0 = std::max<int64_t>(0, y - static_cast<int64_t>(random() % 4));
    // Exponent ranges from narrow (typical pixels) to anything finite.
    const int spread = batch % 4 == 0 ? 120 : 12 + static_cast<int>(random() % 30);
    const int centre = 110 + static_cast<int>(random() % 30);
    T.resize(count);
    dY.resize(count);
    out.assign(count, 0);
    for (int i = 0; i < count; ++i) {
      T[i] = WildFloat(random, std::max(1, centre - spread / 2), std::min(254, centre + spread / 2));
      dY[i] = WildFloat(random, std::max(1, centre - spread), std::min(254, centre + spread / 2));
    }
    GuardedArray<float> guardedT(T), guardedDY(dY);
    GuardedArray<uint8_t> guardedOut(count);
    FinalValues(guardedT.data(), guardedDY.data(), y, Y0, guardedOut.data(), count);
    std::copy(guardedOut.data(), guardedOut.data() + count, out.begin());
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(out[i], FinalValueExtended(T[i], dY[i], y, Y0))
          << "T=" << T[i] << " dY=" << dY[i] << " y=" << y << " Y0=" << Y0;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}

TEST_P(ResamplerKernelWidth, FinalValuesWhereDoublePrecisionWouldRound) {
  // Long mantissas whose exponents lie 0 to 40 apart either way, so that
  // y*dY + T needs more than 53 bits somewhere near the boundary of what the
  // fast path accepts; and huge values, where v + 1.5 x 2^52 would leave the
  // integer grid. Every result must be the extended one.
  std::vector<float> T, dY;
  for (int shift = 0; shift <= 40; ++shift) {
    T.push_back(1.3333333f);
    dY.push_back(std::ldexp(1.7777777f, shift));
    T.push_back(std::ldexp(1.3333333f, shift));
    dY.push_back(1.7777777f);
    T.push_back(std::ldexp(-1.1111111f, -shift));
    dY.push_back(-123.45678f);
  }
  // Just above a tie: 0.5 + 2^-24 next to y*dY = 2^shift rounds up in
  // extended precision, but to 0 when the sum drops its lowest bit.
  for (int shift = -10; shift <= 40; ++shift) {
    T.push_back(0.5f + std::ldexp(1.0f, -24));
    dY.push_back(std::ldexp(1.0f, shift));
    T.push_back(-2.5f - std::ldexp(1.0f, -22));
    dY.push_back(std::ldexp(-3.0f, shift));
  }
  T.push_back(std::ldexp(1.0f, 51));
  dY.push_back(4194305.0f);  // 2^22 + 1
  T.push_back(-std::ldexp(1.5f, 50));
  dY.push_back(-1048577.0f);
  // Just past the largest exponents the fast path takes: with y = 2^28 - 2,
  // v = 2^51 + 2^28 - 2^23 - 1, odd, where v + 1.5 x 2^52 lies on the grid of 2.
  T.push_back(8388609.0f);  // 2^23 + 1
  dY.push_back(8388609.0f);
  std::vector<uint8_t> out(T.size());
  for (int32_t y : {1, 3, 7, 100, 99999, 1 << 26, (1 << 27) + 12345, (1 << 28) - 2}) {
    // Y0 far below y too, as for very large factors.
    for (int64_t Y0 : {int64_t{y}, int64_t{y} - 1, int64_t{y} - 2, int64_t{y} / 2, int64_t{0}}) {
      FinalValues(T.data(), dY.data(), y, Y0, out.data(), static_cast<int>(T.size()));
      for (size_t i = 0; i < T.size(); ++i)
        ASSERT_EQ(out[i], FinalValueExtended(T[i], dY[i], y, Y0))
            << "T=" << T[i] << " dY=" << dY[i] << " y=" << y << " Y0=" << Y0;
    }
  }
}

TEST_P(ResamplerKernelWidth, SlopesEqualTheExtendedFormula) {
  std::mt19937 random(11);
  static const float scales[] = {0.7f, 3.0f, 1.0f / 3, 2.0f, 0.5f, 1.0f, 1.4285715f, 1000.0f, 0.001f, 7.0f / 3};
  std::vector<float> top, bottom, dY;
  int checked = 0;
  for (int batch = 0; batch < 3000; ++batch) {
    // Values on one grid 2^g with 24-bit integers, so that every difference
    // is exact in double and a nonzero one is at least 2^g.
    const int grid = -static_cast<int>(random() % 40);
    const float scale = batch % 2 == 0 ? scales[random() % std::size(scales)]
                                       : std::ldexp(1.0f + static_cast<float>(random() % 1000) / 1000.0f,
                                                    static_cast<int>(random() % 21) - 10);
    const int count = 1 + static_cast<int>(random() % 40);
    top.resize(count);
    bottom.resize(count);
    dY.assign(count, 0.0f);
    for (int i = 0; i < count; ++i) {
      const int bits = 1 + static_cast<int>(random() % 24);
      const auto draw = [&] {
        const int32_t magnitude = static_cast<int32_t>(random() & ((1u << bits) - 1));
        return std::ldexp(static_cast<float>((random() & 1) ? magnitude : -magnitude), grid);
      };
      top[i] = draw();
      bottom[i] = random() % 8 == 0 ? top[i] : draw();
    }
    GuardedArray<float> guardedTop(top), guardedBottom(bottom), guardedDY(count);
    Slopes(guardedTop.data(), guardedBottom.data(), scale, guardedDY.data(), count);
    std::copy(guardedDY.data(), guardedDY.data() + count, dY.begin());
    for (int i = 0; i < count; ++i) {
      const float expected = SlopeExtended(bottom[i], top[i], scale);
      ASSERT_EQ(std::memcmp(&dY[i], &expected, 4) == 0 || (dY[i] == 0 && expected == 0), true)
          << "B=" << bottom[i] << " T=" << top[i] << " scale=" << scale << " got " << dY[i] << " expected "
          << expected;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}


TEST_P(ResamplerKernelWidth, SlopesWhereTheQuotientAlmostTiesBetweenTwoSingles) {
  // B - T of 48 bits whose quotient by ScaleY lies within 2^-48 of a point
  // halfway between two singles, often within the double quotient's own
  // error of it: there the double may round to the other single, so the
  // kernel must step aside. B is the difference's first 24 bits and -T the
  // rest, so that B - T is exact in double.
  std::mt19937 random(13);
  static const float scales[] = {3.0f, 0.7f, 1.0f / 3, 7.0f / 3, 1.4285715f, 0.3f, 5.0f, 1.1f};
  std::vector<float> top, bottom;
  std::vector<float> scaleOf;
  for (int i = 0; i < 6000; ++i) {
    const float scale = scales[random() % std::size(scales)];
    const int64_t halfway = (int64_t{1} << 24) | static_cast<int64_t>(random() & 0xFFFFFFu) | 1;  // odd: a midpoint
    const int exponent = static_cast<int>(random() % 20) - 30;
    // halfway x scale has at most 49 bits: exact in extended precision.
    const long double product = std::ldexp(static_cast<long double>(halfway), exponent) * scale;
    int productExponent;
    std::frexp(product, &productExponent);
    const long double unit = std::ldexp(1.0L, productExponent - 48);
    const long double difference = std::nearbyint(product / unit) * unit;  // 48 bits
    const float b = static_cast<float>(difference);
    const float t = static_cast<float>(b - difference);
    ASSERT_EQ(static_cast<long double>(b) - t, difference);
    const bool negated = random() & 1;  // -T - (-B) is the same difference
    bottom.push_back(negated ? -t : b);
    top.push_back(negated ? -b : t);
    scaleOf.push_back(scale);
  }
  // One call per scale, over the elements drawn with it.
  int mismatches = 0;
  for (float scale : scales) {
    std::vector<float> t, b;
    for (size_t i = 0; i < top.size(); ++i) {
      if (scaleOf[i] != scale) continue;
      t.push_back(top[i]);
      b.push_back(bottom[i]);
    }
    const int count = static_cast<int>(t.size());
    GuardedArray<float> guardedTop(t), guardedBottom(b), dY(count);
    Slopes(guardedTop.data(), guardedBottom.data(), scale, dY.data(), count);
    for (int i = 0; i < count; ++i) {
      const float expected = SlopeExtended(b[i], t[i], scale);
      if (std::memcmp(&dY.data()[i], &expected, 4) != 0) {
        ADD_FAILURE() << "B=" << b[i] << " T=" << t[i] << " scale=" << scale << " got " << dY.data()[i]
                      << " expected " << expected;
        if (++mismatches > 5) return;
      }
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(ResamplerKernel, EveryWidthVouchesForTheSameElementsAsSse2) {
  // The checks are made lane by lane, so every width must list exactly the
  // elements SSE2 lists, whatever lane they fall in, and give the same bytes
  // and slopes for the others: the wider registers, and one element at a
  // time as every other processor takes them.
  std::mt19937 random(17);
  ResamplerArithmetic arithmetic;
  std::vector<float> a, b, slopes[2];
  std::vector<uint8_t> bytes[2];
  std::vector<int32_t> unsure[2];
  int listed = 0;
  for (const KernelSet* wide : {&kScalarKernels, &kAvx2Kernels, &kAvx512Kernels}) {
    if (!KernelWidthSupported(wide->width)) continue;
    const KernelSet* sets[2] = {&kSse2Kernels, wide};
    for (int batch = 0; batch < 3000; ++batch) {
      const int count = 1 + static_cast<int>(random() % 70);
      const int spread = 12 + static_cast<int>(random() % 40), centre = 110 + static_cast<int>(random() % 30);
      const int sumBits = 1 + static_cast<int>(random() % 28);
      const double weight = static_cast<double>(random() % (1u << (sumBits - 1)));
      a.resize(count);
      b.resize(count);
      for (int i = 0; i < count; ++i) {
        a[i] = WildFloat(random, centre - spread / 2, centre + spread / 2);
        b[i] = WildFloat(random, centre - spread, centre + spread / 2);
      }
      int found[2][2];
      for (int k = 0; k < 2; ++k) {
        bytes[k].assign(count, 0);
        slopes[k].assign(count, 0.0f);
        unsure[k].assign(2 * count, -1);
        found[k][0] = sets[k]->finals(a.data(), b.data(), weight, sumBits, bytes[k].data(), count, unsure[k].data());
        found[k][1] = sets[k]->slopes(a.data(), b.data(), 1.0 / 0.7, slopes[k].data(), count, unsure[k].data() + count);
      }
      SCOPED_TRACE(testing::Message() << KernelWidthName(wide->width) << " batch " << batch << " count " << count);
      ASSERT_EQ(found[0][0], found[1][0]);
      ASSERT_EQ(found[0][1], found[1][1]);
      ASSERT_EQ(unsure[0], unsure[1]);
      std::vector<bool> vouched(count, true);
      for (int j = 0; j < found[0][0]; ++j) vouched[unsure[0][j]] = false;
      for (int i = 0; i < count; ++i)
        if (vouched[i]) ASSERT_EQ(bytes[0][i], bytes[1][i]) << "final " << i;
      std::fill(vouched.begin(), vouched.end(), true);
      for (int j = 0; j < found[0][1]; ++j) vouched[unsure[0][count + j]] = false;
      for (int i = 0; i < count; ++i)
        if (vouched[i]) ASSERT_EQ(std::memcmp(&slopes[0][i], &slopes[1][i], 4), 0) << "slope " << i;
      listed += found[0][0] + found[0][1];
    }
  }
  EXPECT_GT(listed, 1000);  // the checks did step in
}
#endif

TEST(ResamplerKernel, RowValuesEqualTheExtendedFormula) {
  // T = single(x*dT + P00 - X0*dT) for every output column of a range, from
  // rows of 3- and 4-byte pixels read from an origin, as the resampler reads
  // rows in place, copied, and from the copy of a row's last pixel; nothing
  // is read beyond the last sample or written outside the range.
  std::mt19937 random(29);
  static const float scales[] = {2.0f, 3.0f, 1.5f, 0.7f, 0.25f, 1.0f / 3, 10.0f / 7, 2.5f, 17.3f, 0.051f, 1.0f};
  int checked = 0;
  for (int round = 0; round < 400; ++round) {
    const float scale = round % 3 == 0 ? 0.05f + 6.0f * static_cast<float>(random() % 1000) / 1000.0f
                                       : scales[random() % std::size(scales)];
    const int32_t sourceWidth = 1 + static_cast<int32_t>(random() % (round % 4 == 0 ? 200 : 40));
    ResamplerArithmetic arithmetic;
    ResizePlan plan = PlanSizes(sourceWidth, 1, scale, 1.0f, true);
    MakeTables(plan, 1 << 20);
    if (plan.width == 0) continue;
    ASSERT_TRUE(plan.allSlopesExact);
    const int32_t first = round % 2 == 0 ? 0 : static_cast<int32_t>(random() % plan.width);
    const int32_t end = round % 3 == 0 ? plan.width : first + 1 + static_cast<int32_t>(random() % (plan.width - first));
    const size_t step = 3 + random() % 2;
    // The samples start at column `origin` and end with the third byte of
    // the last pixel the range reads, the white one after the row included.
    const int32_t origin = static_cast<int32_t>(random() % (plan.column[first] + 1));
    const size_t pixels = static_cast<size_t>(plan.column[end - 1] + 2 - origin);
    std::vector<uint8_t> row(pixels * step - (step - 3));
    for (uint8_t& byte : row) byte = random() % 4 == 0 ? 255 : static_cast<uint8_t>(random());
    GuardedArray<uint8_t> samples(row);
    const size_t values = 3 * static_cast<size_t>(plan.width);
    GuardedArray<float> out(values);
    std::fill(out.data(), out.data() + values, -1.0f);
    EXPECT_EQ(RowValues(plan, samples.data(), step, origin, first, end, out.data()), 0u);
    for (int32_t x = 0; x < plan.width; ++x) {
      for (int c = 0; c < kChannels; ++c) {
        const float value = out.data()[3 * x + c];
        if (x < first || x >= end) {
          ASSERT_EQ(value, -1.0f) << "column " << x << " outside " << first << ".." << end;
          continue;
        }
        const uint8_t* left = &row[static_cast<size_t>(plan.column[x] - origin) * step];
        const float expected = ExtendedRowValue(x, plan.anchor[x], left[c], plan.slope[left[step + c] - left[c] + 255]);
        ASSERT_EQ(std::memcmp(&value, &expected, 4), 0)
            << "x=" << x << " c=" << c << " scale=" << scale << " width " << sourceWidth << " -> " << plan.width
            << " columns " << first << ".." << end << " step " << step << ": " << value << " expected " << expected;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 20000);
}

TEST_P(ResamplerKernelWidth, PackedPixelsAreBlueGreenRedAndZero) {
  std::mt19937 random(31);
  for (int32_t width = 0; width <= 70; ++width) {
    std::vector<uint8_t> channels(3 * static_cast<size_t>(width) + 1);
    for (uint8_t& byte : channels) byte = static_cast<uint8_t>(random() | 1);
    GuardedArray<uint8_t> from(channels), to(4 * static_cast<size_t>(width));
    std::fill(to.data(), to.data() + 4 * width, uint8_t{0xEE});
    PackPixels(from.data(), width, to.data());
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(to.data()[4 * x + c], channels[3 * x + c]) << "width " << width << " x " << x;
      ASSERT_EQ(to.data()[4 * x + 3], 0) << "width " << width << " x " << x;
    }
  }
}

TEST(ResamplerKernel, EveryWidthTheProcessorHasCanBeSelected) {
  const KernelWidth previous = ActiveKernelWidth();
  ASSERT_TRUE(KernelWidthSupported(KernelWidth::Scalar));
#if defined(__x86_64__) || defined(__i386__)
  ASSERT_TRUE(KernelWidthSupported(KernelWidth::Sse2));
#else
  EXPECT_FALSE(KernelWidthSupported(KernelWidth::Sse2));
  EXPECT_EQ(ActiveKernelWidth(), KernelWidth::Scalar);
#endif
  for (KernelWidth width : {KernelWidth::Scalar, KernelWidth::Sse2, KernelWidth::Avx2, KernelWidth::Avx512}) {
    const bool supported = KernelWidthSupported(width);
    EXPECT_EQ(SelectKernelWidth(width), supported) << KernelWidthName(width);
    if (supported) EXPECT_EQ(ActiveKernelWidth(), width);
  }
  // A narrower width is always there when a wider one is.
  EXPECT_TRUE(!KernelWidthSupported(KernelWidth::Avx512) || KernelWidthSupported(KernelWidth::Avx2));
  EXPECT_TRUE(!KernelWidthSupported(KernelWidth::Avx2) || KernelWidthSupported(KernelWidth::Sse2));
  SelectKernelWidth(previous);
}

}  // namespace
}  // namespace sw
