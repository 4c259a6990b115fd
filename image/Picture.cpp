#include "image/Picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/Messages.h"

namespace sw {
namespace {

// Display-compatible pictures are 32 bits per pixel (blue, green, red and one
// unused byte) on every platform, whatever the depth of the screen: the
// program does not follow the display's depth, so every colour the resampler
// writes is kept exactly, and every written BMP file is the 32-bit kind.
constexpr int kDisplayBitsPerPixel = 32;

// Windows' classic ("Windows Standard") scheme, indexed by COLOR_* number.
constexpr ColorValue kClassicSystemColors[] = {
    0xC0C0C0,  // COLOR_SCROLLBAR
    0x808000,  // COLOR_BACKGROUND
    0x800000,  // COLOR_ACTIVECAPTION
    0x808080,  // COLOR_INACTIVECAPTION
    0xC0C0C0,  // COLOR_MENU
    0xFFFFFF,  // COLOR_WINDOW
    0x000000,  // COLOR_WINDOWFRAME
    0x000000,  // COLOR_MENUTEXT
    0x000000,  // COLOR_WINDOWTEXT
    0xFFFFFF,  // COLOR_CAPTIONTEXT
    0xC0C0C0,  // COLOR_ACTIVEBORDER
    0xC0C0C0,  // COLOR_INACTIVEBORDER
    0x808080,  // COLOR_APPWORKSPACE
    0x800000,  // COLOR_HIGHLIGHT
    0xFFFFFF,  // COLOR_HIGHLIGHTTEXT
    0xC0C0C0,  // COLOR_BTNFACE
    0x808080,  // COLOR_BTNSHADOW
    0x808080,  // COLOR_GRAYTEXT
    0x000000,  // COLOR_BTNTEXT
    0xC0C0C0,  // COLOR_INACTIVECAPTIONTEXT
    0xFFFFFF,  // COLOR_BTNHIGHLIGHT
    0x000000,  // COLOR_3DDKSHADOW
    0xC0C0C0,  // COLOR_3DLIGHT
    0x000000,  // COLOR_INFOTEXT
    0xE1FFFF,  // COLOR_INFOBK
    0x000000,  // (unused index 25)
    0x800000,  // COLOR_HOTLIGHT
    0xD08410,  // COLOR_GRADIENTACTIVECAPTION
    0xB5B5B5,  // COLOR_GRADIENTINACTIVECAPTION
    0x800000,  // COLOR_MENUHILIGHT
    0xC0C0C0,  // COLOR_MENUBAR
};

bool IsValidDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

struct Channel {
  uint32_t mask;
  int shift;
  int width;  // the run of set bits from `shift` up; bits of the mask above it are ignored
};

Channel ChannelOf(uint32_t mask) {
  Channel channel{mask, 0, 0};
  if (mask == 0) return channel;
  while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
  while (channel.shift + channel.width < 32 && ((mask >> (channel.shift + channel.width)) & 1u) != 0)
    ++channel.width;
  return channel;
}

uint32_t ChannelBits(uint32_t pixel, const Channel& channel) {
  const uint32_t value = pixel >> channel.shift;
  return channel.width >= 32 ? value : value & ((1u << channel.width) - 1);
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

// A channel of fewer than 8 bits is widened by repeating its bits from the
// top (5 bits abcde become abcdeabc, 6 bits abcdef become abcdefab), so the
// largest value becomes 255 and 0 stays 0, as the platform's pixel read does;
// a wider channel gives its top 8 bits.
uint32_t WidenChannel(uint32_t pixel, const Channel& channel) {
  if (channel.width == 0) return 0;
  const uint32_t value = ChannelBits(pixel, channel);
  if (channel.width >= 8) return value >> (channel.width - 8);
  return Replicate(value, channel.width, 8);
}

// The channel value whose widened form is nearest to `value8`, so that every
// colour the format can hold reads back exactly as written.
uint32_t NarrowChannel(uint32_t value8, const Channel& channel) {
  if (channel.width == 0) return 0;
  uint32_t value;
  if (channel.width >= 8) {
    value = Replicate(value8, 8, channel.width);
  } else {
    const int width = channel.width;
    const int top = (1 << width) - 1;
    const int guess = static_cast<int>(value8 >> (8 - width));
    value = static_cast<uint32_t>(guess);
    int bestDistance = 256;
    for (int candidate = std::max(guess - 1, 0); candidate <= std::min(guess + 1, top); ++candidate) {
      const int distance = std::abs(static_cast<int>(Replicate(candidate, width, 8)) - static_cast<int>(value8));
      if (distance < bestDistance) {
        bestDistance = distance;
        value = static_cast<uint32_t>(candidate);
      }
    }
  }
  return (value << channel.shift) & channel.mask;
}

void EffectiveMasks(int bits, uint32_t compression, const uint32_t* given, uint32_t* masks) {
  if (compression == kBiBitfields) {
    std::copy(given, given + 3, masks);
  } else if (bits == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else {
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
  }
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
  // An index past the colour table reads as black.
  if (index >= table.size()) return 0;
  const PaletteEntry& e = table[index];
  return e.rgbRed | (e.rgbGreen << 8) | (static_cast<uint32_t>(e.rgbBlue) << 16);
}

ColorValue FromBgr(const uint8_t* p) { return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16); }

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


template <typename Bytes>
void AllocatePixels(Bytes& bits, uint64_t bytes, bool zeroed) {
  // The size was checked against kMaxPixelStoreBytes before; the platform
  // may still refuse it.
  try {
    bits.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    throw msg::Resource();
  } catch (const std::length_error&) {
    throw msg::Resource();
  }
  if (zeroed && bytes > 0) std::memset(bits.data(), 0, static_cast<size_t>(bytes));
}

}  // namespace

uint64_t RowStride(int64_t width, int bitsPerPixel) {
  return ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel) + 31) & ~uint64_t{31}) / 8;
}

