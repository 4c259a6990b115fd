// The Windows build has no djpeg or cjpeg, yet its library must decode and
// encode exactly as they do. So the reference results for a few fixed inputs
// are kept as hashes: natively each hash is checked against the tool's own
// output, and on every build against the program's.

#include <gtest/gtest.h>

#include "image/jpeg/Jpeg.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using namespace jpegtest;

struct DecodeCase {
  const char* name;
  FileRecipe recipe;
  bool eightBitOutput;
  size_t cutTo;  // 0: the whole file
  const char* djpegOptions;
  uint64_t referenceHash;  // of djpeg's RGB pixels
};

FileRecipe Recipe(int components, bool progressive) {
  FileRecipe recipe;
  recipe.width = 61;
  recipe.height = 43;
  recipe.components = components;
  recipe.inSpace = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  recipe.progressive = progressive;
  return recipe;
}

const DecodeCase kDecodeCases[] = {
    {"colour", Recipe(3, false), false, 0, "-dct float", 1132130069796794512ull},
    // Refined to full precision, a progressive file decodes as its baseline twin.
    {"progressive", Recipe(3, true), false, 0, "-dct float", 1132130069796794512ull},
    {"grey", Recipe(1, false), false, 0, "-dct float -colors 236", 15359507163491080095ull},
    {"eight-bit", Recipe(3, false), true, 0, "-dct float -colors 236", 8198637165014344400ull},
    {"cut", Recipe(3, true), false, 900, "-dct float", 4852964270088809173ull},
};

TEST(JpegReferenceHash, DecodedPixelsAreDjpegsOnEveryBuild) {
  for (const DecodeCase& c : kDecodeCases) {
    SCOPED_TRACE(c.name);
    Bytes file = MakeJpegFile(c.recipe);
    if (c.cutTo != 0) file.resize(c.cutTo);
    const std::string path = TestPath(std::string(c.name) + ".jpg");
    WriteFile(path, file);
#ifndef _WIN32
    EXPECT_EQ(Fnv1a(Djpeg(path, c.djpegOptions).rgb), c.referenceHash);
#endif
    WorkJpeg jpeg(c.eightBitOutput);
    jpeg.LoadFromFile(path);
    Picture picture;
    jpeg.CopyInto(picture);
    EXPECT_EQ(Fnv1a(RgbOf(picture)), c.referenceHash);
  }
}

TEST(JpegReferenceHash, EncodedBytesAreCjpegsOnEveryBuild) {
  const Picture picture = PatternPicture(130, 70);
  const struct {
    bool progressive;
    const char* cjpegOptions;
    uint64_t referenceHash;  // of cjpeg's file
  } cases[] = {{false, "-dct float -quality 90 -baseline", 62906856531073789ull},
               {true, "-dct float -quality 90 -baseline -progressive", 14556054840871203396ull}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cjpegOptions);
#ifndef _WIN32
    const std::string ppm = TestPath("pixels.ppm");
    WritePpm(ppm, picture);
    EXPECT_EQ(Fnv1a(Cjpeg(ppm, c.cjpegOptions)), c.referenceHash);
#endif
    WorkJpeg jpeg;
    if (c.progressive) {
      FileRecipe recipe;
      recipe.progressive = true;
      WriteFile(TestPath("progressive.jpg"), MakeJpegFile(recipe));
      jpeg.LoadFromFile(TestPath("progressive.jpg"));
    }
    jpeg.TakeCopyOf(picture);
    jpeg.SaveToFile(TestPath("saved.jpg"));
    EXPECT_EQ(Fnv1a(ReadFile(TestPath("saved.jpg"))), c.referenceHash);
  }
}

}  // namespace
}  // namespace sw
