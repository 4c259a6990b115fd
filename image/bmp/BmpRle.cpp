#include "image/bmp/BmpRle.h"

#include <algorithm>

#include "core/Messages.h"

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
      consumedBefore_ += position_;
      position_ = 0;
    }
    byte = buffer_[position_++];
    return true;
  }
  uint64_t Consumed() const { return consumedBefore_ + position_; }

 private:
  static constexpr uint64_t kBlock = 64 * 1024;
  ByteSource& source_;
  uint64_t remaining_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  uint64_t consumedBefore_ = 0;
};

std::vector<ColorValue> EntryColors(const std::vector<PaletteEntry>& colorTable) {
  std::vector<ColorValue> colors(256, kFill);
  const size_t entries = std::min<size_t>(colorTable.size(), 256);
  for (size_t i = 0; i < entries; ++i) {
    const PaletteEntry& e = colorTable[i];
    colors[i] = e.rgbRed | (e.rgbGreen << 8) | (static_cast<ColorValue>(e.rgbBlue) << 16);
  }
  return colors;
}

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
        fillLine_(static_cast<size_t>(width_), kFill),
        colors_(EntryColors(colorTable)) {}

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
  const std::vector<ColorValue> colors_;
};

// The walk alone: the cursor moves as on the canvas, and each line's first
// code and column are noted as the data enters it.
class LineIndexer {
 public:
  LineIndexer(const EncodedBytes& in, int64_t width, int64_t height, std::vector<RleLines::LineStart>& starts)
      : in_(in), width_(width), height_(height), starts_(starts) {
    Enter();
  }

  bool Done() const { return y_ >= height_; }
  void Put(unsigned) {
    if (x_ < width_) ++x_;
  }
  void MoveRight(unsigned dx) { x_ = std::min<int64_t>(width_, x_ + dx); }
  void MoveUp(unsigned dy) {
    if (dy == 0) return;
    y_ = std::min<int64_t>(height_, y_ + dy);
    Enter();
  }
  void EndOfLine() {
    ++y_;
    x_ = 0;
    Enter();
  }

 private:
  void Enter() {
    if (y_ < height_)
      starts_.push_back({static_cast<uint32_t>(y_), static_cast<uint32_t>(in_.Consumed()), static_cast<uint32_t>(x_)});
  }

  const EncodedBytes& in_;
  const int64_t width_;
  const int64_t height_;
  std::vector<RleLines::LineStart>& starts_;
  int64_t x_ = 0;
  int64_t y_ = 0;
};

// One line, from its first code until the data leaves it, as 4-byte pixels.
class LineCanvas {
 public:
  LineCanvas(uint8_t* pixels, int64_t width, int64_t x, const std::vector<ColorValue>& colors)
      : pixels_(pixels), width_(width), x_(x), colors_(colors) {
    std::fill(pixels, pixels + 4 * width, uint8_t{0});  // black, the unused byte 0
  }

  bool Done() const { return left_; }
  void Put(unsigned index) {
    if (x_ >= width_) return;
    const ColorValue color = colors_[index & 0xFF];
    uint8_t* p = pixels_ + 4 * x_++;
    p[0] = static_cast<uint8_t>(color >> 16);
    p[1] = static_cast<uint8_t>(color >> 8);
    p[2] = static_cast<uint8_t>(color);
  }
  void MoveRight(unsigned dx) { x_ = std::min<int64_t>(width_, x_ + dx); }
  void MoveUp(unsigned dy) { left_ = left_ || dy != 0; }
  void EndOfLine() { left_ = true; }

 private:
  uint8_t* const pixels_;
  const int64_t width_;
  int64_t x_;
  const std::vector<ColorValue>& colors_;
  bool left_ = false;
};

// Every code takes at least two bytes and does at most 255 pixels' work, so
// the time spent is bounded by the data, whatever it holds.
template <typename Walk>
void Decode(EncodedBytes& in, int bitsPerPixel, Walk& canvas) {
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

RleLines::RleLines(RandomAccessSource& source, uint64_t offset, uint64_t byteCount, int bitsPerPixel,
                   const std::vector<PaletteEntry>& colorTable, int32_t width, int32_t height)
    : source_(source),
      offset_(offset),
      byteCount_(byteCount),
      bitsPerPixel_(bitsPerPixel),
      width_(width),
      colors_(EntryColors(colorTable)) {
  if (width <= 0 || height <= 0) return;
  ReaderAt data(source, offset);
  EncodedBytes in(data, byteCount);
  LineIndexer indexer(in, width, height, starts_);
  Decode(in, bitsPerPixel, indexer);
}

void RleLines::ReadLine(int32_t line, uint8_t* pixels) {
  const auto start = std::lower_bound(starts_.begin(), starts_.end(), static_cast<uint32_t>(line),
                                      [](const LineStart& s, uint32_t l) { return s.line < l; });
  if (start == starts_.end() || start->line != static_cast<uint32_t>(line)) {
    std::fill(pixels, pixels + 4 * static_cast<size_t>(width_), uint8_t{0});  // never entered: black
    return;
  }
  // The line's codes end where the next line's begin, or with the data.
  const uint64_t end = start + 1 == starts_.end() ? byteCount_ : (start + 1)->offset;
  codes_.resize(static_cast<size_t>(end - start->offset));
  if (source_.ReadAt(offset_ + start->offset, codes_.data(), codes_.size()) != codes_.size()) throw msg::ReadError();
  MemorySource codes(codes_);
  EncodedBytes in(codes, codes_.size());
  LineCanvas canvas(pixels, width_, start->x, colors_);
  Decode(in, bitsPerPixel_, canvas);
}

}  // namespace sw
