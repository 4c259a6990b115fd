#pragma once
// The DIB header (BITMAPINFOHEADER) and the rules it must meet, each with a
// reason of its own, checked here for the BMP reader and for making a DIB
// picture alike.

#include <cstddef>
#include <cstdint>

#include "core/Error.h"

namespace sw {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

struct BitmapInfoHeader {  // BITMAPINFOHEADER, written byte for byte by the BMP writer
  uint32_t biSize = 0;     // 0: a display-compatible picture without DIB form
  int32_t biWidth = 0;
  int32_t biHeight = 0;    // negative: rows stored top-down
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

constexpr uint32_t kCoreHeaderBytes = 12;  // BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderBytes = 40;  // BITMAPINFOHEADER
// BITMAPV2INFOHEADER and every later header hold their colour masks at offset 40.
constexpr uint32_t kHeaderWithMasksBytes = 52;
constexpr uint32_t kMaxColorEntries = 256;

// Bytes per stored row: each row filled up to a multiple of 4 bytes.
uint64_t RowStride(int64_t width, int bitsPerPixel);

// No pixel store is ever made above this size (16384 x 16384 at 32 bits), so
// that hostile sizes in files or typed by the user never exhaust memory.
constexpr uint64_t kMaxPixelStoreBytes = uint64_t{1} << 30;

// The bytes a store of this size and depth takes, or 0 when it could not be
// made: a negative size, or more than kMaxPixelStoreBytes.
uint64_t PixelStoreBytes(int64_t width, int64_t height, int bitsPerPixel);

bool IsDibDepth(int bitsPerPixel);  // 1, 4, 8, 16, 24 or 32

// Why a header is refused.
enum class DibFault {
  None,
  HeaderSize,    // an info header shorter than 40 bytes that is no 12-byte core header
  Planes,        // a plane count other than 1
  MasksMissing,  // bit fields in a header too short to hold the masks (41 to 51 bytes)
  ColorCount,    // a colour table of more than 256 entries
  Width,         // a width of 0 or below
  Height,        // a height of 0
  BitCount,      // a depth other than 1, 4, 8, 16, 24 and 32
  Compression,   // a compression the depth can't have: bit fields below 16 bits, run
                 // lengths other than 8 bits RLE8 or 4 bits RLE4, bottom-up; anything else
  TooLarge,      // a pixel store above kMaxPixelStoreBytes
  HeaderCut,     // a file that ends inside its info header
};

// A header refused for a named reason: the error the user is shown for it
// (its kind and text, as the reader or the picture would raise it), and the
// reason, for a caller that can use it (the tests name the reasons they expect).
class DibHeaderError : public Error {
 public:
  DibHeaderError(DibFault fault, const Error& shown) : Error(shown), fault_(fault) {}
  DibFault Fault() const { return fault_; }

 private:
  DibFault fault_;
};

// What a BMP file's reader checks before it reads on: the header's size as
// soon as its size field is read; then, once the header is read, its planes,
// room for masks and the size of the colour table that follows.
DibFault CheckHeaderSize(uint32_t headerSize);
DibFault CheckHeaderForm(uint32_t headerSize, const BitmapInfoHeader& header, uint32_t colorCount);

// Whether a picture can be made of the header and a colour table of
// `colorEntries`: the size, depth and compression rules, validity before
// size. A DIB store holds uncompressed rows only; `runLengthAllowed` lets
// the reader accept RLE8 and RLE4, which it decodes into a picture of its own.
DibFault CheckPictureHeader(const BitmapInfoHeader& header, size_t colorEntries, bool runLengthAllowed);

}  // namespace sw
