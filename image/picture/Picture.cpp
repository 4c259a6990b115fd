#include "image/picture/Picture.h"

#include <algorithm>
#include <cstring>

#include "core/Messages.h"

namespace sw {
namespace {

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

}  // namespace

ColorValue DefaultSystemColor(uint32_t index) {
  return index < std::size(kClassicSystemColors) ? kClassicSystemColors[index] : 0;
}

Picture::Picture() : store_(std::make_shared<Store>()) { RefreshDescription(*store_); }

Picture Picture::CreateDib(const DibLayout& layout) {
  const BitmapInfoHeader& header = layout.header;
  const int bits = header.biBitCount;
  const DibFault fault = CheckPictureHeader(header, layout.colorTable.size(), false);
  if (fault != DibFault::None)
    throw DibHeaderError(fault, fault == DibFault::TooLarge ? msg::Resource() : msg::InvalidBitmap());
  // Below the store limit, so the height is far from INT32_MIN.
  const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const uint64_t bytes = PixelStoreBytes(header.biWidth, height, bits);

  Picture picture;
  auto store = std::make_shared<Store>();
  store->displayCompatible = false;
  store->format = PixelFormat(bits, header.biCompression, layout.masks);
  store->topDown = header.biHeight < 0;
  store->compression = header.biCompression;
  store->stride = static_cast<size_t>(RowStride(header.biWidth, bits));
  store->bits = PixelMemory::Zeroed(static_cast<size_t>(bytes));
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

bool Picture::PrepareRows(int32_t first, int32_t end) const {
  if (IsEmpty() || first >= end) return false;
  // The rows' bytes are one range in either stored order.
  const size_t a = StoredRowOffset(*store_, height_, first), b = StoredRowOffset(*store_, height_, end - 1);
  const size_t start = std::min(a, b);
  return store_->bits.Populate(start, std::max(a, b) - start + store_->stride);
}

uint64_t Picture::CheckedStoreBytes(int32_t width, int32_t height, int bitsPerPixel) {
  if (width < 0 || height < 0) throw msg::Resource();
  if (width == 0 || height == 0) return 0;
  const uint64_t bytes = PixelStoreBytes(width, height, bitsPerPixel);
  if (bytes == 0) throw msg::Resource();
  return bytes;
}

void Picture::CheckDisplayCompatibleSize(int32_t width, int32_t height) {
  CheckedStoreBytes(width, height, kDisplayBitsPerPixel);
}

void Picture::Resize(int32_t width, int32_t height, bool fill) {
  // Everything that can fail comes before the picture is touched, so a size
  // that can't be made leaves it as it was.
  const Store& old = *store_;
  const uint64_t bytes = CheckedStoreBytes(width, height, old.format.BitsPerPixel());

  auto store = std::make_shared<Store>();
  store->displayCompatible = old.displayCompatible;
  store->format = old.format;
  store->topDown = old.topDown;
  store->compression = old.compression;
  store->colorTable = old.colorTable;
  store->ownPalette = old.ownPalette;
  store->description = old.description;
  // A new store has no DIB form kept for saving.
  if (store->displayCompatible) store->description.dsBmih = BitmapInfoHeader{};
  store->stride = static_cast<size_t>(RowStride(width, old.format.BitsPerPixel()));
  // Every byte is written below or by the caller (CreateDisplayCompatibleForOverwrite).
  store->bits = PixelMemory::ForOverwrite(static_cast<size_t>(bytes));
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
  const std::vector<ColorValue> colors(static_cast<size_t>(width), kColorWhite);
  store.format.Encode(colors.data(), 0, width, store.colorTable, white.data());
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(store.bits.data() + StoredRowOffset(store, height, y), white.data(), store.stride);
}

void Picture::CopyTopLeft(const Store& from, int32_t fromWidth, int32_t fromHeight, Store& to, int32_t toWidth,
                          int32_t toHeight) {
  // Both stores have the same format, so the stored values (palette indices
  // included) are copied as they are.
  const int32_t keepWidth = std::min(fromWidth, toWidth);
  const int32_t keepHeight = std::min(fromHeight, toHeight);
  for (int32_t y = 0; y < keepHeight; ++y)
    from.format.Copy(from.bits.data() + StoredRowOffset(from, fromHeight, y), keepWidth,
                     to.bits.data() + StoredRowOffset(to, toHeight, y));
}

void Picture::RefreshDescription(Store& store) const {
  PictureDescription& d = store.description;
  d.dsBm.bmType = 0;
  d.dsBm.bmWidth = width_;
  d.dsBm.bmHeight = height_;
  d.dsBm.bmWidthBytes = static_cast<int32_t>(store.stride);
  d.dsBm.bmPlanes = 1;
  d.dsBm.bmBitsPixel = static_cast<uint16_t>(store.format.BitsPerPixel());
  const bool hasDib = !store.displayCompatible || d.dsBmih.biSize != 0;
  d.dsBm.bmBits = hasDib && !store.bits.empty() ? store.bits.data() : nullptr;
  if (d.dsBmih.biSize != 0) {
    d.dsBmih.biWidth = width_;
    d.dsBmih.biHeight = store.topDown ? -height_ : height_;
    d.dsBmih.biBitCount = static_cast<uint16_t>(store.format.BitsPerPixel());
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

ColorValue Picture::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kColorOutside;
  ColorValue color;
  store_->format.Decode(Row(y), x, 1, store_->colorTable, &color);
  return color;
}

void Picture::WritePixel(int32_t x, int32_t y, ColorValue color) {
  // As the platform's pixel write: the store is made private and the DIB form
  // dropped first, and a write outside the picture then changes nothing.
  MutableBits();
  if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  store_->format.Encode(&color, x, 1, store_->colorTable, MutableRow(y));
}

void Picture::ReadRow(int32_t y, ColorValue* colors) const {
  if (y < 0 || y >= height_) {
    std::fill(colors, colors + width_, kColorOutside);
    return;
  }
  store_->format.Decode(Row(y), 0, width_, store_->colorTable, colors);
}

void Picture::WriteRow(int32_t y, const ColorValue* colors) {
  MutableBits();
  if (y < 0 || y >= height_) return;
  uint8_t* row = MutableRow(y);
  for (int32_t x = 0; x < width_; ++x) {
    ColorValue color = colors[x];
    if (color & 0x80000000u) color = DefaultSystemColor(color & 0xFF);
    store_->format.Encode(&color, x, 1, store_->colorTable, row);
  }
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