uint64_t PixelStoreBytes(int64_t width, int64_t height, int bitsPerPixel) {
  // Checked before anything is allocated; the 64-bit products can't overflow
  // for 32-bit sizes and depths of at most 32 bits.
  if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return 0;
  const uint64_t bytes = RowStride(width, bitsPerPixel) * static_cast<uint64_t>(height);
  return bytes > kMaxPixelStoreBytes ? 0 : bytes;
}

ColorValue DefaultSystemColor(uint32_t index) {
  return index < std::size(kClassicSystemColors) ? kClassicSystemColors[index] : 0;
}

Picture::Picture() : store_(std::make_shared<Store>()) {
  store_->bitsPerPixel = kDisplayBitsPerPixel;
  RefreshDescription(*store_);
}

Picture Picture::CreateDib(const DibLayout& layout) {
  const BitmapInfoHeader& header = layout.header;
  const int bits = header.biBitCount;
  const bool bitfieldsOk = header.biCompression == kBiBitfields && (bits == 16 || bits == 32);
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN || !IsValidDepth(bits) ||
      (header.biCompression != kBiRgb && !bitfieldsOk) || layout.colorTable.size() > 256)
    throw msg::InvalidBitmap();
  const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const uint64_t bytes = PixelStoreBytes(header.biWidth, height, bits);
  if (bytes == 0) throw msg::Resource();

  Picture picture;
  auto store = std::make_shared<Store>();
  store->displayCompatible = false;
  store->bitsPerPixel = bits;
  store->topDown = header.biHeight < 0;
  store->compression = header.biCompression;
  EffectiveMasks(bits, header.biCompression, layout.masks, store->masks);
  store->stride = static_cast<size_t>(RowStride(header.biWidth, bits));
  AllocatePixels(store->bits, bytes, true);
  if (bits <= 8) store->colorTable = layout.colorTable;
  PictureDescription& description = store->description;
  description.dsBmih = header;
  description.dsBmih.biSize = 40;
  description.dsBmih.biPlanes = 1;
  std::copy(layout.masks, layout.masks + 3, description.dsBitfields);
  picture.width_ = header.biWidth;
  picture.height_ = height;
  picture.store_ = std::move(store);
  picture.RefreshDescription(*picture.store_);
  return picture;
}

