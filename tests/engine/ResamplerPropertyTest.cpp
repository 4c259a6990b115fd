// The resampler against the plain per-pixel evaluation of its formulas, bit
// for bit, on random pictures of every kind and random scale factors, at
// every kernel width this processor has.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "QuietHost.h"
#include "ReferenceResampler.h"
#include "engine/KernelWidths.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"

namespace sw {
namespace {

// The kinds a picture can be made in: display-compatible, or a DIB of each
// depth (16 and 32 bits also with bit fields), bottom-up or top-down.
enum class Kind { Display, Dib1, Dib4, Dib8, Dib16, Dib16Bitfields565, Dib24, Dib32, Dib32Bitfields, Count };

const char* KindName(Kind kind) {
  static const char* const names[] = {"display", "dib1", "dib4", "dib8", "dib16", "dib16-565", "dib24", "dib32",
                                      "dib32-bitfields"};
  return names[static_cast<int>(kind)];
}

Picture RandomPicture(std::mt19937& random, Kind kind, int32_t width, int32_t height) {
  std::uniform_int_distribution<uint32_t> byte(0, 255);
  Picture picture;
  if (kind == Kind::Display) {
    picture = Picture::CreateDisplayCompatible(width, height);
  } else {
    DibLayout layout;
    layout.header.biSize = 40;
    layout.header.biWidth = width;
    layout.header.biHeight = (random() & 1) ? height : -height;
    layout.header.biPlanes = 1;
    static const uint16_t bits[] = {0, 1, 4, 8, 16, 16, 24, 32, 32};
    layout.header.biBitCount = bits[static_cast<int>(kind)];
    if (kind == Kind::Dib16Bitfields565) {
      layout.header.biCompression = kBiBitfields;
      layout.masks[0] = 0xF800;
      layout.masks[1] = 0x07E0;
      layout.masks[2] = 0x001F;
    } else if (kind == Kind::Dib32Bitfields) {
      layout.header.biCompression = kBiBitfields;
      layout.masks[0] = 0x000003FF;  // 10 bits each, in an unusual order
      layout.masks[1] = 0x000FFC00;
      layout.masks[2] = 0x3FF00000;
    }
    if (layout.header.biBitCount <= 8) {
      layout.colorTable.resize(size_t{1} << layout.header.biBitCount);
      for (PaletteEntry& entry : layout.colorTable) {
        entry.rgbRed = static_cast<uint8_t>(byte(random));
        entry.rgbGreen = static_cast<uint8_t>(byte(random));
        entry.rgbBlue = static_cast<uint8_t>(byte(random));
      }
    }
    picture = Picture::CreateDib(layout);
  }
  // Random stored bytes give every kind its whole range of values.
  uint8_t* bits = picture.MutableBits();
  for (size_t i = 0; i < picture.ImageBytes(); ++i) bits[i] = static_cast<uint8_t>(byte(random));
  // Smooth areas too, where neighbouring samples are equal.
  if (random() % 3 == 0) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; x += 2) picture.WritePixel(x, y, picture.ReadPixel(x + 1, y) & 0xFFFFFF);
  }
  return picture;
}

float RandomScale(std::mt19937& random, int32_t size) {
  std::uniform_real_distribution<float> real(0.0f, 1.0f);
  static const float ratios[] = {7.0f / 10, 3.0f / 7, 1.0f / 3, 0.5f, 2.0f, 0.7f, 1.5f, 1.0f, 2.5f, 10.0f / 7};
  switch (random() % 6) {
    case 0: return ratios[random() % std::size(ratios)];
    case 1: return 0.05f + 0.95f * real(random);  // shrinking
    case 2: return 1.0f + 4.0f * real(random);    // enlarging
    case 3: return static_cast<float>(1 + random() % 97) / static_cast<float>(size);  // NewSize / OldSize
    case 4: return 0.51f / static_cast<float>(size) + 0.01f * real(random);          // very small: 1 or 2 pixels left
    default: return 12.0f + 30.0f * real(random);                                  // very large
  }
}

