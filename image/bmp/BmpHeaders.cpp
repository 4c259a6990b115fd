#include "image/bmp/BmpHeaders.h"

#include <algorithm>

#include "core/Messages.h"

namespace sw {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Reads no further than the byte count the caller gave, so Remaining() is
// always the count of bytes still available to the reader.
class CountedSource : public ByteSource {
 public:
  CountedSource(ByteSource& source, uint64_t count) : source_(source), remaining_(count) {}
  uint64_t Remaining() const { return remaining_; }

  size_t Read(void* buffer, size_t count) override {
    const size_t allowed = static_cast<size_t>(std::min<uint64_t>(count, remaining_));
    const size_t got = allowed == 0 ? 0 : source_.Read(buffer, allowed);
    remaining_ -= got;
    return got;
  }
  bool TryRead(void* buffer, uint64_t count) { return count <= remaining_ && Read(buffer, count) == count; }
  bool TrySkip(uint64_t count) {
    uint8_t scratch[4096];
    while (count > 0) {
      const uint64_t chunk = std::min<uint64_t>(count, sizeof scratch);
      if (!TryRead(scratch, chunk)) return false;
      count -= chunk;
    }
    return true;
  }

 private:
  ByteSource& source_;
  uint64_t remaining_;
};

// The refusal of a header for `fault`, with the message the system gives for
// it: a picture too large is refused as one the system has no memory for.
DibHeaderError Refused(DibFault fault) {
  return DibHeaderError(fault, fault == DibFault::TooLarge ? msg::NotEnoughMemoryForPicture() : msg::InvalidBitmap());
}

void ReadInfoHeader(CountedSource& in, BmpHeaders& f) {
  // Every field is checked where it is read; a file that ends inside its
  // info header is malformed rather than merely short.
  uint8_t block[kHeaderWithMasksBytes] = {};
  if (!in.TryRead(block, 4)) throw Refused(DibFault::HeaderCut);
  f.headerSize = Get32(block);
  if (const DibFault fault = CheckHeaderSize(f.headerSize); fault != DibFault::None) throw Refused(fault);
  BitmapInfoHeader& h = f.header;
  if (f.headerSize == kCoreHeaderBytes) {
    if (!in.TryRead(block + 4, kCoreHeaderBytes - 4)) throw Refused(DibFault::HeaderCut);
    h.biSize = kInfoHeaderBytes;
    h.biWidth = Get16(block + 4);  // unsigned in a core header: always bottom-up
    h.biHeight = Get16(block + 6);
    h.biPlanes = Get16(block + 8);
    h.biBitCount = Get16(block + 10);
    return;
  }
  // Only the fields and masks are kept; the rest of a longer header is passed over.
  const uint32_t kept = std::min(f.headerSize, kHeaderWithMasksBytes);
  if (!in.TryRead(block + 4, kept - 4) || !in.TrySkip(f.headerSize - kept)) throw Refused(DibFault::HeaderCut);
  h.biSize = f.headerSize;
  h.biWidth = static_cast<int32_t>(Get32(block + 4));
  h.biHeight = static_cast<int32_t>(Get32(block + 8));
  h.biPlanes = Get16(block + 12);
  h.biBitCount = Get16(block + 14);
  h.biCompression = Get32(block + 16);
  h.biSizeImage = Get32(block + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(Get32(block + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(Get32(block + 28));
  h.biClrUsed = Get32(block + 32);
  h.biClrImportant = Get32(block + 36);
  if (f.headerSize >= kHeaderWithMasksBytes) {
    for (int i = 0; i < 3; ++i) f.masks[i] = Get32(block + 40 + 4 * i);
  }
}

void ReadHeaders(CountedSource& in, BmpHeaders& f) {
  ReadInfoHeader(in, f);
  BitmapInfoHeader& h = f.header;
  const int bits = h.biBitCount;
  uint32_t colors = h.biClrUsed;
  if (colors == 0 && (bits == 1 || bits == 4 || bits == 8)) colors = 1u << bits;
  // The header's form is checked before anything after it is read.
  if (const DibFault fault = CheckHeaderForm(f.headerSize, h, colors); fault != DibFault::None) throw Refused(fault);

  if (h.biCompression == kBiBitfields && (bits == 16 || bits == 32) && f.headerSize == kInfoHeaderBytes) {
    uint8_t masks[kBmpMaskBytes];
    in.ReadExact(masks, sizeof masks);
    for (int i = 0; i < 3; ++i) f.masks[i] = Get32(masks + 4 * i);
  }

  h.biClrUsed = colors;
  const size_t entryBytes = f.headerSize == kCoreHeaderBytes ? 3 : 4;
  uint8_t table[kMaxColorEntries * 4];
  in.ReadExact(table, colors * entryBytes);
  f.colorTable.resize(colors);
  for (uint32_t i = 0; i < colors; ++i) {
    const uint8_t* e = table + i * entryBytes;
    f.colorTable[i] = PaletteEntry{e[0], e[1], e[2], entryBytes == 4 ? e[3] : uint8_t{0}};
  }
}

// Step 13's refusal of a header no picture can be made of; a store above the
// limit is refused as the system refuses one it has no memory for. A
// run-length picture is decoded into a display-compatible store of 32 bits
// a pixel, which has to fit the limit too.
void CheckCanBeMade(const BmpHeaders& f) {
  DibFault fault = CheckPictureHeader(f.header, f.colorTable.size(), true);
  if (fault == DibFault::None && f.RunLength() && PixelStoreBytes(f.header.biWidth, f.Height(), 32) == 0)
    fault = DibFault::TooLarge;
  if (fault != DibFault::None) throw Refused(fault);
}

// The pixel bytes the file offers: the stated image size or, when it is 0,
// the size of the rows, but never more than what is left of the data.
uint64_t OfferedPixelBytes(const BmpHeaders& f, uint64_t remaining) {
  const BitmapInfoHeader& h = f.header;
  const uint64_t rows = RowStride(h.biWidth, h.biBitCount) * static_cast<uint64_t>(f.Height());
  return std::min<uint64_t>(h.biSizeImage != 0 ? h.biSizeImage : rows, remaining);
}

class LittleEndianBytes {
 public:
  void U16(uint32_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }
  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void Entry(const PaletteEntry& e) { bytes_.insert(bytes_.end(), {e.rgbBlue, e.rgbGreen, e.rgbRed, e.rgbReserved}); }
  std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

BmpHeaders ReadBmpHeaders(ByteSource& source, uint64_t count) {
  CountedSource in(source, count);
  uint8_t fileHeader[kBmpFileHeaderBytes];
  in.ReadExact(fileHeader, sizeof fileHeader);
  // Only the signature counts: bfSize and bfOffBits are never used, the
  // pixel data is taken to follow the colour table directly.
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw msg::InvalidBitmap();
  BmpHeaders f;
  ReadHeaders(in, f);
  // The size is known in 64 bits before anything is allocated.
  CheckCanBeMade(f);
  f.pixelOffset = count - in.Remaining();
  f.pixelBytes = OfferedPixelBytes(f, in.Remaining());
  return f;
}

std::vector<uint8_t> BmpHeaderBytes(const BitmapInfoHeader& header, bool bitFields, const uint32_t masks[3],
                                    const std::vector<PaletteEntry>& table, uint64_t imageBytes) {
  // Offsets follow from what is really written, so they always point at the
  // pixels, whatever the recorded colour count says.
  const uint32_t headerBytes =
      kInfoHeaderBytes + (bitFields ? kBmpMaskBytes : 0) + 4 * static_cast<uint32_t>(table.size());
  const uint32_t offBits = kBmpFileHeaderBytes + headerBytes;

  LittleEndianBytes out;
  out.U16('B' | ('M' << 8));
  out.U32(static_cast<uint32_t>(offBits + imageBytes));
  out.U16(0);
  out.U16(0);
  out.U32(offBits);
  out.U32(kInfoHeaderBytes);
  out.I32(header.biWidth);
  out.I32(header.biHeight);
  out.U16(header.biPlanes);
  out.U16(header.biBitCount);
  out.U32(header.biCompression);
  out.U32(header.biSizeImage);
  out.I32(header.biXPelsPerMeter);
  out.I32(header.biYPelsPerMeter);
  out.U32(header.biClrUsed);
  out.U32(header.biClrImportant);
  if (bitFields) {
    for (int i = 0; i < 3; ++i) out.U32(masks[i]);
  }
  for (const PaletteEntry& entry : table) out.Entry(entry);
  return out.TakeBytes();
}

}  // namespace sw
