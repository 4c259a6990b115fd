#include <exception>
#include <optional>

#include "app/RunOutput.h"
#include "app/RunTexts.h"
#include "core/ByteStream.h"
#include "image/bmp/Bmp.h"
#include "image/jpeg/EncoderThread.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

class HeldOutput : public MemoryOutput {
 public:
  HeldOutput(const ResizePlan& sizes, int format, bool progressive)
      : destination_(Picture::CreateDisplayCompatibleForOverwrite(sizes.width, sizes.height)),
        format_(format),
        progressive_(progressive) {}

  OutputRows Rows() override { return OutputRows::InPicture(destination_); }

  void TakeRow(int32_t y, const uint8_t*) override {
    if (format_ != kFormatJpg || destination_.IsEmpty()) return;  // an empty picture is an empty file
    // The encoder has a thread of its own: the window's thread handles its
    // messages after every row and must not wait for it. It starts with the
    // first row, once the rows are being made into the store, which it then
    // shares.
    if (!encoder_) encoder_.emplace(destination_, progressive_, encoded_);
    encoder_->RowsComplete(y + 1);
  }

  void RowsComplete() override {}

  // The picture leaves alone: a BMP save gives it its DIB form, which would
  // copy a store shared with this.
  Picture TakeDestination() override { return std::move(destination_); }

  void SaveTo(const std::string& path, Picture& picture) override {
    if (format_ == kFormatBmp) {
      SaveBmpFile(picture, path);
      return;
    }
    // The encode's failure is the save's, reported before the target is touched.
    if (encoder_) encoder_->Wait();
    ReplaceFileWith(path, [&](ByteSink& sink) { encoded_.WriteTo(sink); });
  }

 private:
  Picture destination_;
  const int format_;
  const bool progressive_;
  BlockSink encoded_;
  std::optional<jpeg::EncoderThread> encoder_;  // stopped before the bytes go
};

}  // namespace

std::unique_ptr<MemoryOutput> MemoryOutput::Make(const ResizePlan& sizes, int format, bool progressive) {
  return std::make_unique<HeldOutput>(sizes, format, progressive);
}

}  // namespace sw