void ExpectSamePixels(const Picture& expected, const Picture& actual, const std::string& what) {
  ASSERT_EQ(expected.Width(), actual.Width()) << what;
  ASSERT_EQ(expected.Height(), actual.Height()) << what;
  ASSERT_TRUE(actual.IsDisplayCompatible()) << what;
  for (int32_t y = 0; y < expected.Height(); ++y)
    for (int32_t x = 0; x < expected.Width(); ++x)
      ASSERT_EQ(expected.ReadPixel(x, y), actual.ReadPixel(x, y)) << what << " at " << x << "," << y;
}

class ResamplerProperty : public AtEveryKernelWidth {};
INSTANTIATE_AT_EVERY_KERNEL_WIDTH(ResamplerProperty);

TEST_P(ResamplerProperty, EqualsThePlainEvaluationOnRandomPicturesOfEveryKind) {
  std::mt19937 random(20240611);
  test::QuietHost host;
  ResizeStats total;
  for (int round = 0; round < 120; ++round) {
    const Kind kind = static_cast<Kind>(round % static_cast<int>(Kind::Count));
    const int32_t width = 1 + static_cast<int32_t>(random() % 64), height = 1 + static_cast<int32_t>(random() % 64);
    const Picture source = RandomPicture(random, kind, width, height);
    const float scaleX = RandomScale(random, width), scaleY = RandomScale(random, height);
    const Picture expected = reference::ReferenceResize(source, scaleX, scaleY);
    Picture picture = source;
    ResizeTuning options;
    options.threads = 1 + round % 3;
    options.rowsPerTask = 1 + round % 5;
    ResizeStats stats;
    options.stats = &stats;
    ResizeBitmap(picture, scaleX, scaleY, host, options);
    const std::string what = std::string(KindName(kind)) + " " + std::to_string(width) + "x" +
                             std::to_string(height) + " by " + std::to_string(scaleX) + "," + std::to_string(scaleY);
    ExpectSamePixels(expected, picture, what);
    if (HasFatalFailure()) return;
    total.finalValues += stats.finalValues;
    total.finalExtended += stats.finalExtended;
  }
  // The fast path did most of the work.
  EXPECT_GT(total.finalValues, 100000u);
  EXPECT_LT(total.finalExtended * 10, total.finalValues);
}


TEST_P(ResamplerProperty, EqualsThePlainEvaluationAtEveryRowLengthAroundTheVectorSteps) {
  // Destination widths 1 .. 70, enlarged and shrunk, so that every remainder
  // of a row after whole vector steps occurs in each stage: the row values
  // (per column), the slopes and final values (three per column) and the
  // packing (per pixel). Rows in place (display, 24 bits) and copied (8 bits).
  std::mt19937 random(77);
  test::QuietHost host;
  for (int32_t newWidth = 1; newWidth <= 70; ++newWidth) {
    for (int shape = 0; shape < 3; ++shape) {
      const Kind kind = shape == 0 ? Kind::Display : shape == 1 ? Kind::Dib24 : Kind::Dib8;
      const int32_t width = shape == 2 ? newWidth * 2 + 1 : std::max(1, newWidth / 2 + shape);
      const int32_t height = 1 + static_cast<int32_t>(random() % 4);
      const Picture source = RandomPicture(random, kind, width, height);
      const float scaleX = static_cast<float>(newWidth) / static_cast<float>(width);
      const float scaleY = 0.5f + static_cast<float>(random() % 8) / 4.0f;
      Picture picture = source;
      ResizeTuning options;
      options.threads = 1;
      ResizeBitmap(picture, scaleX, scaleY, host, options);
      ExpectSamePixels(reference::ReferenceResize(source, scaleX, scaleY), picture,
                       std::string(KindName(kind)) + " " + std::to_string(width) + " to " + std::to_string(newWidth));
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace sw
