#pragma once
// How colour values lie in a stored row, one codec per pixel format: palette
// indices of 1, 4 or 8 bits; blue, green, red at 24 bits; blue, green, red
// and an unused byte at 32 bits; 16 or 32 bits through channel masks. Every
// pixel read and write of the working image, one at a time or a row at a
// time, goes through here.

#include <cstdint>
#include <vector>

#include "image/picture/DibHeader.h"

namespace sw {

// Red in bits 0-7, green 8-15, blue 16-23; bits 24-31 zero.
using ColorValue = uint32_t;

struct PaletteEntry {  // RGBQUAD
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};
static_assert(sizeof(PaletteEntry) == 4, "RGBQUAD is 4 bytes");

class PixelFormat {
 public:
  // A depth of 1, 4, 8, 16, 24 or 32 bits; the masks count with BI_BITFIELDS
  // only (16 bits otherwise is 5-5-5, 32 bits blue-green-red).
  PixelFormat(int bitsPerPixel, uint32_t compression, const uint32_t masks[3]);

  int BitsPerPixel() const { return bits_; }
  // Red, green and blue masks as they apply (the defaults without BI_BITFIELDS).
  const uint32_t* Masks() const { return masks_; }

  // Pixels first .. first + count - 1 of a stored row into colours[0 ..
  // count - 1]. Palette pixels give their entry (an index past the table
  // gives black); a masked channel of fewer than 8 bits is widened by
  // repeating its bits from the top (5-bit abcde reads as abcdeabc), a wider
  // one gives its top 8 bits.
  void Decode(const uint8_t* row, int32_t first, int32_t count, const std::vector<PaletteEntry>& palette,
              ColorValue* colors) const;
  // The reverse: each colour stored as the nearest the format holds (the
  // nearest palette entry; the channel value whose widened form is nearest).
  // Bits of the row outside the pixels written are kept.
  void Encode(const ColorValue* colors, int32_t first, int32_t count, const std::vector<PaletteEntry>& palette,
              uint8_t* row) const;
  // Pixels 0 .. count - 1 of one stored row into another of the same format,
  // stored values as they are.
  void Copy(const uint8_t* from, int32_t count, uint8_t* to) const;

 private:
  enum class Layout { Indexed, Bgr24, Bgrx32, Masked16, Masked32 };
  struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;  // the run of set bits from `shift` up; bits of the mask above it are ignored
  };
  static Channel ChannelOf(uint32_t mask);
  ColorValue Widen(uint32_t pixel) const;
  uint32_t Narrow(ColorValue color) const;

  int bits_;
  Layout layout_;
  uint32_t masks_[3] = {0, 0, 0};
  Channel channels_[3];  // red, green, blue
};

}  // namespace sw
