#include "image/bmp/BmpRows.h"

#include <algorithm>
#include <cstring>

#include "core/Messages.h"

namespace sw {

BmpRowReader::BmpRowReader(RandomAccessSource& file) : file_(file) {
  if (file.Size() == 0) {
    form_.emplace(32, kBiRgb, headers_.masks, std::vector<PaletteEntry>(), 0);
    return;
  }
  headers_ = ReadBmpHeaders(file, file.Size());
  const BitmapInfoHeader& h = headers_.header;
  width_ = h.biWidth;
  height_ = headers_.Height();
  if (headers_.RunLength()) {
    // Decoded as the whole-picture reader does: into 32-bit display rows.
    form_.emplace(32, kBiRgb, headers_.masks, std::vector<PaletteEntry>(), static_cast<size_t>(width_) * 4);
    lines_ = std::make_unique<RleLines>(file, headers_.pixelOffset, headers_.pixelBytes, h.biBitCount,
                                        headers_.colorTable, width_, height_);
    return;
  }
  const uint64_t stride = RowStride(width_, h.biBitCount);
  form_.emplace(h.biBitCount, h.biCompression, headers_.masks, headers_.colorTable, static_cast<size_t>(stride));
  storedBytes_ = std::min<uint64_t>(headers_.pixelBytes, stride * static_cast<uint64_t>(height_));
}

void BmpRowReader::ReadRow(int32_t row, uint8_t* target) {
  const bool topDown = headers_.header.biHeight < 0;
  const int32_t stored = topDown ? row : height_ - 1 - row;  // bottom-up files start with the bottom row
  if (lines_) return lines_->ReadLine(stored, target);
  const size_t bytes = form_->bytes;
  const uint64_t start = static_cast<uint64_t>(stored) * bytes;
  const size_t present = static_cast<size_t>(std::min<uint64_t>(bytes, storedBytes_ - std::min(storedBytes_, start)));
  if (file_.ReadAt(headers_.pixelOffset + start, target, present) != present) throw msg::ReadError();
  std::memset(target + present, 0, bytes - present);
}

BmpRowWriter::BmpRowWriter(RandomAccessSink& sink, int32_t width, int32_t height)
    : sink_(sink),
      height_(height),
      stride_(static_cast<size_t>(RowStride(width, 32))),
      pixelOffset_(kBmpFileHeaderBytes + kInfoHeaderBytes) {
  if (width == 0 || height == 0) return;
  // The DIB form a display-compatible picture is given for writing: a
  // bottom-up 40-byte header of its own depth, BI_RGB, no colour table.
  BitmapInfoHeader header;
  header.biSize = kInfoHeaderBytes;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = kBiRgb;
  const uint64_t imageBytes = static_cast<uint64_t>(stride_) * static_cast<uint64_t>(height);
  header.biSizeImage = static_cast<uint32_t>(imageBytes);
  const uint32_t noMasks[3] = {0, 0, 0};
  const std::vector<uint8_t> head = BmpHeaderBytes(header, false, noMasks, {}, imageBytes);
  sink_.Write(head.data(), head.size());
}

void BmpRowWriter::WriteRow(int32_t y, const uint8_t* pixels) {
  sink_.WriteAt(pixelOffset_ + static_cast<uint64_t>(height_ - 1 - y) * stride_, pixels, stride_);
}

}  // namespace sw
