#include "image/BmpRle.h"

#include <algorithm>

namespace sw {
namespace {

constexpr ColorValue kFill = 0;  // black: what a fresh display bitmap holds

// Hands out the encoded bytes one at a time, reading them in blocks, so that
// no more memory is held than the data that really arrives.
class EncodedBytes {
 public:
  EncodedBytes(ByteSource& source, uint64_t count)
      : source_(source), remaining_(count), buffer_(static_cast<size_t>(std::min<uint64_t>(count, kBlock))) {}

  bool Next(uint8_t& byte) {
    if (position_ == filled_) {
      if (remaining_ == 0) return false;
      filled_ = static_cast<size_t>(std::min<uint64_t>(remaining_, buffer_.size()));
      source_.ReadExact(buffer_.data(), filled_);
      remaining_ -= filled_;
      position_ = 0;
    }
    byte = buffer_[position_++];
    return true;
  }

 private:
  static constexpr uint64_t kBlock = 64 * 1024;
  ByteSource& source_;
  uint64_t remaining_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
};

// The picture as the encoded data walks it: lines counted from the bottom,
// one line assembled at a time and written when the data leaves it. Lines
// are only ever left upwards, so every row is written exactly once, and
// positions are clamped to the picture, which clips whatever lies outside.
class Canvas {
 public:
  Canvas(Picture& picture, const std::vector<PaletteEntry>& colorTable)
      : picture_(picture),
        width_(picture.Width()),
        height_(picture.Height()),
        line_(static_cast<size_t>(width_), kFill),
        fillLine_(static_cast<size_t>(width_), kFill) {
    std::fill(std::begin(colors_), std::end(colors_), kFill);
    const size_t entries = std::min<size_t>(colorTable.size(), 256);
    for (size_t i = 0; i < entries; ++i) {
      const PaletteEntry& e = colorTable[i];
      colors_[i] = e.rgbRed | (e.rgbGreen << 8) | (static_cast<ColorValue>(e.rgbBlue) << 16);
    }
  }

  bool Done() const { return y_ >= height_; }

  void Put(unsigned index) {
    if (x_ < width_) line_[static_cast<size_t>(x_++)] = colors_[index & 0xFF];
  }
  void MoveRight(unsigned dx) { x_ = std::min<int64_t>(width_, x_ + dx); }
  void MoveUp(unsigned dy) {
    if (dy == 0) return;
    WriteLine();
    y_ = std::min<int64_t>(height_, y_ + dy);
  }
  void EndOfLine() {
    WriteLine();
    ++y_;
    x_ = 0;
  }
  void Finish() {
    WriteLine();
    while (nextRow_ < height_) WriteRowAt(nextRow_++, fillLine_);
  }

 private:
  void WriteRowAt(int64_t y, const std::vector<ColorValue>& colors) {
    picture_.WriteRow(static_cast<int32_t>(height_ - 1 - y), colors.data());
  }
  void WriteLine() {
    if (y_ >= height_) return;
    while (nextRow_ < y_) WriteRowAt(nextRow_++, fillLine_);
    WriteRowAt(y_, line_);
    nextRow_ = y_ + 1;
    std::fill(line_.begin(), line_.end(), kFill);
  }

  Picture& picture_;
  const int64_t width_;
  const int64_t height_;
  int64_t x_ = 0;
  int64_t y_ = 0;        // the line being assembled, 0 at the bottom
  int64_t nextRow_ = 0;  // lines below it are written
  std::vector<ColorValue> line_;
  const std::vector<ColorValue> fillLine_;
  ColorValue colors_[256];
};

// Every code takes at least two bytes and does at most 255 pixels' work, so
// the time spent is bounded by the data, whatever it holds.
void Decode(EncodedBytes& in, int bitsPerPixel, Canvas& canvas) {
  const bool fourBits = bitsPerPixel == 4;
  uint8_t count = 0, value = 0;
  while (!canvas.Done() && in.Next(count) && in.Next(value)) {
    if (count > 0) {  // encoded run: one index, or two alternating ones
      for (unsigned i = 0; i < count; ++i) canvas.Put(fourBits ? (i % 2 ? value & 0x0F : value >> 4) : value);
      continue;
    }
    switch (value) {
      case 0:
        canvas.EndOfLine();
        break;
      case 1:
        return;  // end of bitmap
      case 2: {
        uint8_t dx = 0, dy = 0;
        if (!in.Next(dx) || !in.Next(dy)) return;
        canvas.MoveRight(dx);
        canvas.MoveUp(dy);
        break;
      }
      default: {  // absolute run of `value` indices, padded to a 16-bit boundary
        const unsigned pixels = value;
        const unsigned bytes = fourBits ? (pixels + 1) / 2 : pixels;
        uint8_t byte = 0;
        for (unsigned i = 0; i < pixels; ++i) {
          if (fourBits) {
            if (i % 2 == 0 && !in.Next(byte)) return;
            canvas.Put(i % 2 ? byte & 0x0F : byte >> 4);
          } else {
            if (!in.Next(byte)) return;
            canvas.Put(byte);
          }
        }
        if (bytes % 2 && !in.Next(byte)) return;
        break;
      }
    }
  }
}

}  // namespace

void DecodeRle(ByteSource& source, uint64_t byteCount, int bitsPerPixel,
               const std::vector<PaletteEntry>& colorTable, Picture& picture) {
  if (picture.IsEmpty()) return;
  EncodedBytes in(source, byteCount);
  Canvas canvas(picture, colorTable);
  Decode(in, bitsPerPixel, canvas);
  canvas.Finish();
}

}  // namespace sw
