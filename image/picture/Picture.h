#pragma once
// The working image: an in-memory raster picture that is empty, display-
// compatible or a DIB, with a pixel store shared between copies and copied on
// the first change (copy on write).
//
// Pixel memory is kept exactly as a Windows DIB lays it out: rows padded to 4
// bytes, bottom-up for a positive recorded height and top-down for a negative
// one. So a BMP file's pixel block is read into it and written from it in one
// piece, and a display-compatible picture already is its own DIB form.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "image/picture/DibHeader.h"
#include "image/picture/PixelMemory.h"
#include "image/picture/PixelFormat.h"

namespace sw {

constexpr ColorValue kColorOutside = 0xFFFFFFFFu;  // what a read outside the picture gives
constexpr ColorValue kColorWhite = 0x00FFFFFFu;

// The picture description record, field for field the platform's DIBSECTION.
struct BitmapPart {  // BITMAP
  int32_t bmType = 0;
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 0;
  uint16_t bmBitsPixel = 0;
  void* bmBits = nullptr;  // null for a display-compatible picture without DIB form
};

struct PictureDescription {  // DIBSECTION
  BitmapPart dsBm;
  BitmapInfoHeader dsBmih;
  uint32_t dsBitfields[3] = {0, 0, 0};  // red, green, blue masks
  void* dshSection = nullptr;
  uint32_t dsOffset = 0;
};

// What a reader gives to make a DIB picture: header (width, recorded height,
// bit count 1/4/8/16/24/32, compression BI_RGB or BI_BITFIELDS), the masks
// (used with BI_BITFIELDS) and the colour table (at most 256 entries).
struct DibLayout {
  BitmapInfoHeader header;
  uint32_t masks[3] = {0, 0, 0};
  std::vector<PaletteEntry> colorTable;
};

class Picture {
 public:
  // A new empty, display-compatible picture: width 0, height 0, no store.
  Picture();
  // Copies share the pixel store; the first change through either one gives
  // it a private copy.
  Picture(const Picture&) = default;
  Picture& operator=(const Picture&) = default;
  Picture(Picture&&) noexcept = default;
  Picture& operator=(Picture&&) noexcept = default;

  // A DIB picture with zeroed pixel memory, to be filled by a reader.
  // Raises "Bitmap image is not valid" for a layout no DIB can have (the
  // rules of CheckPictureHeader, without run lengths) and the resource error
  // for a store above the limit.
  static Picture CreateDib(const DibLayout& layout);
  // A display-compatible picture of this size, every pixel white.
  static Picture CreateDisplayCompatible(int32_t width, int32_t height);
  // The same without the white: its pixel memory holds arbitrary bytes until
  // written. Only for a writer that writes every byte of every row before
  // the picture is read or handed on (the resampler's destination), which
  // saves two passes over a store that may be hundreds of megabytes.
  static Picture CreateDisplayCompatibleForOverwrite(int32_t width, int32_t height);
  // Raises the resource error, as creating one would, for a size no
  // display-compatible picture can be made in: a negative one, or a store
  // above the limit.
  static void CheckDisplayCompatibleSize(int32_t width, int32_t height);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }  // always the absolute value
  // A size the store can't be made in (negative, above the limit) raises the
  // resource error and leaves the picture as it was.
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);

  bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  bool IsDisplayCompatible() const { return store_->displayCompatible; }
  bool IsDib() const { return !store_->displayCompatible; }

  // The colour at column x, row y (row 0 at the top); kColorOutside outside
  // the picture. The picture's PixelFormat decodes it.
  ColorValue ReadPixel(int32_t x, int32_t y) const;
  // Makes the store private and drops any DIB form, then stores the colour
  // (a system colour, bit 31 set, becomes its classic default first) as the
  // nearest the format holds; a position outside the picture changes no pixel.
  void WritePixel(int32_t x, int32_t y, ColorValue color);

  // Whole rows of Width() colour values (row 0 at the top), for code that
  // walks every pixel; the same values as ReadPixel and WritePixel give one at
  // a time. A row outside the picture reads as kColorOutside throughout.
  void ReadRow(int32_t y, ColorValue* colors) const;
  void WriteRow(int32_t y, const ColorValue* colors);

  // Direct access to the pixel memory in its stored (DIB) order.
  int BitsPerPixel() const { return store_->format.BitsPerPixel(); }
  bool IsTopDown() const { return store_->topDown; }
  size_t Stride() const { return store_->stride; }
  size_t ImageBytes() const { return store_->bits.size(); }
  const uint8_t* Bits() const { return store_->bits.data(); }
  uint8_t* MutableBits();  // makes the store private and drops any DIB form
  // The row that shows as row y (0 at the top), whatever the stored order;
  // y must lie in 0 .. Height() - 1.
  const uint8_t* Row(int32_t y) const;
  uint8_t* MutableRow(int32_t y);
  // Brings the memory of rows first .. end - 1 in ahead of their writing,
  // where the system can, changing no pixel: a store of hundreds of
  // megabytes is otherwise faulted in page by page as its rows are made.
  // False when the system would not.
  bool PrepareRows(int32_t first, int32_t end) const;

  uint32_t Compression() const { return store_->compression; }
  const uint32_t* Masks() const { return store_->format.Masks(); }

  // The DIB's own colour table (pictures of 8 bits or fewer).
  const std::vector<PaletteEntry>& ColorTable() const { return store_->colorTable; }
  // A palette of the picture's own besides the colour table (a BMP file of
  // more than 8 bits with a colour table); it never changes pixel values.
  const std::vector<PaletteEntry>& OwnPalette() const { return store_->ownPalette; }
  void SetOwnPalette(std::vector<PaletteEntry> entries);

  const PictureDescription& Description() const;
  PictureDescription& MutableDescription();  // makes the store private
  bool HasDibForm() const { return store_->description.dsBmih.biSize != 0; }
  // Gives a display-compatible picture its DIB form: a bottom-up 40-byte
  // header of its own depth, BI_RGB, image size stride x height.
  void EnsureDibForm();

 private:
  // Display-compatible pictures are 32 bits per pixel (blue, green, red and
  // one unused byte) on every platform, whatever the depth of the screen: the
  // program does not follow the display's depth, so every colour the
  // resampler writes is kept exactly, and every written BMP file is the
  // 32-bit kind.
  static constexpr int kDisplayBitsPerPixel = 32;
  static constexpr uint32_t kNoMasks[3] = {0, 0, 0};

  struct Store {
    bool displayCompatible = true;
    PixelFormat format{kDisplayBitsPerPixel, kBiRgb, kNoMasks};
    bool topDown = false;
    uint32_t compression = kBiRgb;
    size_t stride = 0;
    PixelMemory bits;
    std::vector<PaletteEntry> colorTable;
    std::vector<PaletteEntry> ownPalette;
    PictureDescription description;
  };

  static uint64_t CheckedStoreBytes(int32_t width, int32_t height, int bitsPerPixel);
  void MakePrivate();
  void Resize(int32_t width, int32_t height, bool fill);
  void RefreshDescription(Store& store) const;
  size_t StoredRowIndex(int32_t y) const;
  static size_t StoredRowOffset(const Store& store, int32_t height, int32_t y);
  static void FillWhite(Store& store, int32_t width, int32_t height);
  static void CopyTopLeft(const Store& from, int32_t fromWidth, int32_t fromHeight, Store& to, int32_t toWidth,
                          int32_t toHeight);

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::shared_ptr<Store> store_;
};

// The classic default colour of system colour `index` (COLOR_WINDOW and the rest).
ColorValue DefaultSystemColor(uint32_t index);

}  // namespace sw
