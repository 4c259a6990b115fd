// Writes into FOLDER every kind of source the tests make: each BMP variant,
// each kind of JPEG file, and the pictures whose slopes are the exact ties
// the margin tests pin (ResamplerMarginTest.cpp). For each it prints the new
// sizes to resize it to, one line each, "FILE WIDTH HEIGHT": the tie
// pictures at the sizes that give their factors, the others at an
// enlargement, a shrink and odd factors either way. tests/arm64/SameBytes.sh
// resizes every line on two processors and compares the bytes.
//
//   source_kinds FOLDER

#include <cstdio>
#include <string>
#include <vector>

#include "BmpBytes.h"
#include "JpegKinds.h"
#include "tests/engine/BmpKinds.h"

namespace {

using sw::ColorValue;
using sw::Picture;

// 2 rows of `width` pixels: the tie picture's first two columns (0 and
// `right`, over two of `bottom`), then arbitrary ones the factors never reach
// before the tie columns' output.
Picture TiePicture(int32_t width, const uint8_t right[3], const uint8_t bottom[3]) {
  const auto color = [](const uint8_t* v) { return static_cast<ColorValue>(v[0] | v[1] << 8 | v[2] << 16); };
  Picture picture = Picture::CreateDisplayCompatible(width, 2);
  for (int32_t x = 0; x < width; ++x) {
    picture.WritePixel(x, 0, x == 0 ? 0 : x == 1 ? color(right) : static_cast<ColorValue>(0x3050A0 + x));
    picture.WritePixel(x, 1, x <= 1 ? color(bottom) : static_cast<ColorValue>(0x902010 + x));
  }
  return picture;
}

struct TieCase {
  int32_t width, newWidth, newHeight;  // the source is 2 rows high
  uint8_t right[3], bottom[3];
};
// The factors of ResamplerMarginTest's kSlopeTiePictures as the window forms
// them, NewWidth / OldWidth and NewHeight / 2.
const TieCase kTies[] = {
    {7, 156, 196, {12, 6, 4}, {98, 98, 98}},     {5, 68, 300, {12, 6, 3}, {150, 150, 150}},
    {7, 153, 392, {1, 3, 6}, {196, 98, 196}},    {5, 111, 2400, {1, 1, 1}, {35, 70, 140}},
    {3, 70, 396, {1, 1, 2}, {180, 198, 180}},    {2, 35, 3936, {1, 1, 1}, {92, 136, 184}},
};

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::exit(2);
  std::fclose(file);
}

std::string FileName(std::string name, const char* extension) {
  for (char& c : name)
    if (c == ' ' || c == '/') c = '-';
  return name + extension;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const std::string folder = argv[1];
  const auto sizes = [](const std::string& file, int32_t width, int32_t height) {
    // Twice, a quarter, and factors that are no simple fraction either way.
    const int32_t list[][2] = {{2 * width, 2 * height}, {width / 4 + 1, height / 4 + 1},
                               {width * 7 / 3, height * 5 / 3}, {width * 5 / 7 + 1, height * 3 / 7 + 1}};
    for (const auto& size : list) std::printf("%s %d %d\n", file.c_str(), size[0], size[1]);
  };
  for (const sw::test::BmpKind& kind : sw::test::BmpKinds(13, 9)) {
    const std::string file = FileName("bmp-" + kind.name, ".bmp");
    Write(folder + "/" + file, kind.bytes);
    sizes(file, 13, 9);
  }
  for (const auto& kind : sw::test::JpegKinds()) {
    const std::string file = FileName("jpeg-" + kind.first, ".jpg");
    Write(folder + "/" + file, kind.second);
    // The cut files keep their frame's size.
    const bool cut = kind.first.find("cut short") != std::string::npos;
    sizes(file, cut ? 160 : 37, cut ? 120 : 23);
  }
  int tie = 0;
  for (const TieCase& c : kTies) {
    Picture picture = TiePicture(c.width, c.right, c.bottom);
    const std::string file = "tie-" + std::to_string(++tie) + ".bmp";
    Write(folder + "/" + file, sw::test::WriteBytes(picture));
    std::printf("%s %d %d\n", file.c_str(), c.newWidth, c.newHeight);
  }
  return 0;
}
