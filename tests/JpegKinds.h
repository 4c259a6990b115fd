#pragma once
// The kinds of JPEG file the tests make, each by libjpeg from a recipe:
// baseline and progressive, grey, CMYK and YCCK, separate scans, restarts,
// and files cut short inside their scan data.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "JpegFiles.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw::test {

inline jpegtest::FileRecipe Jpeg(int components, J_COLOR_SPACE in, J_COLOR_SPACE file = JCS_UNKNOWN, bool progressive = false) {
  jpegtest::FileRecipe recipe;
  recipe.width = 37;
  recipe.height = 23;
  recipe.components = components;
  recipe.inSpace = in;
  recipe.fileSpace = file;
  recipe.progressive = progressive;
  return recipe;
}

inline std::vector<std::pair<std::string, jpegtest::Bytes>> JpegKinds() {
  std::vector<std::pair<std::string, jpegtest::Bytes>> kinds;
  const auto add = [&](const std::string& name, const jpegtest::FileRecipe& recipe) {
    kinds.push_back({name, jpegtest::MakeJpegFile(recipe)});
  };
  add("baseline", Jpeg(3, JCS_RGB));
  add("progressive", Jpeg(3, JCS_RGB, JCS_UNKNOWN, true));
  add("grey", Jpeg(1, JCS_GRAYSCALE));
  add("grey progressive", Jpeg(1, JCS_GRAYSCALE, JCS_UNKNOWN, true));
  add("cmyk", Jpeg(4, JCS_CMYK, JCS_CMYK));
  add("ycck progressive", Jpeg(4, JCS_CMYK, JCS_YCCK, true));
  jpegtest::FileRecipe separate = Jpeg(3, JCS_RGB);
  separate.separateScans = true;
  add("separate scans", separate);
  jpegtest::FileRecipe restarts = Jpeg(3, JCS_RGB);
  restarts.restartRows = 1;
  add("restarts", restarts);
  for (bool progressive : {false, true}) {
    jpegtest::FileRecipe big = Jpeg(3, JCS_RGB, JCS_UNKNOWN, progressive);
    big.width = 160;
    big.height = 120;
    const jpegtest::Bytes file = jpegtest::MakeJpegFile(big);
    const std::optional<jpegtest::Segment> scan = jpegtest::FindSegment(jpegtest::SegmentsOf(file), 0);
    kinds.push_back({progressive ? "progressive cut short" : "cut short",
                     jpegtest::Bytes(file.begin(), file.begin() + static_cast<long>(scan->offset + scan->length / 2))});
  }
  return kinds;
}

}  // namespace sw::test
