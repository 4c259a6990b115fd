#include "image/bmp/Bmp.h"

#include <algorithm>
#include <vector>

#include "core/Messages.h"
#include "image/bmp/BmpHeaders.h"
#include "image/bmp/BmpRle.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

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

Picture ReadUncompressed(const BmpHeaders& f, ByteSource& in) {
  const BitmapInfoHeader& h = f.header;
  const int bits = h.biBitCount;
  DibLayout layout;
  layout.header = h;
  std::copy(f.masks, f.masks + 3, layout.masks);
  if (bits <= 8) layout.colorTable = f.colorTable;
  Picture dib = CreatePicture([&] { return Picture::CreateDib(layout); });

  // Rows the data doesn't reach keep their zero bytes; an image size larger
  // than the picture's rows never writes past them.
  const uint64_t bytes = std::min<uint64_t>(f.pixelBytes, dib.ImageBytes());
  in.ReadExact(dib.MutableBits(), static_cast<size_t>(bytes));
  // A palette only matters for drawing on a palette display; pixels keep their values.
  if (bits > 8 && !f.colorTable.empty()) dib.SetOwnPalette(f.colorTable);
  return dib;
}

Picture ReadRunLength(const BmpHeaders& f, ByteSource& in) {
  const BitmapInfoHeader& h = f.header;
  Picture decoded = CreatePicture([&] { return Picture::CreateDisplayCompatible(h.biWidth, h.biHeight); });
  DecodeRle(in, f.pixelBytes, h.biBitCount, f.colorTable, decoded);
  decoded.SetOwnPalette(f.colorTable);
  BitmapInfoHeader& kept = decoded.MutableDescription().dsBmih;
  kept.biXPelsPerMeter = h.biXPelsPerMeter;
  kept.biYPelsPerMeter = h.biYPelsPerMeter;
  kept.biClrUsed = h.biClrUsed;
  kept.biClrImportant = h.biClrImportant;
  return decoded;
}

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
  const BmpHeaders f = ReadBmpHeaders(source, count);
  Picture read = f.RunLength() ? ReadRunLength(f, source) : ReadUncompressed(f, source);
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

  const std::vector<uint8_t> head = BmpHeaderBytes(header, bitFields, masks, table, picture.ImageBytes());
  sink.Write(head.data(), head.size());
  // The pixel memory goes out in one piece, exactly as it lies.
  sink.Write(picture.Bits(), picture.ImageBytes());
}

}  // namespace sw
