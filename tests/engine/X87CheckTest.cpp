// The start-up check of the x87 unit: its constants are what the software
// path computes, this machine's unit gives them under the resampler's
// arithmetic, and each of its values tells 64-bit precision from 53-bit (a
// unit left at Windows' default) and from binary128.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/resize/ExtendedSteps.h"
#include "image/resize/X87Check.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#include "image/resize/X87.h"
#define STRETCHWELL_TEST_X87 1
#endif

namespace sw {
namespace {

template <typename T>
bool SameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectEveryValueDiffers(const X87CheckResults& r) {
  const X87CheckResults expected = ExpectedCheckResults();
  EXPECT_FALSE(SameBits(r.scaleFactor, expected.scaleFactor)) << r.scaleFactor;
  EXPECT_FALSE(SameBits(r.rowValue, expected.rowValue)) << r.rowValue;
  EXPECT_NE(r.finalValue, expected.finalValue);
  EXPECT_NE(r.cell, expected.cell);
}

TEST(X87Check, TheConstantsAreWhatTheSoftwarePathComputes) {
  EXPECT_TRUE(SameCheckResults(SoftwareCheckResults(), ExpectedCheckResults()));
}

#ifdef STRETCHWELL_TEST_X87
TEST(X87Check, ThisMachinesUnitIsFaithfulUnderTheResamplersArithmetic) {
  ASSERT_TRUE(HasX87LongDouble());
  const X87CheckResults unit = x87_check_internals::X87CheckResultsUnder(x87_check_internals::ResamplerControlWord());
  const X87CheckResults expected = ExpectedCheckResults();
  EXPECT_TRUE(SameBits(unit.scaleFactor, expected.scaleFactor)) << unit.scaleFactor;
  EXPECT_TRUE(SameBits(unit.rowValue, expected.rowValue)) << unit.rowValue;
  EXPECT_EQ(unit.finalValue, expected.finalValue);
  EXPECT_EQ(unit.cell, expected.cell);
  EXPECT_TRUE(X87UnitIsFaithful());
}

TEST(X87Check, AUnitAt53BitPrecisionIsFoundUnfaithfulInEveryValue) {
  const uint16_t word = static_cast<uint16_t>((x87_check_internals::ResamplerControlWord() & ~kX87PrecisionMask) |
                                              kX87Precision53);
  ExpectEveryValueDiffers(x87_check_internals::X87CheckResultsUnder(word));
  // The caller's own word, whatever the check ran under, is left as it was.
  const uint16_t before = X87ControlWord();
  x87_check_internals::X87CheckResultsUnder(word);
  EXPECT_EQ(X87ControlWord(), before);
}
#else
TEST(X87Check, WithoutAnX87UnitTheSoftwarePathIsTaken) {
  EXPECT_FALSE(HasX87LongDouble());
  EXPECT_FALSE(X87UnitIsFaithful());
  EXPECT_EQ(ChosenExtendedPath(), ExtendedPath::Software);
  EXPECT_FALSE(UsesX87Unit());
  EXPECT_STREQ(ExtendedPathName(), "software");
}
#endif

#if defined(__SIZEOF_FLOAT128__)
// Round to nearest, ties to even, of a positive binary128 value.
int64_t RoundPositive(__float128 v) {
  int64_t n = static_cast<int64_t>(v);
  const __float128 fraction = v - n, half = 0.5;
  if (fraction > half || (fraction == half && (n & 1) != 0)) ++n;
  return n;
}

TEST(X87Check, Binary128ArithmeticGivesOtherResultsInEveryValue) {
  using Q = __float128;
  // The check's formulas and arguments (X87Check.cpp) in binary128.
  volatile int64_t x = 1311517071467912, x0 = 1311517071467882, y = 33030537729640108, y0 = 33030537729640089,
                   position = 72056519189939131;
  volatile float dT = 0x1.fa430cp-2f, dY = 1294.467529296875f, top = 0x1.5376p-4f, scale = 0x1.69e1dcp-6f;
  X87CheckResults r;
  r.scaleFactor = static_cast<double>(static_cast<Q>(1312) / static_cast<Q>(2067));
  r.rowValue = static_cast<float>(static_cast<Q>(x) * dT + 53 - static_cast<Q>(x0) * dT);
  r.finalValue = RoundPositive(static_cast<Q>(y) * dY + top - static_cast<Q>(y0) * dY);
  r.cell = static_cast<int64_t>(static_cast<Q>(position) / scale);
  ExpectEveryValueDiffers(r);
}
#endif

TEST(X87Check, TheCheckChoosesThePathUnlessTheSoftwarePathIsForced) {
  EXPECT_EQ(ChooseExtendedPath(true, nullptr), ExtendedPath::X87);
  EXPECT_EQ(ChooseExtendedPath(false, nullptr), ExtendedPath::Software);
  EXPECT_EQ(ChooseExtendedPath(true, "software"), ExtendedPath::Software);
  EXPECT_EQ(ChooseExtendedPath(false, "x87"), ExtendedPath::Software);
  EXPECT_EQ(ChooseExtendedPath(true, ""), ExtendedPath::X87);
  // The process's choice is this machine's verdict and environment.
  EXPECT_EQ(ChosenExtendedPath(), ChooseExtendedPath(X87UnitIsFaithful(), std::getenv("STRETCHWELL_EXTENDED")));
}

}  // namespace
}  // namespace sw
