#pragma once
// One BMP file of every kind the reader takes, each with pixels that differ
// from their neighbours: every depth, palettes with and without a colour
// count, bit fields, core and long headers, top-down rows, data cut short or
// bounded by its image size, and run-length data of both depths with runs,
// deltas and line ends in every mix. For tests that compare two ways of
// reading the same files.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "BmpBytes.h"

namespace sw::test {

struct BmpKind {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Pixel bytes for `rows` rows of `stride` bytes, varied but the same on every run.
inline std::vector<uint8_t> VariedBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

inline void AddTable(BmpBytes& file, int entries, uint32_t seed, bool core = false) {
  const std::vector<uint8_t> colors = VariedBytes(static_cast<size_t>(entries) * 3, seed);
  for (int i = 0; i < entries; ++i) {
    if (core) {
      file.Triple(colors[3 * i], colors[3 * i + 1], colors[3 * i + 2]);
    } else {
      file.Quad(colors[3 * i], colors[3 * i + 1], colors[3 * i + 2]);
    }
  }
}

// Run-length codes that walk a picture of `width` x `height` with encoded and
// absolute runs (some past the right edge), line ends, deltas (some past the
// top) and, now and then, an early end of bitmap.
inline std::vector<uint8_t> RunLengthCodes(int width, int height, int bits, uint32_t seed) {
  std::mt19937 random(seed);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<uint8_t> codes;
  for (int step = 0; step < width * height / 2 + 8; ++step) {
    const int kind = pick(20);
    if (kind < 8) {  // encoded run
      codes.push_back(static_cast<uint8_t>(1 + pick(width + 2)));
      codes.push_back(static_cast<uint8_t>(random()));
    } else if (kind < 13) {  // absolute run, padded to a word
      const int count = 3 + pick(6);
      codes.push_back(0);
      codes.push_back(static_cast<uint8_t>(count));
      const int bytes = bits == 4 ? (count + 1) / 2 : count;
      for (int i = 0; i < bytes; ++i) codes.push_back(static_cast<uint8_t>(random()));
      if (bytes % 2) codes.push_back(0);
    } else if (kind < 17) {  // end of line
      codes.push_back(0);
      codes.push_back(0);
    } else if (kind < 19) {  // delta
      codes.push_back(0);
      codes.push_back(2);
      codes.push_back(static_cast<uint8_t>(pick(4)));
      codes.push_back(static_cast<uint8_t>(pick(3)));
    } else if (pick(4) == 0) {
      codes.push_back(0);
      codes.push_back(1);  // end of bitmap
    }
  }
  return codes;
}

// Every kind, `width` x `height` pixels (at least 3 x 3).
inline std::vector<BmpKind> BmpKinds(int width, int height) {
  std::vector<BmpKind> kinds;
  const auto add = [&](const std::string& name, const BmpBytes& file) { kinds.push_back({name, file.Bytes()}); };
  const auto rows = [&](int bits) { return static_cast<size_t>(RowStride(width, bits)) * height; };
  uint32_t seed = 1;

  for (int bits : {1, 4, 8}) {
    BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, height, static_cast<uint16_t>(bits));
    AddTable(file, 1 << bits, ++seed);
    add(std::to_string(bits) + "-bit", file.Raw(VariedBytes(rows(bits), ++seed)));
  }
  {  // a short table: indices past it are black
    BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, height, 4, kBiRgb, 5);
    AddTable(file, 5, ++seed);
    add("4-bit, 5 colours", file.Raw(VariedBytes(rows(4), ++seed)));
  }
  add("16-bit 5-5-5", BmpBytes().FileHeader().InfoHeader(width, height, 16).Raw(VariedBytes(rows(16), ++seed)));
  add("16-bit fields 5-6-5", BmpBytes()
                                 .FileHeader()
                                 .InfoHeader(width, height, 16, kBiBitfields)
                                 .U32(0xF800)
                                 .U32(0x07E0)
                                 .U32(0x001F)
                                 .Raw(VariedBytes(rows(16), ++seed)));
  add("24-bit", BmpBytes().FileHeader().InfoHeader(width, height, 24).Raw(VariedBytes(rows(24), ++seed)));
  add("32-bit", BmpBytes().FileHeader().InfoHeader(width, height, 32).Raw(VariedBytes(rows(32), ++seed)));
  add("32-bit fields", BmpBytes()
                           .FileHeader()
                           .InfoHeader(width, height, 32, kBiBitfields)
                           .U32(0x000003FF)
                           .U32(0x000FFC00)
                           .U32(0x3FF00000)
                           .Raw(VariedBytes(rows(32), ++seed)));
  add("V4 32-bit fields", BmpBytes()
                              .FileHeader()
                              .InfoHeader(width, height, 32, kBiBitfields, 0, 0, 108)
                              .U32(0x0000FF00)
                              .U32(0x00FF0000)
                              .U32(0xFF000000)
                              .U32(0x000000FF)
                              .Zeros(52)
                              .Raw(VariedBytes(rows(32), ++seed)));
  add("V5 16-bit fields", BmpBytes()
                              .FileHeader()
                              .InfoHeader(width, height, 16, kBiBitfields, 0, 0, 124)
                              .U32(0x7C00)
                              .U32(0x03E0)
                              .U32(0x001F)
                              .U32(0)
                              .Zeros(68)
                              .Raw(VariedBytes(rows(16), ++seed)));
  {
    BmpBytes file = BmpBytes().FileHeader().CoreHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 8);
    AddTable(file, 256, ++seed, true);
    add("core 8-bit", file.Raw(VariedBytes(rows(8), ++seed)));
  }
  add("core 24-bit", BmpBytes()
                         .FileHeader()
                         .CoreHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 24)
                         .Raw(VariedBytes(rows(24), ++seed)));
  add("top-down 24-bit", BmpBytes().FileHeader().InfoHeader(width, -height, 24).Raw(VariedBytes(rows(24), ++seed)));
  {
    BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, -height, 8, kBiRgb, 16);
    AddTable(file, 16, ++seed);
    add("top-down 8-bit, 16 colours", file.Raw(VariedBytes(rows(8), ++seed)));
  }
  {  // colour entries of a deep file are read and passed over
    BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, height, 24, kBiRgb, 2);
    AddTable(file, 2, ++seed);
    add("24-bit with a colour table", file.Raw(VariedBytes(rows(24), ++seed)));
  }
  add("24-bit cut short", BmpBytes()
                              .FileHeader()
                              .InfoHeader(width, height, 24)
                              .Raw(VariedBytes(rows(24) / 2 + 5, ++seed)));
  add("top-down 32-bit cut short", BmpBytes()
                                       .FileHeader()
                                       .InfoHeader(width, -height, 32)
                                       .Raw(VariedBytes(rows(32) / 3 + 2, ++seed)));
  add("24-bit image size below its rows",
      BmpBytes()
          .FileHeader()
          .InfoHeader(width, height, 24, kBiRgb, 0, static_cast<uint32_t>(rows(24) / 2 + 1))
          .Raw(VariedBytes(rows(24), ++seed)));
  add("8-bit image size beyond its rows", [&] {
    BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, height, 8, kBiRgb, 0, 0xFFFFFF);
    AddTable(file, 256, ++seed);
    return file.Raw(VariedBytes(rows(8) + 100, ++seed));
  }());
  add("no pixel data", BmpBytes().FileHeader().InfoHeader(width, height, 32));
  for (int bits : {8, 4}) {
    for (int variant = 0; variant < 3; ++variant) {
      const std::vector<uint8_t> codes =
          variant < 2 ? RunLengthCodes(width, height, bits, ++seed) : VariedBytes(static_cast<size_t>(width * height), ++seed);
      BmpBytes file = BmpBytes().FileHeader().InfoHeader(width, height, static_cast<uint16_t>(bits),
                                                          bits == 8 ? kBiRle8 : kBiRle4, variant == 1 ? 7 : 0,
                                                          static_cast<uint32_t>(codes.size()));
      AddTable(file, variant == 1 ? 7 : 1 << bits, ++seed);
      add("RLE" + std::to_string(bits) + (variant == 2 ? " noise" : " codes " + std::to_string(variant)),
          file.Raw(codes));
    }
  }
  return kinds;
}

}  // namespace sw::test
