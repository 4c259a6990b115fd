#include "image/Bmp.h"

#include <algorithm>
#include <vector>

#include "core/Messages.h"
#include "image/BmpRle.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kMaskBytes = 12;

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

// What precedes the pixel data, with a core header widened to the 40-byte
// form (biClrUsed holds the colour count C) and 3-byte colour entries to 4.
struct FileHeaders {
  uint32_t headerSize = 0;
  BitmapInfoHeader header;
  uint32_t masks[3] = {0, 0, 0};
  std::vector<PaletteEntry> colorTable;
};

int64_t AbsoluteHeight(const BitmapInfoHeader& header) {
  return header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
}

// Step 13's refusal of a header no picture can be made of; a store above the
// limit is refused as the system refuses one it has no memory for.
void CheckCanBeMade(const FileHeaders& f) {
  const DibFault fault = CheckPictureHeader(f.header, f.colorTable.size(), true);
  if (fault == DibFault::TooLarge) throw msg::NotEnoughMemoryForPicture();
  if (fault != DibFault::None) throw msg::InvalidBitmap();
}

void ReadInfoHeader(CountedSource& in, FileHeaders& f) {
  // Every field is checked where it is read; a file that ends inside its
  // info header is malformed rather than merely short.
  uint8_t block[kHeaderWithMasksBytes] = {};
  if (!in.TryRead(block, 4)) throw msg::InvalidBitmap();
  f.headerSize = Get32(block);
  if (CheckHeaderSize(f.headerSize) != DibFault::None) throw msg::InvalidBitmap();
  BitmapInfoHeader& h = f.header;
  if (f.headerSize == kCoreHeaderBytes) {
    if (!in.TryRead(block + 4, kCoreHeaderBytes - 4)) throw msg::InvalidBitmap();
    h.biSize = kInfoHeaderBytes;
    h.biWidth = Get16(block + 4);  // unsigned in a core header: always bottom-up
    h.biHeight = Get16(block + 6);
    h.biPlanes = Get16(block + 8);
    h.biBitCount = Get16(block + 10);
    return;
  }
  // Only the fields and masks are kept; the rest of a longer header is passed over.
  const uint32_t kept = std::min(f.headerSize, kHeaderWithMasksBytes);
  if (!in.TryRead(block + 4, kept - 4) || !in.TrySkip(f.headerSize - kept)) throw msg::InvalidBitmap();
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

FileHeaders ReadHeaders(CountedSource& in) {
  FileHeaders f;
  ReadInfoHeader(in, f);
  BitmapInfoHeader& h = f.header;
  const int bits = h.biBitCount;
  uint32_t colors = h.biClrUsed;
  if (colors == 0 && (bits == 1 || bits == 4 || bits == 8)) colors = 1u << bits;
  // The header's form is checked before anything after it is read.
  if (CheckHeaderForm(f.headerSize, h, colors) != DibFault::None) throw msg::InvalidBitmap();

  if (h.biCompression == kBiBitfields && (bits == 16 || bits == 32) && f.headerSize == kInfoHeaderBytes) {
    uint8_t masks[kMaskBytes];
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
  return f;
}

// The working image checks every store against its size limit before it
// allocates; a refusal, like running out of memory, becomes the message the
// system gives for either.
template <typename Make>
Picture CreatePicture(Make make) {
  try {
    return make();
  } catch (const Error& e) {
    if (e.Kind() == ErrorKind::Resource) throw msg::NotEnoughMemoryForPicture();
    throw;
  }
}

// The pixel bytes the file offers: the stated image size or, when it is 0,
// the size of the rows, but never more than what is left of the data.
uint64_t OfferedPixelBytes(const BitmapInfoHeader& h, uint64_t remaining) {
  const uint64_t rows = RowStride(h.biWidth, h.biBitCount) * static_cast<uint64_t>(AbsoluteHeight(h));
  return std::min<uint64_t>(h.biSizeImage != 0 ? h.biSizeImage : rows, remaining);
}

Picture ReadUncompressed(const FileHeaders& f, CountedSource& in) {
  const BitmapInfoHeader& h = f.header;
  const int bits = h.biBitCount;
  DibLayout layout;
  layout.header = h;
  std::copy(f.masks, f.masks + 3, layout.masks);
  if (bits <= 8) layout.colorTable = f.colorTable;
  Picture dib = CreatePicture([&] { return Picture::CreateDib(layout); });

  // Rows the data doesn't reach keep their zero bytes; an image size larger
  // than the picture's rows never writes past them.
  const uint64_t bytes = std::min<uint64_t>(OfferedPixelBytes(h, in.Remaining()), dib.ImageBytes());
  in.ReadExact(dib.MutableBits(), static_cast<size_t>(bytes));
  // A palette only matters for drawing on a palette display; pixels keep their values.
  if (bits > 8 && !f.colorTable.empty()) dib.SetOwnPalette(f.colorTable);
  return dib;
}

Picture ReadRunLength(const FileHeaders& f, CountedSource& in) {
  const BitmapInfoHeader& h = f.header;
  Picture decoded = CreatePicture([&] { return Picture::CreateDisplayCompatible(h.biWidth, h.biHeight); });
  DecodeRle(in, OfferedPixelBytes(h, in.Remaining()), h.biBitCount, f.colorTable, decoded);
  decoded.SetOwnPalette(f.colorTable);
  BitmapInfoHeader& kept = decoded.MutableDescription().dsBmih;
  kept.biXPelsPerMeter = h.biXPelsPerMeter;
  kept.biYPelsPerMeter = h.biYPelsPerMeter;
  kept.biClrUsed = h.biClrUsed;
  kept.biClrImportant = h.biClrImportant;
  return decoded;
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
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// The colour table a DIB's file carries: its own table, which a DIB holds
// for at most 2^B entries, cut to biClrUsed; failing that, a palette of the
// picture's own.
std::vector<PaletteEntry> TableToWrite(const Picture& picture, const BitmapInfoHeader& header) {
  std::vector<PaletteEntry> table;
  const int bits = header.biBitCount;
  if (bits <= 8) {
    table = picture.ColorTable();
    table.resize(std::min<size_t>(table.size(), size_t{1} << bits));
    if (header.biClrUsed > 0 && header.biClrUsed < table.size()) table.resize(header.biClrUsed);
  }
  if (table.empty()) {
    table = picture.OwnPalette();
    table.resize(std::min<size_t>(table.size(), kMaxColorEntries));
  }
  return table;
}

}  // namespace

void LoadBmpFile(Picture& picture, const std::string& path) {
  const std::unique_ptr<InputFile> file = OpenInputFile(path);
  ReadBmp(picture, *file, file->Size());
}

void ReadBmp(Picture& picture, ByteSource& source, uint64_t count) {
  if (count == 0) {
    picture = Picture();
    return;
  }
  CountedSource in(source, count);
  uint8_t fileHeader[kFileHeaderBytes];
  in.ReadExact(fileHeader, sizeof fileHeader);
  // Only the signature counts: bfSize and bfOffBits are never used, the
  // pixel data is taken to follow the colour table directly.
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw msg::InvalidBitmap();

  const FileHeaders f = ReadHeaders(in);
  // The size is known in 64 bits before anything is allocated.
  CheckCanBeMade(f);
  const uint32_t compression = f.header.biCompression;
  Picture read = compression == kBiRgb || compression == kBiBitfields ? ReadUncompressed(f, in)
                                                                      : ReadRunLength(f, in);
  // Built completely before it replaces the picture, so a failure leaves the picture as it was.
  picture = std::move(read);
}

void SaveBmpFile(Picture& picture, const std::string& path) {
  ReplaceFileWith(path, [&picture](ByteSink& sink) { WriteBmp(picture, sink); });
}

void WriteBmp(Picture& picture, ByteSink& sink) {
  if (picture.IsDisplayCompatible()) picture.EnsureDibForm();
  if (picture.IsEmpty()) return;
  if (!picture.HasDibForm()) throw msg::InvalidBitmap();

  BitmapInfoHeader header = picture.Description().dsBmih;
  uint32_t masks[3];
  std::copy(picture.Description().dsBitfields, picture.Description().dsBitfields + 3, masks);
  const int bits = header.biBitCount;
  const bool bitFields = bits > 8 && (header.biCompression & 3) != 0;
  if (bitFields && masks[0] == 0) {
    const uint32_t defaults16[3] = {0xF800, 0x07E0, 0x001F};
    const uint32_t defaults32[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    if (bits == 16) std::copy(defaults16, defaults16 + 3, masks);
    if (bits == 32) std::copy(defaults32, defaults32 + 3, masks);
  }
  const std::vector<PaletteEntry> table = TableToWrite(picture, header);
  if (!table.empty()) header.biClrUsed = static_cast<uint32_t>(table.size());

  // The picture keeps the colour count and masks it was written with.
  const PictureDescription& before = picture.Description();
  if (header.biClrUsed != before.dsBmih.biClrUsed || !std::equal(masks, masks + 3, before.dsBitfields)) {
    PictureDescription& description = picture.MutableDescription();
    description.dsBmih.biClrUsed = header.biClrUsed;
    std::copy(masks, masks + 3, description.dsBitfields);
  }

  // Offsets follow from what is really written, so they always point at the
  // pixels, whatever the recorded colour count says.
  const uint64_t imageBytes = picture.ImageBytes();
  const uint32_t headerBytes =
      kInfoHeaderBytes + (bitFields ? kMaskBytes : 0) + 4 * static_cast<uint32_t>(table.size());
  const uint32_t offBits = kFileHeaderBytes + headerBytes;

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
    for (uint32_t mask : masks) out.U32(mask);
  }
  for (const PaletteEntry& entry : table) out.Entry(entry);
  sink.Write(out.Bytes().data(), out.Bytes().size());
  // The pixel memory goes out in one piece, exactly as it lies.
  sink.Write(picture.Bits(), static_cast<size_t>(imageBytes));
}

}  // namespace sw
