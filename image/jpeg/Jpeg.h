#pragma once
// The JPEG codec object: reads JPEG files into the working image and writes
// the working image as a JPEG (JFIF) file through libjpeg.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/picture/Picture.h"

namespace sw {

class WorkJpeg {
 public:
  // `EightBitOutput` is decided once at start-up from the screen (8 bits per
  // pixel or fewer); when true, every decoded picture is 8-bit paletted.
  explicit WorkJpeg(bool EightBitOutput = false) : eightBitOutput_(EightBitOutput) {}

  // Reads the whole file into EncodedData and checks its header; sets
  // WriteProgressive from a non-empty file.
  void LoadFromFile(const std::string& path);
  // Decodes EncodedData unless a HeldPicture is there; `picture` becomes a copy of it.
  void CopyInto(Picture& picture);
  // HeldPicture becomes a copy of `picture`; EncodedData becomes none.
  void TakeCopyOf(const Picture& picture);
  // Encodes HeldPicture unless EncodedData is there, then writes EncodedData
  // to `path`, replacing an existing file only by a complete new one.
  void SaveToFile(const std::string& path);

  // A load and a copy made elsewhere row by row (by a resize that never holds
  // the whole source): they leave what a load leaves, without the file's
  // bytes. The load starts: nothing is held any more.
  void StartLoadAsRows();
  // Its header has been read: WriteProgressive is set from it as a load sets it.
  void LoadedHeader(bool multipleScans) { writeProgressive_ = multipleScans; }

  bool EightBitOutput() const { return eightBitOutput_; }
  const std::optional<std::vector<uint8_t>>& EncodedData() const { return encodedData_; }
  const std::optional<Picture>& HeldPicture() const { return heldPicture_; }
  bool WriteProgressive() const { return writeProgressive_; }

 private:
  std::optional<std::vector<uint8_t>> encodedData_;
  std::optional<Picture> heldPicture_;
  bool writeProgressive_ = false;
  const bool eightBitOutput_;
};

}  // namespace sw
