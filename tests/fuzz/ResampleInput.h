#pragma once
// The resample fuzz target's input: a small picture of any kind, two scale
// factors and how the work is spread, read from bytes (missing bytes read as
// zero, so every input means something) and written back by the seed program.
//
//   byte 0      kind: bits 0-2 the form (0 display-compatible; 1-6 a DIB of
//               1, 4, 8, 16, 24, 32 bits), bit 3 bit fields (16 and 32
//               bits), bit 4 top-down, bit 5 no column tables, bits 6-7 how
//               the factors are given (ScaleMode)
//   bytes 1, 2  width - 1 and height - 1, 6 bits each
//   byte 3      threads - 1 in bits 0-1, rowsPerTask - 1 in bits 2-7
//   bytes 4-11  ScaleX and ScaleY, 4 bytes each as the mode says
//   then        12 bytes of red, green and blue masks (bit fields only), 4
//               bytes per colour table entry (1, 4 and 8 bits), and the
//               stored pixel bytes

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/picture/Picture.h"

namespace sw::fuzz {

enum class ScaleMode : uint8_t {
  Bits = 0,      // the float's own bits: any value at all
  Ratio = 1,     // NewSize / OldSize, two 16-bit integers, as the program forms it
  Binade = 2,    // a 17-bit mantissa (its leading one set) times 2^(e - 80), e of 7 bits: 2^-64 .. 2^64
  Extreme = 3,   // a 24-bit mantissa (the same) times 2^(e - 151), e a byte: denormals to infinity
};

struct ResampleInput {
  uint8_t kind = 0;
  uint8_t width = 0, height = 0;  // one less than the size
  uint8_t spread = 0;
  uint8_t scaleX[4] = {}, scaleY[4] = {};
  std::vector<uint8_t> rest;  // masks, colour table, pixels

  static int Depth(uint8_t kind) {
    static const int depths[] = {0, 1, 4, 8, 16, 24, 32, 0};
    return depths[kind & 7];
  }

  static ResampleInput Read(const uint8_t* data, size_t size) {
    const auto at = [&](size_t i) -> uint8_t { return i < size ? data[i] : 0; };
    ResampleInput in;
    in.kind = at(0);
    in.width = at(1) & 63;
    in.height = at(2) & 63;
    in.spread = at(3);
    for (int i = 0; i < 4; ++i) {
      in.scaleX[i] = at(4 + i);
      in.scaleY[i] = at(8 + i);
    }
    if (size > 12) in.rest.assign(data + 12, data + size);
    return in;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes = {kind, width, height, spread};
    bytes.insert(bytes.end(), scaleX, scaleX + 4);
    bytes.insert(bytes.end(), scaleY, scaleY + 4);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
  }

  static float Scale(ScaleMode mode, const uint8_t* b) {
    const uint32_t word = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    switch (mode) {
      case ScaleMode::Bits: {
        float value;
        std::memcpy(&value, &word, 4);
        return value;
      }
      case ScaleMode::Ratio:  // each exact, the quotient rounded once
        return static_cast<float>(word & 0xFFFF) / static_cast<float>((word >> 16) + 1);
      case ScaleMode::Binade:
        return std::ldexp(static_cast<float>((word & 0xFFFF) | 0x10000), static_cast<int>((word >> 16) & 0x7F) - 64 - 16);
      default:
        return std::ldexp(static_cast<float>((word & 0x7FFFFF) | 0x800000), static_cast<int>(word >> 24) - 128 - 23);
    }
  }
  static void SetBits(uint8_t* b, uint32_t word) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(word >> (8 * i));
  }

  ScaleMode Mode() const { return static_cast<ScaleMode>(kind >> 6); }
  float ScaleX() const { return Scale(Mode(), scaleX); }
  float ScaleY() const { return Scale(Mode(), scaleY); }
  int Threads() const { return 1 + (spread & 3); }
  int RowsPerTask() const { return 1 + (spread >> 2); }
  bool WithoutTables() const { return (kind & 0x20) != 0; }

  // The picture; raises sw::Error for masks no DIB may have.
  Picture MakePicture() const {
    const int32_t w = width + 1, h = height + 1;
    const int depth = Depth(kind);
    size_t next = 0;
    const auto take = [&]() -> uint8_t { return next < rest.size() ? rest[next++] : 0; };
    Picture picture;
    if (depth == 0) {
      picture = Picture::CreateDisplayCompatible(w, h);
    } else {
      DibLayout layout;
      layout.header.biSize = 40;
      layout.header.biWidth = w;
      layout.header.biHeight = (kind & 0x10) ? -h : h;
      layout.header.biPlanes = 1;
      layout.header.biBitCount = static_cast<uint16_t>(depth);
      if ((kind & 0x08) && (depth == 16 || depth == 32)) {
        layout.header.biCompression = kBiBitfields;
        for (uint32_t& mask : layout.masks) {
          mask = 0;
          for (int i = 0; i < 4; ++i) mask |= static_cast<uint32_t>(take()) << (8 * i);
        }
      }
      if (depth <= 8) {
        layout.colorTable.resize(size_t{1} << depth);
        for (PaletteEntry& entry : layout.colorTable) entry = PaletteEntry{take(), take(), take(), take()};
      }
      picture = Picture::CreateDib(layout);
    }
    uint8_t* bits = picture.MutableBits();
    for (size_t i = 0; i < picture.ImageBytes(); ++i) bits[i] = take();
    return picture;
  }
};

}  // namespace sw::fuzz
