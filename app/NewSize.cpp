#include "app/NewSize.h"

#include <cmath>

#include "app/IntegerText.h"
#include "core/Messages.h"

namespace sw {
namespace {

int32_t KeptAspect(int32_t oldSide, int32_t newOther, int32_t oldOther) {
  if (oldOther == 0) throw newOther == 0 ? msg::InvalidOperation() : msg::DivisionByZero();
  const double size = std::nearbyint(static_cast<double>(oldSide) * newOther / oldOther);
  if (!(size >= INT32_MIN && size <= INT32_MAX)) throw msg::Resource();
  return static_cast<int32_t>(size);
}

}  // namespace

PictureSize ParseNewSize(const std::optional<std::string>& widthText, const std::optional<std::string>& heightText,
                         PictureSize old) {
  PictureSize size;
  if (heightText) {
    size.height = ParseInteger(*heightText);
    size.width = widthText ? ParseInteger(*widthText) : KeptAspect(old.width, size.height, old.height);
  } else {
    size.width = ParseInteger(*widthText);
    size.height = KeptAspect(old.height, size.width, old.width);
  }
  return size;
}

}  // namespace sw
