#pragma once
// The new size a run is asked for, from the texts of the size fields.

#include <cstdint>
#include <optional>
#include <string>

namespace sw {

struct PictureSize {
  int32_t width = 0;
  int32_t height = 0;
};

// The new height, then the new width, each parsed from its text by the size
// fields' integer rules (the height's text first, so that with both invalid
// the height's is the one reported). A side without a text keeps the aspect
// ratio of `old` from the other: Round(old side x new / old other side) in
// double precision, ties to even; a zero old side is refused as the scale
// factor refuses it, a size outside the 32-bit range as a destination that
// can't be made. At least one text is given.
PictureSize ParseNewSize(const std::optional<std::string>& widthText, const std::optional<std::string>& heightText,
                         PictureSize old);

}  // namespace sw
