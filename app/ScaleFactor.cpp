#include "app/ScaleFactor.h"

#include "core/Messages.h"
#include "image/resize/ExtendedSteps.h"

namespace sw {

double ScaleFactor(int32_t newSize, int32_t oldSize) {
  if (oldSize == 0) throw newSize == 0 ? msg::InvalidOperation() : msg::DivisionByZero();
  return ExtendedQuotient(newSize, oldSize);
}

}  // namespace sw
