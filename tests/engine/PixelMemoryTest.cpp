// Pixel stores: zeroed or left for overwriting, small from the heap and large
// from the system's pages, copied and moved like values; and a file that
// claims far more pixels than it holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "QuietHost.h"
#include "BmpBytes.h"
#include "ReferenceResampler.h"
#include "core/Error.h"
#include "image/picture/PixelMemory.h"
#include "image/resize/Resampler.h"

namespace sw {
namespace {

bool AllZero(const PixelMemory& memory) {
  return std::all_of(memory.data(), memory.data() + memory.size(), [](uint8_t b) { return b == 0; });
}

const size_t kSmall = 1000;
const size_t kLarge = PixelMemory::kPagedBytes + 4096;
// Past a 2 MiB large page and not a multiple of one: mapped at a large page
// with a spare tail on Linux, which must all come back when freed.
const size_t kHuge = (size_t{3} << 20) + 123;

TEST(PixelMemory, ZeroedStoresAreZeroEvenWhereMemoryWasUsedBefore) {
  for (size_t bytes : {kSmall, kLarge, kHuge}) {
    for (int round = 0; round < 3; ++round) {
      PixelMemory memory = PixelMemory::Zeroed(bytes);
      ASSERT_EQ(memory.size(), bytes);
      EXPECT_TRUE(AllZero(memory)) << bytes << " bytes, round " << round;
      // Dirty it, so a later store made from the same memory shows whether it was cleared.
      std::memset(memory.data(), 0xAB, bytes);
    }
  }
  EXPECT_FALSE(PixelMemory::Zeroed(kSmall).Paged());
  EXPECT_TRUE(PixelMemory::Zeroed(kLarge).Paged());
}

TEST(PixelMemory, CopiesAreIndependentAndMovesLeaveNothingBehind) {
  for (size_t bytes : {kSmall, kLarge, kHuge}) {
    PixelMemory original = PixelMemory::ForOverwrite(bytes);
    for (size_t i = 0; i < bytes; ++i) original.data()[i] = static_cast<uint8_t>(i * 7);
    PixelMemory copy = original;
    ASSERT_EQ(copy.size(), bytes);
    EXPECT_EQ(std::memcmp(copy.data(), original.data(), bytes), 0);
    copy.data()[bytes - 1] ^= 0xFF;
    EXPECT_EQ(original.data()[bytes - 1], static_cast<uint8_t>((bytes - 1) * 7));

    PixelMemory moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(copy.data(), nullptr);
    ASSERT_EQ(moved.size(), bytes);
    moved = original;  // copy assignment over a store of its own
    EXPECT_EQ(std::memcmp(moved.data(), original.data(), bytes), 0);
  }
  EXPECT_TRUE(PixelMemory::Zeroed(0).empty());
}

#ifdef __linux__
TEST(PixelMemory, StoresOfALargePageOrMoreStartAtOneOnLinux) {
  // Else the system can't back a destination of a few megabytes with large
  // pages, and faulting it page by page costs more than resizing into it.
  const size_t largePage = size_t{2} << 20;
  for (size_t bytes : {largePage, kHuge, 5 * largePage - 1}) {
    for (int round = 0; round < 3; ++round) {
      PixelMemory memory = PixelMemory::ForOverwrite(bytes);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(memory.data()) % largePage, 0u) << bytes;
      std::memset(memory.data(), 1, bytes);
    }
  }
}
#endif

TEST(PixelMemory, RowsBroughtInAheadKeepEveryByteAsWritten) {
  // Top-down and bottom-up, bringing in rows already written and rows not yet.
  for (bool topDown : {false, true}) {
    DibLayout layout;
    layout.header.biSize = 40;
    layout.header.biWidth = 300;
    layout.header.biHeight = topDown ? -600 : 600;
    layout.header.biPlanes = 1;
    layout.header.biBitCount = 32;
    Picture picture = Picture::CreateDib(layout);
    ASSERT_GE(picture.ImageBytes(), PixelMemory::kPagedBytes);
    for (int32_t y = 0; y < 300; ++y) std::memset(picture.MutableRow(y), y & 0xFF, picture.Stride());
    const bool brought = picture.PrepareRows(0, 600);
#ifdef __linux__
    EXPECT_TRUE(brought) << "this kernel populates pages";
#endif
    for (int32_t y = 0; y < 600; ++y) {
      const uint8_t expected = y < 300 ? static_cast<uint8_t>(y) : 0;
      for (size_t i = 0; i < picture.Stride(); ++i)
        ASSERT_EQ(picture.Row(y)[i], expected) << "row " << y << " byte " << i << (topDown ? " top-down" : "");
    }
    EXPECT_FALSE(picture.PrepareRows(5, 5)) << "no rows";
  }
}

TEST(PixelMemory, MemoryTheSystemRefusesIsTheResourceError) {
  try {
    PixelMemory::Zeroed(size_t{1} << 62);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::Resource);
    EXPECT_EQ(error.Text(), "Out of system resources");
  }
}

// 58 bytes that claim 16384 x 16384 pixels at 32 bits: the missing rows are
// zero, as for any file cut short, and none of them is paid for until read.
TEST(HostileClaims, AGigabyteClaimedByFourBytesOfDataReadsAndResizesLikeAnyPicture) {
  const std::vector<uint8_t> file =
      test::BmpBytes().FileHeader(58, 54).InfoHeader(16384, 16384, 32).Raw({0x10, 0x20, 0x30, 0x00});
  ASSERT_EQ(file.size(), 58u);
  const Picture picture = test::ReadBytes(file);
  ASSERT_EQ(picture.Width(), 16384);
  ASSERT_EQ(picture.Height(), 16384);
  EXPECT_EQ(picture.ReadPixel(0, 16383), test::Rgb(0x30, 0x20, 0x10));  // the bottom row comes first
  EXPECT_EQ(picture.ReadPixel(1, 16383), 0u);
  EXPECT_EQ(picture.ReadPixel(16383, 0), 0u);

  test::QuietHost host;
  const float scale = 10.0f / 16384.0f;
  Picture resized = picture;
  ResizeBitmap(resized, scale, scale, host);
  const Picture expected = reference::ReferenceRows(picture, scale, scale, 0, 10);
  ASSERT_EQ(resized.Width(), 10);
  ASSERT_EQ(resized.Height(), 10);
  EXPECT_EQ(test::PixelsOf(resized), test::PixelsOf(expected));
}

}  // namespace
}  // namespace sw