Picture Picture::CreateDisplayCompatible(int32_t width, int32_t height) {
  Picture picture;
  picture.SetWidth(width);
  picture.SetHeight(height);
  return picture;
}

Picture Picture::CreateDisplayCompatibleForOverwrite(int32_t width, int32_t height) {
  Picture picture;
  picture.Resize(width, height, false);
  return picture;
}

void Picture::SetWidth(int32_t width) {
  if (width != width_) Resize(width, height_, true);
}

void Picture::SetHeight(int32_t height) {
  if (height != height_) Resize(width_, height, true);
}

void Picture::Resize(int32_t width, int32_t height, bool fill) {
  // Everything that can fail comes before the picture is touched, so a size
  // that can't be made leaves it as it was.
  if (width < 0 || height < 0) throw msg::Resource();
  const Store& old = *store_;
  uint64_t bytes = 0;
  if (width > 0 && height > 0) {
    bytes = PixelStoreBytes(width, height, old.bitsPerPixel);
    if (bytes == 0) throw msg::Resource();
  }

  auto store = std::make_shared<Store>();
  store->displayCompatible = old.displayCompatible;
  store->bitsPerPixel = old.bitsPerPixel;
  store->topDown = old.topDown;
  store->compression = old.compression;
  std::copy(old.masks, old.masks + 3, store->masks);
  store->colorTable = old.colorTable;
  store->ownPalette = old.ownPalette;
  store->description = old.description;
  // A new store has no DIB form kept for saving.
  if (store->displayCompatible) store->description.dsBmih = BitmapInfoHeader{};
  store->stride = static_cast<size_t>(RowStride(width, old.bitsPerPixel));
  AllocatePixels(store->bits, bytes, false);
  if (bytes > 0 && fill) {
    FillWhite(*store, width, height);
    if (!IsEmpty()) CopyTopLeft(old, width_, height_, *store, width, height);
  }

  width_ = width;
  height_ = height;
  store_ = std::move(store);
  RefreshDescription(*store_);
}

void Picture::FillWhite(Store& store, int32_t width, int32_t height) {
  // One row is encoded and then copied into every row; padding stays zero.
  std::vector<uint8_t> white(store.stride, 0);
  if (store.bitsPerPixel >= 8) {
    EncodePixel(store, white.data(), 0, kColorWhite);
    const size_t pixelBytes = static_cast<size_t>(store.bitsPerPixel / 8);
    for (int32_t x = 1; x < width; ++x) std::memcpy(&white[x * pixelBytes], white.data(), pixelBytes);
  } else {
    for (int32_t x = 0; x < width; ++x) EncodePixel(store, white.data(), x, kColorWhite);
  }
  for (int32_t y = 0; y < height; ++y) std::memcpy(store.bits.data() + StoredRowOffset(store, height, y), white.data(), store.stride);
}

void Picture::CopyTopLeft(const Store& from, int32_t fromWidth, int32_t fromHeight, Store& to, int32_t toWidth,
                          int32_t toHeight) {
  // Both stores have the same format, so the stored values (palette indices
  // included) are copied as they are.
  const int32_t keepWidth = std::min(fromWidth, toWidth);
  const int32_t keepHeight = std::min(fromHeight, toHeight);
  const int bits = from.bitsPerPixel;
  for (int32_t y = 0; y < keepHeight; ++y) {
    const uint8_t* source = from.bits.data() + StoredRowOffset(from, fromHeight, y);
    uint8_t* target = to.bits.data() + StoredRowOffset(to, toHeight, y);
    if (bits >= 8) {
      std::memcpy(target, source, static_cast<size_t>(keepWidth) * (bits / 8));
    } else {
      for (int32_t x = 0; x < keepWidth; ++x) SetIndexAt(target, x, bits, IndexAt(source, x, bits));
    }
  }
}

