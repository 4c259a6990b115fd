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
  int width;
};

Channel ChannelOf(uint32_t mask) {
  Channel channel{mask, 0, 0};
  if (mask == 0) return channel;
  while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
  uint32_t bits = mask >> channel.shift;
  while (bits & 1u) {
    ++channel.width;
    bits >>= 1;
  }
  return channel;
}

// A channel of fewer than 8 bits is widened by repeating its bits from the
// top (5 bits abcde become abcdeabc), so the largest value becomes 255 and 0
// stays 0; a wider channel keeps its top 8 bits.
uint32_t WidenChannel(uint32_t pixel, const Channel& channel) {
  if (channel.width == 0) return 0;
  uint32_t value = (pixel & channel.mask) >> channel.shift;
  if (channel.width >= 8) return value >> (channel.width - 8);
  uint32_t widened = 0;
  int filled = 0;
  while (filled < 8) {
    const int shift = 8 - filled - channel.width;
    widened |= shift >= 0 ? value << shift : value >> -shift;
    filled += channel.width;
  }
  return widened & 0xFF;
}

uint32_t NarrowChannel(uint32_t value8, const Channel& channel) {
  if (channel.width == 0) return 0;
  const uint32_t value =
      channel.width >= 8 ? value8 << (channel.width - 8) : value8 >> (8 - channel.width);
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

std::vector<uint8_t> AllocatePixels(uint64_t bytes) {
  try {
    return std::vector<uint8_t>(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    throw msg::Resource();
  }
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

Picture::Picture() : store_(std::make_shared<Store>()) { RefreshDescription(*store_); }

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
  store->bits = AllocatePixels(bytes);
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

void Picture::SetWidth(int32_t width) {
  if (width != width_) Resize(width, height_);
}

void Picture::SetHeight(int32_t height) {
  if (height != height_) Resize(width_, height);
}

void Picture::Resize(int32_t width, int32_t height) {
  const Store& old = *store_;
  if (width < 0 || height < 0) throw msg::Resource();
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
  if (store->displayCompatible) store->description.dsBmih = BitmapInfoHeader{};
  store->stride = static_cast<size_t>(RowStride(width, old.bitsPerPixel));
  store->bits = AllocatePixels(bytes);

  Picture resized;
  resized.width_ = width;
  resized.height_ = height;
  resized.store_ = std::move(store);
  if (bytes > 0) {
    // White everywhere, then the old pixels at the top-left, clipped.
    std::vector<ColorValue> row(static_cast<size_t>(width));
    std::vector<ColorValue> oldRow(IsEmpty() ? 0 : static_cast<size_t>(width_));
    const int32_t keepWidth = std::min(width, width_);
    for (int32_t y = 0; y < height; ++y) {
      std::fill(row.begin(), row.end(), kColorWhite);
      if (y < height_ && !IsEmpty()) {
        ReadRow(y, oldRow.data());
        std::copy(oldRow.begin(), oldRow.begin() + keepWidth, row.begin());
      }
      resized.WriteRow(y, row.data());
    }
  }
  width_ = width;
  height_ = height;
  store_ = std::move(resized.store_);
  RefreshDescription(*store_);
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

const uint8_t* Picture::Row(int32_t y) const { return store_->bits.data() + StoredRowIndex(y) * store_->stride; }

uint8_t* Picture::MutableRow(int32_t y) { return MutableBits() + StoredRowIndex(y) * store_->stride; }

ColorValue Picture::DecodePixel(const uint8_t* row, int32_t x) const {
  const Store& s = *store_;
  switch (s.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
      const int bits = s.bitsPerPixel;
      const size_t bitOffset = static_cast<size_t>(x) * bits;
      const unsigned index = (row[bitOffset / 8] >> (8 - bits - bitOffset % 8)) & ((1u << bits) - 1);
      // An index past the colour table reads as black.
      if (index >= s.colorTable.size()) return 0;
      const PaletteEntry& e = s.colorTable[index];
      return e.rgbRed | (e.rgbGreen << 8) | (static_cast<uint32_t>(e.rgbBlue) << 16);
    }
    case 24: {
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
    }
    case 16:
    case 32: {
      uint32_t pixel;
      if (s.bitsPerPixel == 16) {
        pixel = row[x * size_t{2}] | (row[x * size_t{2} + 1] << 8);
      } else {
        std::memcpy(&pixel, row + x * size_t{4}, 4);
      }
      if (s.bitsPerPixel == 32 && s.compression == kBiRgb) {
        return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
      }
      return WidenChannel(pixel, ChannelOf(s.masks[0])) | (WidenChannel(pixel, ChannelOf(s.masks[1])) << 8) |
             (WidenChannel(pixel, ChannelOf(s.masks[2])) << 16);
    }
  }
  return 0;
}

void Picture::EncodePixel(uint8_t* row, int32_t x, ColorValue color) const {
  const Store& s = *store_;
  const uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
  switch (s.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
      const int bits = s.bitsPerPixel;
      const size_t bitOffset = static_cast<size_t>(x) * bits;
      const int shift = 8 - bits - static_cast<int>(bitOffset % 8);
      const unsigned mask = ((1u << bits) - 1) << shift;
      const unsigned index = NearestIndex(s.colorTable, color);
      uint8_t& byte = row[bitOffset / 8];
      byte = static_cast<uint8_t>((byte & ~mask) | ((index << shift) & mask));
      return;
    }
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
        pixel = blue | (green << 8) | (red << 16);
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
  return DecodePixel(Row(y), x);
}

void Picture::WritePixel(int32_t x, int32_t y, ColorValue color) {
  if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;  // the platform ignores such a write
  EncodePixel(MutableRow(y), x, color);
}

void Picture::ReadRow(int32_t y, ColorValue* colors) const {
  const uint8_t* row = Row(y);
  if (store_->bitsPerPixel == 32 && store_->compression == kBiRgb) {
    for (int32_t x = 0; x < width_; ++x) {
      const uint8_t* p = row + x * size_t{4};
      colors[x] = p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
    }
    return;
  }
  for (int32_t x = 0; x < width_; ++x) colors[x] = DecodePixel(row, x);
}

void Picture::WriteRow(int32_t y, const ColorValue* colors) {
  uint8_t* row = MutableRow(y);
  for (int32_t x = 0; x < width_; ++x) {
    ColorValue color = colors[x];
    if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
    EncodePixel(row, x, color);
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
