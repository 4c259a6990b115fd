// Writes the seed corpus of the resample fuzz target into the folder given as
// the argument: every kind of picture, the usual ratios, extreme factors and
// two pictures whose slopes are exact ties between two singles.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ResampleInput.h"
#include "fuzz/SeedFile.h"

using sw::fuzz::ResampleInput;
using sw::fuzz::ScaleMode;

namespace {

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// kind's form and flags, sizes, and the factors as NewSize / OldSize.
ResampleInput Ratio(uint8_t kind, int width, int height, int newWidth, int newHeight, uint8_t spread) {
  ResampleInput in;
  in.kind = static_cast<uint8_t>(kind | (static_cast<int>(ScaleMode::Ratio) << 6));
  in.width = static_cast<uint8_t>(width - 1);
  in.height = static_cast<uint8_t>(height - 1);
  in.spread = spread;
  ResampleInput::SetBits(in.scaleX, static_cast<uint32_t>(newWidth) | static_cast<uint32_t>(width - 1) << 16);
  ResampleInput::SetBits(in.scaleY, static_cast<uint32_t>(newHeight) | static_cast<uint32_t>(height - 1) << 16);
  return in;
}

ResampleInput Factors(uint8_t kind, int width, int height, float scaleX, float scaleY, uint8_t spread) {
  ResampleInput in;
  in.kind = kind;  // ScaleMode::Bits
  in.width = static_cast<uint8_t>(width - 1);
  in.height = static_cast<uint8_t>(height - 1);
  in.spread = spread;
  ResampleInput::SetBits(in.scaleX, FloatBits(scaleX));
  ResampleInput::SetBits(in.scaleY, FloatBits(scaleY));
  return in;
}

ResampleInput WithBytes(ResampleInput in, std::vector<uint8_t> bytes) {
  in.rest = std::move(bytes);
  return in;
}

std::vector<uint8_t> Counting(size_t count, int step) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * step + 7);
  return bytes;
}

// Three colour masks, then counting pixel bytes.
std::vector<uint8_t> MasksThen(std::vector<uint8_t> masks, size_t count, int step) {
  const std::vector<uint8_t> pixels = Counting(count, step);
  masks.insert(masks.end(), pixels.begin(), pixels.end());
  return masks;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::vector<std::pair<std::string, ResampleInput>> seeds = {
      {"display-double", WithBytes(Ratio(0, 4, 3, 8, 6, 0), Counting(48, 37))},
      {"dib1-shrink", WithBytes(Ratio(1, 20, 9, 14, 4, 5), Counting(8 + 36, 53))},
      {"dib4-topdown", WithBytes(Ratio(2 | 0x10, 7, 5, 3, 11, 9), Counting(64 + 20, 29))},
      {"dib8-thirds", WithBytes(Ratio(3, 9, 9, 3, 21, 2), Counting(1024 + 108, 13))},
      {"dib16", WithBytes(Ratio(4, 5, 4, 7, 7, 1), Counting(32, 91))},
      {"dib16-565", WithBytes(Ratio(4 | 0x08, 6, 3, 13, 2, 6),
                              MasksThen({0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, 36, 71))},
      {"dib24-topdown", WithBytes(Ratio(5 | 0x10, 8, 6, 10, 15, 7), Counting(144, 41))},
      {"dib32-bitfields", WithBytes(Ratio(6 | 0x08, 3, 4, 10, 3, 3),
                                    MasksThen({0xFF, 0x03, 0, 0, 0x00, 0xFC, 0x0F, 0, 0, 0, 0xF0, 0x3F}, 48, 97))},
      {"display-no-tables", WithBytes(Ratio(0 | 0x20, 6, 5, 13, 9, 4), Counting(120, 23))},
      {"tall", WithBytes(Factors(0, 2, 2, 3.0f, 4001.7f, 1), Counting(16, 67))},
      {"wide", WithBytes(Factors(5, 1, 2, 7999.5f, 1.0f, 2), Counting(8, 101))},
      {"tiny", WithBytes(Factors(0, 64, 3, 1.0f / 63.5f, 0.34f, 3), Counting(768, 11))},
      {"extreme", [] {
         ResampleInput in = WithBytes(Factors(0, 3, 2, 1.0f, 1.0f, 1), Counting(24, 59));
         in.kind = static_cast<uint8_t>(static_cast<int>(ScaleMode::Extreme) << 6);
         ResampleInput::SetBits(in.scaleX, 0x8B123456u);  // about 2^11
         ResampleInput::SetBits(in.scaleY, 0x7A654321u);  // about 2^-6
         return in;
       }()},
      // Slopes (B - T) / ScaleY exactly halfway between two singles that a
      // double quotient misses (ResamplerMarginTest.cpp).
      // Stored bottom row first, blue, green, red and a spare byte a pixel.
      {"slope-ties-98", WithBytes(Factors(0, 2, 2, 22.2857151f, 98.0f, 0),
                                  {98, 98, 98, 0, 98, 98, 98, 0, 0, 0, 0, 0, 12, 6, 4, 0})},
      {"slope-ties-150", WithBytes(Factors(0, 2, 2, 13.6000004f, 150.0f, 1),
                                   {150, 150, 150, 0, 150, 150, 150, 0, 0, 0, 0, 0, 12, 6, 3, 0})},
  };
  for (const auto& [name, input] : seeds) {
    const std::vector<uint8_t> bytes = input.Bytes();
    const std::string path = std::string(argv[1]) + "/seed-" + name;
    if (!sw::fuzz::WriteSeed(path, bytes)) return 1;
  }
  return 0;
}
