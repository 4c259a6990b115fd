#include "image/picture/PixelFormat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace sw {
namespace {

uint32_t ChannelBits(uint32_t pixel, uint32_t shift, int width) {
  const uint32_t value = pixel >> shift;
  return width >= 32 ? value : value & ((1u << width) - 1);
}

// Repeats `value` (of `from` bits) from the top to fill `to` bits.
uint32_t Replicate(uint32_t value, int from, int to) {
  uint32_t result = 0;
  for (int filled = 0; filled < to; filled += from) {
    const int shift = to - filled - from;
    result |= shift >= 0 ? value << shift : value >> -shift;
  }
  return to >= 32 ? result : result & ((1u << to) - 1);
}

uint8_t NearestIndex(const std::vector<PaletteEntry>& table, ColorValue color) {
  const int red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
  size_t best = 0;
  long bestDistance = -1;
  for (size_t i = 0; i < table.size(); ++i) {
    const long dr = table[i].rgbRed - red, dg = table[i].rgbGreen - green, db = table[i].rgbBlue - blue;
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return static_cast<uint8_t>(best);
}

ColorValue PaletteColor(const std::vector<PaletteEntry>& table, unsigned index) {
  if (index >= table.size()) return 0;
  const PaletteEntry& e = table[index];
  return e.rgbRed | (e.rgbGreen << 8) | (static_cast<uint32_t>(e.rgbBlue) << 16);
}

ColorValue FromBgr(const uint8_t* p) { return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16); }

void ToBgr(ColorValue color, uint8_t* p) {
  p[0] = static_cast<uint8_t>(color >> 16);
  p[1] = static_cast<uint8_t>(color >> 8);
  p[2] = static_cast<uint8_t>(color);
}

unsigned IndexAt(const uint8_t* row, int32_t x, int bits) {
  const size_t bitOffset = static_cast<size_t>(x) * bits;
  return (row[bitOffset / 8] >> (8 - bits - bitOffset % 8)) & ((1u << bits) - 1);
}

void SetIndexAt(uint8_t* row, int32_t x, int bits, unsigned index) {
  const size_t bitOffset = static_cast<size_t>(x) * bits;
  const int shift = 8 - bits - static_cast<int>(bitOffset % 8);
  const unsigned mask = ((1u << bits) - 1) << shift;
  uint8_t& byte = row[bitOffset / 8];
  byte = static_cast<uint8_t>((byte & ~mask) | ((index << shift) & mask));
}

uint32_t Load16(const uint8_t* p) { return p[0] | (p[1] << 8); }

void Store16(uint32_t value, uint8_t* p) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

PixelFormat::PixelFormat(int bitsPerPixel, uint32_t compression, const uint32_t masks[3]) : bits_(bitsPerPixel) {
  if (compression == kBiBitfields) {
    std::copy(masks, masks + 3, masks_);
  } else if (bitsPerPixel == 16) {
    masks_[0] = 0x7C00;
    masks_[1] = 0x03E0;
    masks_[2] = 0x001F;
  } else {
    masks_[0] = 0x00FF0000;
    masks_[1] = 0x0000FF00;
    masks_[2] = 0x000000FF;
  }
  for (int i = 0; i < 3; ++i) channels_[i] = ChannelOf(masks_[i]);
  if (bitsPerPixel <= 8) {
    layout_ = Layout::Indexed;
  } else if (bitsPerPixel == 24) {
    layout_ = Layout::Bgr24;
  } else if (bitsPerPixel == 16) {
    layout_ = Layout::Masked16;
  } else {
    layout_ = compression == kBiRgb ? Layout::Bgrx32 : Layout::Masked32;
  }
}

PixelFormat::Channel PixelFormat::ChannelOf(uint32_t mask) {
  Channel channel;
  channel.mask = mask;
  if (mask == 0) return channel;
  while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
  while (channel.shift + channel.width < 32 && ((mask >> (channel.shift + channel.width)) & 1u) != 0)
    ++channel.width;
  return channel;
}

// A channel of fewer than 8 bits is widened by repeating its bits from the
// top, so the largest value becomes 255 and 0 stays 0, as the platform's
// pixel read does; a wider channel gives its top 8 bits.
ColorValue PixelFormat::Widen(uint32_t pixel) const {
  ColorValue color = 0;
  for (int i = 0; i < 3; ++i) {
    const Channel& channel = channels_[i];
    if (channel.width == 0) continue;
    const uint32_t value = ChannelBits(pixel, static_cast<uint32_t>(channel.shift), channel.width);
    const uint32_t wide = channel.width >= 8 ? value >> (channel.width - 8) : Replicate(value, channel.width, 8);
    color |= wide << (8 * i);
  }
  return color;
}

// The channel values whose widened forms are nearest to the colour's, so
// that every colour the format can hold reads back exactly as written.
uint32_t PixelFormat::Narrow(ColorValue color) const {
  uint32_t pixel = 0;
  for (int i = 0; i < 3; ++i) {
    const Channel& channel = channels_[i];
    if (channel.width == 0) continue;
    const uint32_t value8 = (color >> (8 * i)) & 0xFF;
    uint32_t value;
    if (channel.width >= 8) {
      value = Replicate(value8, 8, channel.width);
    } else {
      const int top = (1 << channel.width) - 1;
      const int guess = static_cast<int>(value8 >> (8 - channel.width));
      value = static_cast<uint32_t>(guess);
      int bestDistance = 256;
      for (int candidate = std::max(guess - 1, 0); candidate <= std::min(guess + 1, top); ++candidate) {
        const int distance = std::abs(static_cast<int>(Replicate(static_cast<uint32_t>(candidate), channel.width, 8)) -
                                      static_cast<int>(value8));
        if (distance < bestDistance) {
          bestDistance = distance;
          value = static_cast<uint32_t>(candidate);
        }
      }
    }
    pixel |= (value << channel.shift) & channel.mask;
  }
  return pixel;
}

void PixelFormat::Decode(const uint8_t* row, int32_t first, int32_t count, const std::vector<PaletteEntry>& palette,
                         ColorValue* colors) const {
  const int32_t end = first + count;
  switch (layout_) {
    case Layout::Indexed:
      for (int32_t x = first; x < end; ++x) *colors++ = PaletteColor(palette, IndexAt(row, x, bits_));
      return;
    case Layout::Bgr24:
      for (int32_t x = first; x < end; ++x) *colors++ = FromBgr(row + 3 * static_cast<size_t>(x));
      return;
    case Layout::Bgrx32:
      for (int32_t x = first; x < end; ++x) *colors++ = FromBgr(row + 4 * static_cast<size_t>(x));
      return;
    case Layout::Masked16:
      for (int32_t x = first; x < end; ++x) *colors++ = Widen(Load16(row + 2 * static_cast<size_t>(x)));
      return;
    case Layout::Masked32:
      for (int32_t x = first; x < end; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * static_cast<size_t>(x), 4);
        *colors++ = Widen(pixel);
      }
      return;
  }
}

