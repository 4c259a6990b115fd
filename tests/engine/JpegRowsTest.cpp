#include <gtest/gtest.h>

#include <new>

#include "JpegTestSupport.h"
#include "core/Messages.h"
#include "image/jpeg/JpegCodec.h"

namespace sw {
namespace {

using jpegtest::Bytes;
using jpegtest::FileRecipe;

// The first `limit` bytes of a file that claims to be longer, as a file that
// shrinks while it is read, or that fails part way, looks to its reader.
class ShortSource : public ByteSource {
 public:
  ShortSource(const Bytes& bytes, size_t limit) : bytes_(bytes), limit_(limit) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = std::min(count, limit_ - std::min(limit_, position_));
    std::copy(bytes_.begin() + static_cast<long>(position_), bytes_.begin() + static_cast<long>(position_ + n),
              static_cast<uint8_t*>(buffer));
    position_ += n;
    return n;
  }

 private:
  const Bytes& bytes_;
  size_t limit_;
  size_t position_ = 0;
};

// Takes `capacity` bytes, then fails as its kind of sink does.
class FullSink : public ByteSink {
 public:
  FullSink(size_t capacity, bool memory) : capacity_(capacity), memory_(memory) {}
  void Write(const void*, size_t count) override {
    if (taken_ + count > capacity_) {
      if (memory_) throw std::bad_alloc();
      throw msg::WriteError();
    }
    taken_ += count;
  }

 private:
  size_t capacity_;
  bool memory_;
  size_t taken_ = 0;
};

std::string DecodeFailure(ByteSource& source, uint64_t size) {
  try {
    jpeg::RowDecoder decoder(source, size, false);
    decoder.Start();
    std::vector<uint8_t> row(static_cast<size_t>(decoder.Width()) * 3);
    for (int32_t y = 0; y < decoder.Height(); ++y) decoder.ReadRow(row.data());
    decoder.Finish();
  } catch (const Error& error) {
    return error.Text();
  }
  return "";
}

TEST(JpegRowDecoding, RowsReadOneAtATimeAreTheWholeDecodesRows) {
  FileRecipe grey;
  grey.components = 1;
  grey.inSpace = JCS_GRAYSCALE;
  FileRecipe cmyk;
  cmyk.components = 4;
  cmyk.inSpace = JCS_CMYK;
  cmyk.fileSpace = JCS_YCCK;
  FileRecipe progressive;
  progressive.progressive = true;
  for (const FileRecipe& recipe : {FileRecipe{}, grey, cmyk, progressive}) {
    for (bool eightBit : {false, true}) {
      const Bytes file = jpegtest::MakeJpegFile(recipe);
      const Picture whole = jpeg::Decode(file.data(), file.size(), eightBit);
      MemorySource source(file);
      jpeg::RowDecoder decoder(source, file.size(), eightBit);
      decoder.Start();
      ASSERT_EQ(decoder.Width(), whole.Width());
      ASSERT_EQ(decoder.Height(), whole.Height());
      ASSERT_EQ(decoder.Paletted(), whole.BitsPerPixel() == 8);
      if (decoder.Paletted()) EXPECT_EQ(decoder.Palette().size(), whole.ColorTable().size());
      const size_t bytes = static_cast<size_t>(whole.Width()) * (decoder.Paletted() ? 1 : 3);
      std::vector<uint8_t> row(bytes);
      for (int32_t y = 0; y < whole.Height(); ++y) {
        decoder.ReadRow(row.data());
        ASSERT_TRUE(std::equal(row.begin(), row.end(), whole.Row(y))) << recipe.components << " row " << y;
      }
      decoder.Finish();
    }
  }
}

TEST(JpegRowDecoding, AFileThatGivesFewerBytesThanItsSizeIsAReadError) {
  FileRecipe recipe;
  recipe.width = 200;
  recipe.height = 120;
  const Bytes file = jpegtest::MakeJpegFile(recipe);
  for (size_t limit : {size_t{0}, size_t{100}, file.size() / 2, file.size() - 1}) {
    ShortSource source(file, limit);
    EXPECT_EQ(DecodeFailure(source, file.size()), "Stream read error") << limit;
  }
  ShortSource whole(file, file.size());
  EXPECT_EQ(DecodeFailure(whole, file.size()), "");
}

TEST(JpegRowEncoding, ASinkThatFillsUpEndsTheEncodeWithItsOwnError) {
  const Picture picture = jpegtest::PatternPicture(300, 200);
  for (bool memory : {false, true}) {
    for (bool progressive : {false, true}) {
      FullSink sink(10000, memory);
      jpeg::RowEncoder encoder(sink);
      std::string failure;
      try {
        encoder.Start(picture.Width(), picture.Height(), progressive);
        std::vector<ColorValue> colors(300);
        std::vector<uint8_t> rgb(900);
        for (int32_t y = 0; y < picture.Height(); ++y) {
          picture.ReadRow(y, colors.data());
          jpeg::PackRgb(colors.data(), rgb.data(), colors.size());
          encoder.WriteRow(rgb.data());
        }
        encoder.Finish();
      } catch (const Error& error) {
        failure = error.Text();
      }
      EXPECT_EQ(failure, memory ? "Out of memory while expanding memory stream" : "Stream write error")
          << progressive;
    }
  }
}

TEST(JpegRowEncoding, AnEmptyPictureTakesNoRowsAndGivesNoBytes) {
  MemorySink sink;
  jpeg::RowEncoder encoder(sink);
  encoder.Start(0, 7, true);
  encoder.Finish();
  EXPECT_TRUE(sink.Bytes().empty());
}

}  // namespace
}  // namespace sw
