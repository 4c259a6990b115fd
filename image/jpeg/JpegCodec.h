#pragma once
// How the program drives libjpeg: the header check of a load, the decode of a
// copy and the encode of a save, whole pictures in memory, and the same
// decode and encode row by row for a job that streams (RowDecoder,
// RowEncoder), which the whole-picture functions are built on. WorkJpeg
// (Jpeg.h) keeps the state between these; the fuzz target calls them
// directly. Every failure is raised as the program's error after the library
// object is destroyed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/ByteStream.h"
#include "image/picture/Picture.h"

namespace sw::jpeg {

// Colours of 8-bit output, whether quantized for a grey file or for a screen
// of 8 bits or fewer.
constexpr int kQuantizedColors = 236;

// Scans past this many are ignored as if the file ended there: each scan of a
// progressive file costs a pass over the whole image, and no real file has
// anywhere near this many.
constexpr int kMaxScans = 500;

struct HeaderInfo {
  bool read = false;  // the markers up to the first start-of-scan were read
  uint32_t width = 0;
  uint32_t height = 0;
  int components = 0;
  bool multipleScans = false;  // jpeg_has_multiple_scans
};

// Reads the markers up to the first start-of-scan, as a load does.
HeaderInfo ReadHeader(const uint8_t* data, size_t size);

// Decodes the whole file: a 24-bit DIB picture, or an 8-bit one with the
// library's colour map as palette for grey files and when `eightBitOutput`.
// Four-component (CMYK, YCCK) files become 24-bit pictures too.
Picture Decode(const uint8_t* data, size_t size, bool eightBitOutput);

// Encodes the picture as a JFIF file, quality 90, baseline or progressive.
// No picture, or an empty one, gives no bytes at all.
std::vector<uint8_t> Encode(const Picture* picture, bool progressive);

struct DecodeJob;
struct EncodeJob;

// A decode of the `size` bytes of `source`, one row at a time, top row first:
// what Decode does, without the picture.
class RowDecoder {
 public:
  RowDecoder(ByteSource& source, uint64_t size, bool eightBitOutput);
  ~RowDecoder();
  RowDecoder(const RowDecoder&) = delete;
  RowDecoder& operator=(const RowDecoder&) = delete;

  // Reads the header, sets the decode up and starts it: every failure that a
  // load and the start of a copy meet, in their order.
  void Start();
  const HeaderInfo& Header() const;
  // After Start: the picture's size and form. A paletted picture's rows are
  // colour indices into Palette(); the others' blue, green, red.
  int32_t Width() const;
  int32_t Height() const;
  bool Paletted() const;
  std::vector<PaletteEntry> Palette() const;
  // The next row into `row`, in the decoded picture's DIB form (Width()
  // bytes, or 3 x Width()).
  void ReadRow(uint8_t* row);
  // Whether PassOver may be used: rows of a single scan, not quantized.
  bool PassesOver() const;
  // Passes over the next `rows` rows, decoding only as much as finding
  // where they end takes; the rows after them are those ReadRow would give.
  void PassOver(int32_t rows);
  // After the last row: the rest of the file, as the end of a copy reads it.
  void Finish();

 private:
  std::unique_ptr<DecodeJob> job_;
};

// An encode into `sink`, one row at a time, top row first: what Encode does,
// without the picture. Empty pictures give no bytes and take no rows.
class RowEncoder {
 public:
  explicit RowEncoder(ByteSink& sink);
  ~RowEncoder();
  RowEncoder(const RowEncoder&) = delete;
  RowEncoder& operator=(const RowEncoder&) = delete;

  // Raises the too-big error for a side above 65500 before any row.
  void Start(int32_t width, int32_t height, bool progressive);
  // The next row as a display-compatible picture stores it: blue, green,
  // red and an unused byte for each pixel.
  void WriteRow(const uint8_t* bgrx);
  void Finish();

 private:
  ByteSink& sink_;
  std::unique_ptr<EncodeJob> job_;
};

// Blue, green, red, 0 per pixel from the colour values of a row.
void PackBgrx(const ColorValue* colors, uint8_t* bgrx, size_t width);

}  // namespace sw::jpeg