void Picture::RefreshDescription(Store& store) const {
  PictureDescription& d = store.description;
  d.dsBm.bmType = 0;
  d.dsBm.bmWidth = width_;
  d.dsBm.bmHeight = height_;
  d.dsBm.bmWidthBytes = static_cast<int32_t>(store.stride);
  d.dsBm.bmPlanes = 1;
  d.dsBm.bmBitsPixel = static_cast<uint16_t>(store.bitsPerPixel);
  const bool hasDib = !store.displayCompatible || d.dsBmih.biSize != 0;
  d.dsBm.bmBits = hasDib && !store.bits.empty() ? store.bits.data() : nullptr;
  if (d.dsBmih.biSize != 0) {
    d.dsBmih.biWidth = width_;
    d.dsBmih.biHeight = store.topDown ? -height_ : height_;
    d.dsBmih.biBitCount = static_cast<uint16_t>(store.bitsPerPixel);
    d.dsBmih.biSizeImage = static_cast<uint32_t>(store.bits.size());
  }
}

void Picture::MakePrivate() {
  // The reference count is atomic, so copies held by other threads (the
  // resampler's workers) keep the shared store alive and unchanged.
  if (store_.use_count() > 1) {
    store_ = std::make_shared<Store>(*store_);
    RefreshDescription(*store_);
  }
}

uint8_t* Picture::MutableBits() {
  MakePrivate();
  if (store_->displayCompatible && store_->description.dsBmih.biSize != 0) {
    store_->description.dsBmih = BitmapInfoHeader{};  // a change drops the DIB form kept for saving
    RefreshDescription(*store_);
  }
  return store_->bits.data();
}

size_t Picture::StoredRowIndex(int32_t y) const {
  return static_cast<size_t>(store_->topDown ? y : height_ - 1 - y);
}

size_t Picture::StoredRowOffset(const Store& store, int32_t height, int32_t y) {
  return static_cast<size_t>(store.topDown ? y : height - 1 - y) * store.stride;
}

const uint8_t* Picture::Row(int32_t y) const { return store_->bits.data() + StoredRowIndex(y) * store_->stride; }

uint8_t* Picture::MutableRow(int32_t y) { return MutableBits() + StoredRowIndex(y) * store_->stride; }

ColorValue Picture::DecodePixel(const Store& s, const uint8_t* row, int32_t x) {
  switch (s.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
      return PaletteColor(s.colorTable, IndexAt(row, x, s.bitsPerPixel));
    case 24:
      return FromBgr(row + static_cast<size_t>(x) * 3);
    case 16:
    case 32: {
      uint32_t pixel;
      if (s.bitsPerPixel == 16) {
        pixel = row[x * size_t{2}] | (row[x * size_t{2} + 1] << 8);
      } else {
        if (s.compression == kBiRgb) return FromBgr(row + x * size_t{4});
        std::memcpy(&pixel, row + x * size_t{4}, 4);
      }
      return WidenChannel(pixel, ChannelOf(s.masks[0])) | (WidenChannel(pixel, ChannelOf(s.masks[1])) << 8) |
             (WidenChannel(pixel, ChannelOf(s.masks[2])) << 16);
    }
  }
  return 0;
}