void PixelFormat::Encode(const ColorValue* colors, int32_t first, int32_t count,
                         const std::vector<PaletteEntry>& palette, uint8_t* row) const {
  const int32_t end = first + count;
  switch (layout_) {
    case Layout::Indexed:
      for (int32_t x = first; x < end; ++x) SetIndexAt(row, x, bits_, NearestIndex(palette, *colors++));
      return;
    case Layout::Bgr24:
      for (int32_t x = first; x < end; ++x) ToBgr(*colors++, row + 3 * static_cast<size_t>(x));
      return;
    case Layout::Bgrx32:
      for (int32_t x = first; x < end; ++x) {
        uint8_t* p = row + 4 * static_cast<size_t>(x);
        ToBgr(*colors++, p);
        p[3] = 0;  // the unused byte stays 0
      }
      return;
    case Layout::Masked16:
      for (int32_t x = first; x < end; ++x) Store16(Narrow(*colors++), row + 2 * static_cast<size_t>(x));
      return;
    case Layout::Masked32:
      for (int32_t x = first; x < end; ++x) {
        const uint32_t pixel = Narrow(*colors++);
        std::memcpy(row + 4 * static_cast<size_t>(x), &pixel, 4);
      }
      return;
  }
}

void PixelFormat::Copy(const uint8_t* from, int32_t count, uint8_t* to) const {
  if (bits_ >= 8) {
    std::memcpy(to, from, static_cast<size_t>(count) * static_cast<size_t>(bits_ / 8));
    return;
  }
  for (int32_t x = 0; x < count; ++x) SetIndexAt(to, x, bits_, IndexAt(from, x, bits_));
}

}  // namespace sw
