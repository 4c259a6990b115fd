#pragma once
// Builds BMP files byte by byte for the tests and the fuzz seeds, so every
// case shows the fields it is made of.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/Error.h"
#include "image/bmp/Bmp.h"

namespace sw::test {

class BmpBytes {
 public:
  BmpBytes& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  BmpBytes& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  BmpBytes& U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
  BmpBytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  BmpBytes& Raw(std::initializer_list<uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
  }
  BmpBytes& Raw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  BmpBytes& Zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }

  // BITMAPFILEHEADER; the reader looks at nothing but "BM".
  BmpBytes& FileHeader(uint32_t fileSize = 0, uint32_t offBits = 0) {
    return U8('B').U8('M').U32(fileSize).U16(0).U16(0).U32(offBits);
  }
  // The 40 bytes of a BITMAPINFOHEADER; `size` may announce a longer header,
  // whose remaining bytes the test appends.
  BmpBytes& InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                       uint32_t clrUsed = 0, uint32_t sizeImage = 0, uint32_t size = 40, uint16_t planes = 1) {
    return U32(size).I32(width).I32(height).U16(planes).U16(bits).U32(compression).U32(sizeImage)
        .I32(2835).I32(2835).U32(clrUsed).U32(0);
  }
  // BITMAPCOREHEADER.
  BmpBytes& CoreHeader(uint16_t width, uint16_t height, uint16_t bits, uint16_t planes = 1) {
    return U32(12).U16(width).U16(height).U16(planes).U16(bits);
  }
  BmpBytes& Quad(uint8_t blue, uint8_t green, uint8_t red) { return U8(blue).U8(green).U8(red).U8(0); }
  BmpBytes& Triple(uint8_t blue, uint8_t green, uint8_t red) { return U8(blue).U8(green).U8(red); }

  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  operator const std::vector<uint8_t>&() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A colour value from its channels.
constexpr ColorValue Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return red | (green << 8) | (static_cast<ColorValue>(blue) << 16);
}

inline Picture ReadBytes(const std::vector<uint8_t>& bytes) {
  Picture picture;
  MemorySource source(bytes);
  ReadBmp(picture, source, bytes.size());
  return picture;
}

inline std::vector<uint8_t> WriteBytes(Picture& picture) {
  MemorySink sink;
  WriteBmp(picture, sink);
  return sink.Bytes();
}

// Every pixel, row by row from the top.
inline std::vector<ColorValue> PixelsOf(const Picture& picture) {
  std::vector<ColorValue> pixels;
  for (int32_t y = 0; y < picture.Height(); ++y)
    for (int32_t x = 0; x < picture.Width(); ++x) pixels.push_back(picture.ReadPixel(x, y));
  return pixels;
}

// "Kind: text" of the error `action` raises, or "" when it raises none.
template <typename Action>
std::string FailureOf(Action action) {
  try {
    action();
  } catch (const Error& e) {
    return std::string(KindName(e.Kind())) + ": " + e.Text();
  }
  return std::string();
}

inline std::string ReadFailure(const std::vector<uint8_t>& bytes) {
  return FailureOf([&] { ReadBytes(bytes); });
}

inline const std::string kNotValid = "EInvalidGraphic: Bitmap image is not valid";
inline const std::string kShort = "EReadError: Stream read error";
inline const std::string kNoMemory =
    "EOSError: System Error.  Code: 8.\r\nNot enough memory resources are available to process this command";

}  // namespace sw::test
