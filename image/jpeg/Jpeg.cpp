#include "image/jpeg/Jpeg.h"

#include <limits>
#include <memory>
#include <new>

#include "core/Messages.h"
#include "image/jpeg/JpegCodec.h"
#include "platform/FileAccess.h"

namespace sw {

namespace {

// The whole file, first byte to last; a file that can't be held in memory
// fails as a memory stream does when it can't grow.
std::vector<uint8_t> ReadWholeFile(InputFile& file) {
  const uint64_t size = file.Size();
  std::vector<uint8_t> bytes;
  if (size > std::numeric_limits<size_t>::max() || size > bytes.max_size()) throw msg::OutOfMemoryExpandingStream();
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw msg::OutOfMemoryExpandingStream();
  }
  file.ReadExact(bytes.data(), bytes.size());
  return bytes;
}

}  // namespace

void WorkJpeg::LoadFromFile(const std::string& path) {
  {
    const std::unique_ptr<InputFile> file = OpenInputFile(path);
    heldPicture_.reset();
    encodedData_.reset();
    encodedData_ = ReadWholeFile(*file);
  }  // the file is closed before its header is checked
  // A failed header check keeps the bytes: the copy would fail on them too.
  if (!encodedData_->empty())
    writeProgressive_ = jpeg::ReadHeader(encodedData_->data(), encodedData_->size()).multipleScans;
}

void WorkJpeg::StartLoadAsRows() {
  heldPicture_.reset();
  encodedData_.reset();
}

void WorkJpeg::CopyInto(Picture& picture) {
  if (!heldPicture_) {
    // Nothing loaded decodes as an empty file does.
    const uint8_t* data = encodedData_ ? encodedData_->data() : nullptr;
    const size_t size = encodedData_ ? encodedData_->size() : 0;
    heldPicture_ = jpeg::Decode(data, size, eightBitOutput_);
  }
  picture = *heldPicture_;
}

void WorkJpeg::TakeCopyOf(const Picture& picture) {
  encodedData_.reset();
  heldPicture_ = picture;
}

void WorkJpeg::SaveToFile(const std::string& path) {
  // Encoding first means a failed encode leaves an earlier target untouched,
  // and only a complete encode is kept as EncodedData.
  if (!encodedData_) encodedData_ = jpeg::Encode(heldPicture_ ? &*heldPicture_ : nullptr, writeProgressive_);
  const std::vector<uint8_t>& bytes = *encodedData_;
  ReplaceFileWith(path, [&bytes](ByteSink& sink) {
    if (!bytes.empty()) sink.Write(bytes.data(), bytes.size());
  });
}

}  // namespace sw
