#pragma once
// Which extended-precision path a process takes: one choice per process,
// made once: the x87 unit where the CPU has one and a start-up check finds
// it faithful, the software path (SoftExtended.h) otherwise.
//
// The check computes the resampler's formulas, written out again here in
// the order ExtendedSteps.cpp evaluates them (what it tests is the unit, not
// the formulas), on a handful of arguments (beyond what pictures reach where
// that takes it) whose results with 64-bit significands differ from those
// of 53-bit arithmetic (an x87 unit left at precision control 53, as Windows
// sets it and as NT's old emulator computed) and from those of binary128
// (`long double` on aarch64), and compares them with constants, which the
// software path computes too. tests/engine/X87CheckTest.cpp holds all three
// claims.
//
// Usage: ChosenExtendedPath() where the resampler picks its path. The
// environment variable STRETCHWELL_EXTENDED=software, set before the first
// call, forces the software path (to run the tests or the program on it on
// an x86 machine); any other value leaves the choice to the check.

#include <cstdint>

namespace sw {

enum class ExtendedPath { X87, Software };

// The check's results, each from one formula.
struct X87CheckResults {
  double scaleFactor;  // double(NewSize / OldSize), as the run's scale factor
  float rowValue;      // single(x*dT + P00 - X0*dT)
  int64_t finalValue;  // Round(y*dY + T - Y0*dY)
  int64_t cell;        // Trunc(position / scale)
};

// The constants: what the x87 unit gives at 64-bit precision, rounding to
// nearest.
X87CheckResults ExpectedCheckResults();

// The same formulas on the software path.
X87CheckResults SoftwareCheckResults();

// Bit for bit.
bool SameCheckResults(const X87CheckResults& a, const X87CheckResults& b);

// Whether this build's `long double` is the x87 format, so that the unit can
// be used at all.
bool HasX87LongDouble();

// Whether the x87 unit, under the resampler's arithmetic (X87.h), gives the
// constants; false where there is no x87 unit.
bool X87UnitIsFaithful();

// The path for a check's verdict and the environment variable's value (null
// when unset).
ExtendedPath ChooseExtendedPath(bool x87Faithful, const char* forced);

// The process's path: the check and the variable, read at the first call;
// thread-safe.
ExtendedPath ChosenExtendedPath();

namespace x87_check_internals {
// The check on the x87 unit under `controlWord` instead of the resampler's
// (MXCSR as the resampler sets it); all zero where there is no x87 unit.
X87CheckResults X87CheckResultsUnder(uint16_t controlWord);
// The x87 control word the resampler's arithmetic sets from this thread's.
uint16_t ResamplerControlWord();
}  // namespace x87_check_internals

}  // namespace sw