void Picture::EncodePixel(const Store& s, uint8_t* row, int32_t x, ColorValue color) {
  const uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
  switch (s.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
      SetIndexAt(row, x, s.bitsPerPixel, NearestIndex(s.colorTable, color));
      return;
    case 24: {
      uint8_t* p = row + static_cast<size_t>(x) * 3;
      p[0] = static_cast<uint8_t>(blue);
      p[1] = static_cast<uint8_t>(green);
      p[2] = static_cast<uint8_t>(red);
      return;
    }
    case 16:
    case 32: {
      uint32_t pixel;
      if (s.bitsPerPixel == 32 && s.compression == kBiRgb) {
        pixel = blue | (green << 8) | (red << 16);  // the fourth byte stays 0
      } else {
        pixel = NarrowChannel(red, ChannelOf(s.masks[0])) | NarrowChannel(green, ChannelOf(s.masks[1])) |
                NarrowChannel(blue, ChannelOf(s.masks[2]));
      }
      if (s.bitsPerPixel == 16) {
        row[x * size_t{2}] = static_cast<uint8_t>(pixel);
        row[x * size_t{2} + 1] = static_cast<uint8_t>(pixel >> 8);
      } else {
        std::memcpy(row + x * size_t{4}, &pixel, 4);
      }
      return;
    }
  }
}

ColorValue Picture::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kColorOutside;
  return DecodePixel(*store_, Row(y), x);
}

void Picture::WritePixel(int32_t x, int32_t y, ColorValue color) {
  // As the platform's pixel write: the store is made private and the DIB form
  // dropped first, and a write outside the picture then changes nothing.
  MutableBits();
  if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  EncodePixel(*store_, MutableRow(y), x, color);
}

void Picture::ReadRow(int32_t y, ColorValue* colors) const {
  if (y < 0 || y >= height_) {
    std::fill(colors, colors + width_, kColorOutside);
    return;
  }
  const Store& s = *store_;
  const uint8_t* row = Row(y);
  switch (s.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
      for (int32_t x = 0; x < width_; ++x) colors[x] = PaletteColor(s.colorTable, IndexAt(row, x, s.bitsPerPixel));
      return;
    case 24:
      for (int32_t x = 0; x < width_; ++x) colors[x] = FromBgr(row + x * size_t{3});
      return;
    case 32:
      if (s.compression == kBiRgb) {
        for (int32_t x = 0; x < width_; ++x) colors[x] = FromBgr(row + x * size_t{4});
        return;
      }
      break;
  }
  // Masked channels: the channel layout is worked out once for the row.
  const Channel red = ChannelOf(s.masks[0]), green = ChannelOf(s.masks[1]), blue = ChannelOf(s.masks[2]);
  for (int32_t x = 0; x < width_; ++x) {
    uint32_t pixel;
    if (s.bitsPerPixel == 16) {
      pixel = row[x * size_t{2}] | (row[x * size_t{2} + 1] << 8);
    } else {
      std::memcpy(&pixel, row + x * size_t{4}, 4);
    }
    colors[x] = WidenChannel(pixel, red) | (WidenChannel(pixel, green) << 8) | (WidenChannel(pixel, blue) << 16);
  }
}

void Picture::WriteRow(int32_t y, const ColorValue* colors) {
  MutableBits();
  if (y < 0 || y >= height_) return;
  uint8_t* row = MutableRow(y);
  for (int32_t x = 0; x < width_; ++x) {
    ColorValue color = colors[x];
    if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
    EncodePixel(*store_, row, x, color);
  }
}

void Picture::SetColorTable(std::vector<PaletteEntry> entries) {
  MakePrivate();
  if (entries.size() > 256) entries.resize(256);
  store_->colorTable = std::move(entries);
}

void Picture::SetOwnPalette(std::vector<PaletteEntry> entries) {
  MakePrivate();
  if (entries.size() > 256) entries.resize(256);
  store_->ownPalette = std::move(entries);
}

const PictureDescription& Picture::Description() const { return store_->description; }

PictureDescription& Picture::MutableDescription() {
  MakePrivate();
  return store_->description;
}

void Picture::EnsureDibForm() {
  if (HasDibForm() || IsEmpty()) return;
  MakePrivate();
  BitmapInfoHeader& header = store_->description.dsBmih;
  header.biSize = 40;
  header.biPlanes = 1;
  header.biCompression = kBiRgb;
  RefreshDescription(*store_);
}

}  // namespace sw
