// Writes the JPEG fuzz target's seed corpus into the folder given as argv[1]:
// small valid files of every kind the decoder meets, made with libjpeg.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "JpegFiles.h"
#include "fuzz/SeedFile.h"

namespace {

struct Seed {
  const char* name;
  int width;
  int height;
  int components;
  J_COLOR_SPACE inSpace;
  J_COLOR_SPACE fileSpace;  // JCS_UNKNOWN: the library's default
  bool progressive;
  bool arithmetic;
  int restartRows;
  bool separateScans;
};

std::vector<unsigned char> Make(const Seed& seed) {
  sw::jpegtest::FileRecipe recipe;
  recipe.width = seed.width;
  recipe.height = seed.height;
  recipe.components = seed.components;
  recipe.inSpace = seed.inSpace;
  recipe.fileSpace = seed.fileSpace;
  recipe.quality = 75;
  recipe.progressive = seed.progressive;
  recipe.arithmetic = seed.arithmetic;
  recipe.restartRows = seed.restartRows;
  recipe.separateScans = seed.separateScans;
  return sw::jpegtest::MakeJpegFile(recipe);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const Seed seeds[] = {
      {"colour", 33, 17, 3, JCS_RGB, JCS_UNKNOWN, false, false, 0, false},
      {"colour-444", 16, 16, 3, JCS_RGB, JCS_RGB, false, false, 0, false},
      {"progressive", 33, 17, 3, JCS_RGB, JCS_UNKNOWN, true, false, 0, false},
      {"grey", 20, 9, 1, JCS_GRAYSCALE, JCS_UNKNOWN, false, false, 0, false},
      {"grey-progressive", 20, 9, 1, JCS_GRAYSCALE, JCS_UNKNOWN, true, false, 0, false},
      {"cmyk", 16, 8, 4, JCS_CMYK, JCS_CMYK, false, false, 0, false},
      {"ycck", 16, 8, 4, JCS_CMYK, JCS_YCCK, true, false, 0, false},
      {"arithmetic", 16, 16, 3, JCS_RGB, JCS_UNKNOWN, false, true, 0, false},
      {"arithmetic-progressive", 16, 16, 3, JCS_RGB, JCS_UNKNOWN, true, true, 0, false},
      {"restarts", 40, 24, 3, JCS_RGB, JCS_UNKNOWN, false, false, 1, false},
      {"separate-scans", 24, 16, 3, JCS_RGB, JCS_UNKNOWN, false, false, 0, true},
      {"two-components", 8, 8, 2, JCS_UNKNOWN, JCS_UNKNOWN, false, false, 0, false},
  };
  const std::string folder = argv[1];
  for (const Seed& recipe : seeds) {
    const std::vector<unsigned char> bytes = Make(recipe);
    if (!sw::fuzz::WriteSeed(folder + "/seed-" + recipe.name + ".jpg", bytes)) return 1;
    if (recipe.progressive && !recipe.arithmetic) {
      const std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3);
      if (!sw::fuzz::WriteSeed(folder + "/seed-" + recipe.name + "-cut.jpg", cut)) return 1;
    }
  }
  return sw::fuzz::WriteSeed(folder + "/seed-soi-only.jpg", {0xFF, 0xD8}) ? 0 : 1;
}
