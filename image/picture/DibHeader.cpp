#include "image/picture/DibHeader.h"

namespace sw {
namespace {

int64_t AbsoluteHeight(const BitmapInfoHeader& header) {
  return header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
}

bool CompressionFits(const BitmapInfoHeader& header, bool runLengthAllowed) {
  const int bits = header.biBitCount;
  switch (header.biCompression) {
    case kBiRgb:
      return true;
    case kBiBitfields:
      return bits == 16 || bits == 32;
    case kBiRle8:
    case kBiRle4:
      // Run-length data is always stored bottom-up.
      return runLengthAllowed && header.biHeight > 0 &&
             bits == (header.biCompression == kBiRle8 ? 8 : 4);
    default:
      return false;
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

bool IsDibDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

DibFault CheckHeaderSize(uint32_t headerSize) {
  return headerSize == kCoreHeaderBytes || headerSize >= kInfoHeaderBytes ? DibFault::None : DibFault::HeaderSize;
}

DibFault CheckHeaderForm(uint32_t headerSize, const BitmapInfoHeader& header, uint32_t colorCount) {
  if (const DibFault size = CheckHeaderSize(headerSize); size != DibFault::None) return size;
  if (header.biPlanes != 1) return DibFault::Planes;
  // A 40-byte header has its masks after it; a longer one needs room for them inside.
  const bool bitFields = header.biCompression == kBiBitfields && (header.biBitCount == 16 || header.biBitCount == 32);
  if (bitFields && headerSize > kInfoHeaderBytes && headerSize < kHeaderWithMasksBytes) return DibFault::MasksMissing;
  if (colorCount > kMaxColorEntries) return DibFault::ColorCount;
  return DibFault::None;
}

DibFault CheckPictureHeader(const BitmapInfoHeader& header, size_t colorEntries, bool runLengthAllowed) {
  if (header.biWidth <= 0) return DibFault::Width;
  if (header.biHeight == 0) return DibFault::Height;
  if (!IsDibDepth(header.biBitCount)) return DibFault::BitCount;
  if (!CompressionFits(header, runLengthAllowed)) return DibFault::Compression;
  if (colorEntries > kMaxColorEntries) return DibFault::ColorCount;
  if (PixelStoreBytes(header.biWidth, AbsoluteHeight(header), header.biBitCount) == 0) return DibFault::TooLarge;
  return DibFault::None;
}

}  // namespace sw
