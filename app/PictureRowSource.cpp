#include "app/PictureRowSource.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "app/PictureType.h"
#include "core/Messages.h"
#include "image/bmp/BmpRows.h"
#include "image/jpeg/JpegCodec.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

// The source file, or its bytes once it has been let go: read in order or at
// any offset alike.
class SourceFile : public InputFile {
 public:
  explicit SourceFile(std::unique_ptr<InputFile> file) : file_(std::move(file)), size_(file_->Size()) {}
  uint64_t Size() const override { return size_; }
  size_t Read(void* buffer, size_t count) override {
    const size_t got = ReadAt(position_, buffer, count);
    position_ += got;
    return got;
  }
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (file_) return file_->ReadAt(offset, buffer, count);
    if (offset >= bytes_.size()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  // A file that can't be held in memory fails as a memory stream does when
  // it can't grow.
  void HoldInMemory() {
    if (!file_) return;
    if (size_ > bytes_.max_size()) throw msg::OutOfMemoryExpandingStream();
    try {
      bytes_.resize(static_cast<size_t>(size_));
    } catch (const std::bad_alloc&) {
      throw msg::OutOfMemoryExpandingStream();
    }
    if (file_->ReadAt(0, bytes_.data(), bytes_.size()) != bytes_.size()) throw msg::ReadError();
    file_.reset();
  }

 private:
  std::unique_ptr<InputFile> file_;
  const uint64_t size_;
  uint64_t position_ = 0;
  std::vector<uint8_t> bytes_;
};

class BmpRowSource : public PictureRowSource {
 public:
  explicit BmpRowSource(std::unique_ptr<InputFile> file) : file_(std::move(file)), reader_(file_) {}
  int32_t Width() const override { return reader_.Width(); }
  int32_t Height() const override { return reader_.Height(); }
  const StoredRowForm& Form() const override { return reader_.Form(); }
  void HoldInMemory() override { file_.HoldInMemory(); }
  bool PassesOverFree() const override { return true; }

 protected:
  // Rows are read where they lie: one passed over costs nothing.
  void ReadRow(int32_t row, uint8_t* target) override {
    if (target != nullptr) reader_.ReadRow(row, target);
  }

 private:
  SourceFile file_;
  BmpRowReader reader_;
};

// The file is read in blocks of this size; the library still takes it in its
// own chunks, at the same places as from a file held in memory.
constexpr size_t kFileReadBytes = 64 * 1024;

// The next row of `decoder` into `target`, or into `scratch` when the row is
// passed over: the library decodes every row in order, also those.
void ReadJpegRow(jpeg::RowDecoder& decoder, std::vector<uint8_t>& scratch, size_t bytes, uint8_t* target) {
  if (target == nullptr) {
    scratch.resize(bytes);
    target = scratch.data();
  }
  decoder.ReadRow(target);
}

// A second decode of a JPEG file, from a row on: the rows above it passed
// over by the library, which then decodes the rest as the first decode does.
class JpegRowsAlongside : public RowStream {
 public:
  JpegRowsAlongside(SourceFile& file, bool eightBitOutput, const StoredRowForm& form)
      : view_(file, 0), blocks_(view_, kFileReadBytes), decoder_(blocks_, file.Size(), eightBitOutput), form_(form) {}
  // False when the file, read again, is not a picture of `width` x `height`
  // whose rows can be passed over.
  bool StartAt(int32_t width, int32_t height, int32_t row) {
    decoder_.Start();
    if (!decoder_.PassesOver() || decoder_.Width() != width || decoder_.Height() != height || row >= height) return false;
    if (row > 0) decoder_.PassOver(row);
    RowStream::StartAt(row);
    return true;
  }
  int32_t Width() const override { return decoder_.Width(); }
  int32_t Height() const override { return decoder_.Height(); }
  const StoredRowForm& Form() const override { return form_; }

 protected:
  void ReadRow(int32_t, uint8_t* target) override { ReadJpegRow(decoder_, scratch_, form_.bytes, target); }
  void Finish() override { decoder_.Finish(); }

 private:
  ReaderAt view_;  // the file from its start, at offsets of its own
  BufferedSource blocks_;
  jpeg::RowDecoder decoder_;
  const StoredRowForm form_;
  std::vector<uint8_t> scratch_;
};

class JpegRowSource : public PictureRowSource {
 public:
  JpegRowSource(std::unique_ptr<InputFile> file, WorkJpeg& jpeg)
      : file_(std::move(file)),
        blocks_(file_, kFileReadBytes),
        eightBitOutput_(jpeg.EightBitOutput()),
        decoder_(blocks_, file_.Size(), eightBitOutput_) {
    jpeg.StartLoadAsRows();
    try {
      decoder_.Start();
    } catch (...) {
      // A header read before the failure counts as loaded, as the load would
      // have passed and only the copy failed.
      if (decoder_.Header().read) jpeg.LoadedHeader(decoder_.Header().multipleScans);
      throw;
    }
    jpeg.LoadedHeader(decoder_.Header().multipleScans);
    const int32_t width = decoder_.Width();
    const uint32_t noMasks[3] = {0, 0, 0};
    if (decoder_.Paletted()) {
      form_ = std::make_unique<StoredRowForm>(8, kBiRgb, noMasks, decoder_.Palette(), static_cast<size_t>(width));
    } else {
      form_ = std::make_unique<StoredRowForm>(24, kBiRgb, noMasks, std::vector<PaletteEntry>(),
                                              static_cast<size_t>(width) * 3);
    }
    readsAlongside_ = decoder_.PassesOver();
  }
  int32_t Width() const override { return decoder_.Width(); }
  int32_t Height() const override { return decoder_.Height(); }
  const StoredRowForm& Form() const override { return *form_; }
  void HoldInMemory() override { file_.HoldInMemory(); }
  bool ReadsAlongside() const override { return readsAlongside_; }
  // Reads only the file, which reads at offsets of its own, and what never
  // changes after the start.
  std::unique_ptr<RowStream> OpenAlongside(int32_t row) override {
    if (!readsAlongside_) return nullptr;
    auto alongside = std::make_unique<JpegRowsAlongside>(file_, eightBitOutput_, *form_);
    if (!alongside->StartAt(Width(), Height(), row)) return nullptr;
    return alongside;
  }

 protected:
  void ReadRow(int32_t, uint8_t* target) override { ReadJpegRow(decoder_, scratch_, form_->bytes, target); }
  void Finish() override { decoder_.Finish(); }

 private:
  SourceFile file_;
  BufferedSource blocks_;
  const bool eightBitOutput_;
  jpeg::RowDecoder decoder_;
  std::unique_ptr<StoredRowForm> form_;
  bool readsAlongside_ = false;
  std::vector<uint8_t> scratch_;
};

}  // namespace

std::unique_ptr<PictureRowSource> OpenPictureRows(const std::string& path, WorkJpeg& jpeg) {
  std::unique_ptr<InputFile> file = OpenInputFile(path);
  if (IsBmpPath(path)) return std::make_unique<BmpRowSource>(std::move(file));
  return std::make_unique<JpegRowSource>(std::move(file), jpeg);
}

}  // namespace sw
