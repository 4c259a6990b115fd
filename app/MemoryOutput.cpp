#include <exception>
#include <optional>
#include <vector>

#include "app/RunOutput.h"
#include "app/RunTexts.h"
#include "core/ByteStream.h"
#include "core/Messages.h"
#include "image/bmp/Bmp.h"
#include "image/jpeg/JpegCodec.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

// Red, green, blue per pixel from the destination's blue, green, red, 0.
void BgrxToRgb(const uint8_t* pixels, int32_t width, uint8_t* rgb) {
  for (size_t x = 0; x < static_cast<size_t>(width); ++x, pixels += 4, rgb += 3) {
    rgb[0] = pixels[2];
    rgb[1] = pixels[1];
    rgb[2] = pixels[0];
  }
}

class HeldOutput : public MemoryOutput {
 public:
  HeldOutput(const ResizePlan& sizes, int format, bool progressive)
      : destination_(Picture::CreateDisplayCompatibleForOverwrite(sizes.width, sizes.height)), format_(format) {
    if (format_ != kFormatJpg || destination_.IsEmpty()) return;
    Encode([&] {
      encoder_.emplace(encoded_);
      encoder_->Start(sizes.width, sizes.height, progressive);
      rgb_.resize(3 * static_cast<size_t>(sizes.width));
    });
  }

  OutputRows Rows() override { return OutputRows::InPicture(destination_); }

  void TakeRow(int32_t, const uint8_t* row) override {
    if (!encoder_) return;
    Encode([&] {
      BgrxToRgb(row, destination_.Width(), rgb_.data());
      encoder_->WriteRow(rgb_.data());
    });
  }

  void RowsComplete() override {
    if (encoder_) Encode([&] { encoder_->Finish(); });
  }

  const Picture& Destination() const override { return destination_; }

  void SaveTo(const std::string& path, Picture& picture) override {
    if (failure_) std::rethrow_exception(failure_);
    if (format_ == kFormatBmp) {
      SaveBmpFile(picture, path);
    } else {
      ReplaceFileWith(path, [&](ByteSink& sink) { encoded_.WriteTo(sink); });
    }
  }

 private:
  // The encoding's failure waits for the save; the encoding stops there.
  template <typename Step>
  void Encode(Step step) {
    try {
      step();
    } catch (const std::bad_alloc&) {
      failure_ = std::make_exception_ptr(msg::OutOfMemory());
      encoder_.reset();
    } catch (...) {
      failure_ = std::current_exception();
      encoder_.reset();
    }
  }

  Picture destination_;
  const int format_;
  BlockSink encoded_;
  std::optional<jpeg::RowEncoder> encoder_;
  std::vector<uint8_t> rgb_;
  std::exception_ptr failure_;
};

}  // namespace

std::unique_ptr<MemoryOutput> MemoryOutput::Make(const ResizePlan& sizes, int format, bool progressive) {
  return std::make_unique<HeldOutput>(sizes, format, progressive);
}

}  // namespace sw
