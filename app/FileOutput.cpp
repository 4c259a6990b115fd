#include <optional>

#include "app/RunOutput.h"
#include "app/RunTexts.h"
#include "core/ByteStream.h"
#include "image/bmp/BmpRows.h"
#include "image/jpeg/JpegCodec.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

// The encoder's pieces go to the file in writes of this size.
constexpr size_t kEncodedWriteBytes = 256 * 1024;

class StreamedOutput : public FileOutput {
 public:
  StreamedOutput(const std::string& target, const ResizePlan& sizes, int format, bool progressive)
      : file_(target), encoded_(file_.Sink(), kEncodedWriteBytes), empty_(sizes.width == 0 || sizes.height == 0) {
    if (format == kFormatBmp) {
      bmp_.emplace(file_.Sink(), sizes.width, sizes.height);
    } else {
      jpeg_.emplace(encoded_);
      jpeg_->Start(sizes.width, sizes.height, progressive);
    }
  }

  // Both writers take the rows as a display-compatible picture stores them.
  OutputRows Rows() override { return OutputRows::InRing(); }

  void TakeRow(int32_t y, const uint8_t* row) override {
    if (empty_) return;  // a picture without pixels has no rows to write
    if (bmp_) {
      bmp_->WriteRow(y, row);
    } else {
      jpeg_->WriteRow(row);
    }
  }

  void RowsComplete() override {
    if (jpeg_) jpeg_->Finish();
    encoded_.Flush();
  }

  void Commit() override { file_.Commit(); }

 private:
  ReplacementFile file_;
  BufferedSink encoded_;
  const bool empty_;
  std::optional<BmpRowWriter> bmp_;
  std::optional<jpeg::RowEncoder> jpeg_;
};

}  // namespace

std::unique_ptr<FileOutput> FileOutput::Make(const std::string& target, const ResizePlan& sizes, int format,
                                             bool progressive, PictureRowSource& source,
                                             const std::string& sourcePath) {
  // The window would fail making its destination first.
  Picture::CheckDisplayCompatibleSize(sizes.width, sizes.height);
  // The window has read the whole source before it writes, so the target
  // may be the source itself.
  if (IsSameFile(sourcePath, target)) source.HoldInMemory();
  return std::make_unique<StreamedOutput>(target, sizes, format, progressive);
}

}  // namespace sw
