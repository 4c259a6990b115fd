#pragma once
// The run's scale factor: new size over old size.

#include <cstdint>

namespace sw {

// Divided in extended precision and kept as a double, as the run forms
// ScaleX and ScaleY. A zero old size is refused as the floating-point unit
// refuses it: "Invalid floating point operation" for 0 / 0, "Floating point
// division by zero" otherwise.
double ScaleFactor(int32_t newSize, int32_t oldSize);

}  // namespace sw
