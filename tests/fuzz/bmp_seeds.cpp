// Writes the seed corpus of the BMP fuzz target into the folder given as the
// argument: one small file of every variant the reader accepts.

#include <cstdio>
#include <string>
#include <vector>

#include "BmpBytes.h"
#include "fuzz/SeedFile.h"

using sw::test::BmpBytes;

namespace {

BmpBytes Palette(BmpBytes file, int entries, bool core = false) {
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<uint8_t>(i * 37);
    core ? file.Triple(v, static_cast<uint8_t>(255 - v), 9) : file.Quad(v, static_cast<uint8_t>(255 - v), 9);
  }
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds = {
      {"1bit", Palette(BmpBytes().FileHeader().InfoHeader(3, 2, 1), 2).Raw({0xA0, 0, 0, 0, 0x60, 0, 0, 0})},
      {"4bit", Palette(BmpBytes().FileHeader().InfoHeader(3, 2, 4, 0, 3), 3).Raw({0x21, 0, 0, 0, 0x02, 0x10, 0, 0})},
      {"8bit", Palette(BmpBytes().FileHeader().InfoHeader(2, 2, 8), 256).Raw({0, 255, 0, 0, 1, 200, 0, 0})},
      {"16bit", BmpBytes().FileHeader().InfoHeader(2, 1, 16).U16(0x7C00).U16(0x03E0)},
      {"16bitfields", BmpBytes().FileHeader().InfoHeader(2, 1, 16, sw::kBiBitfields)
                          .U32(0xF800).U32(0x07E0).U32(0x001F).U16(0xF800).U16(0x001F)},
      {"24bit", BmpBytes().FileHeader().InfoHeader(3, 2, 24).Zeros(3).Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0})
                    .Raw({9, 8, 7, 6, 5, 4})},
      {"24topdown", BmpBytes().FileHeader().InfoHeader(1, -2, 24).Raw({0, 0, 255, 0, 255, 0, 0, 0})},
      {"32bit", BmpBytes().FileHeader().InfoHeader(2, 1, 32).Raw({1, 2, 3, 0, 4, 5, 6, 0})},
      {"32v4", BmpBytes().FileHeader().InfoHeader(1, 1, 32, sw::kBiBitfields, 0, 0, 108)
                   .U32(0xFF00).U32(0xFF0000).U32(0xFF000000).U32(0xFF).Zeros(52).Raw({0, 1, 2, 3})},
      {"16v5", BmpBytes().FileHeader().InfoHeader(1, 1, 16, sw::kBiBitfields, 0, 0, 124)
                   .U32(0xF800).U32(0x07E0).U32(0x001F).U32(0).Zeros(68).U16(0x07E0).U16(0)},
      {"core8", Palette(BmpBytes().FileHeader().CoreHeader(2, 1, 8), 256, true).Raw({3, 250, 0, 0})},
      {"core24", BmpBytes().FileHeader().CoreHeader(1, 1, 24).Raw({1, 2, 3, 0})},
      {"cutshort", BmpBytes().FileHeader().InfoHeader(4, 4, 24).Raw({1, 2, 3})},
      {"palette24", Palette(BmpBytes().FileHeader().InfoHeader(1, 1, 24, 0, 2), 2).Raw({7, 8, 9, 0})},
      {"rle8", Palette(BmpBytes().FileHeader().InfoHeader(4, 3, 8, sw::kBiRle8, 4, 20), 4)
                   .Raw({2, 1, 2, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 1, 3, 0, 1})},
      {"rle4", Palette(BmpBytes().FileHeader().InfoHeader(6, 2, 4, sw::kBiRle4, 4, 20), 4)
                   .Raw({0, 3, 0x12, 0x00, 2, 0x21, 1, 0x00, 0, 0, 0, 5, 0x21, 0x02, 0x10, 0x00, 1, 0x20, 0, 1})},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/seed-" + name + ".bmp";
    if (!sw::fuzz::WriteSeed(path, bytes)) return 1;
  }
  return 0;
}
