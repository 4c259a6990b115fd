#include "app/ScaleFactor.h"

#include "core/Messages.h"
#include "image/resize/X87.h"

namespace sw {

double ScaleFactor(int32_t newSize, int32_t oldSize) {
  if (oldSize == 0) throw newSize == 0 ? msg::InvalidOperation() : msg::DivisionByZero();
  X87ExtendedPrecision precision;
  return static_cast<double>(static_cast<long double>(newSize) / static_cast<long double>(oldSize));
}

}  // namespace sw
