#pragma once
// A picture file read row by row, top row first, by the picture-type rule:
// BMP files through BmpRowReader, everything else through the JPEG row
// decoder. What it gives is what the window's Browse reads, a row at a time.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "image/picture/StoredRowForm.h"

namespace sw {

class PictureRowSource {
 public:
  virtual ~PictureRowSource() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // How each row is stored: as in the picture the window reads.
  virtual const StoredRowForm& Form() const = 0;
  // Whether a JPEG save after reading this source is progressive, as the
  // window's WorkJpeg would have it in a fresh program.
  virtual bool WriteProgressive() const = 0;

  // The next row, in order: into `target` (Form().bytes), or passed over
  // when `target` is null. A failure is kept and raised again by every later
  // call, Drain's included.
  void NextRow(uint8_t* target);
  int32_t RowsRead() const { return next_; }
  // Whether rows are read where they lie, so that passing over any number
  // of them costs nothing (BMP); else each is decoded in turn (JPEG).
  virtual bool PassesOverFree() const { return false; }
  // Passes over the rows before `row` not read yet, when PassesOverFree.
  void PassOverTo(int32_t row);
  // The rest of the file, as the window's read goes to its end: every row
  // not read yet, then what follows them. Raises the reader's failure, the
  // one met before included.
  void Drain();
  // Reads the whole file into memory and closes it, so that a file written
  // in its place can take its name while its rows are still to be read.
  virtual void HoldInMemory() = 0;

 protected:
  virtual void ReadRow(int32_t row, uint8_t* target) = 0;
  virtual void Finish() {}

 private:
  int32_t next_ = 0;
  bool finished_ = false;
  std::exception_ptr failure_;
};

// Opens `path` by the picture-type rule and reads up to its first row, with
// the failures of the window's Browse in the same order. `eightBitOutput` as
// for WorkJpeg.
std::unique_ptr<PictureRowSource> OpenPictureRows(const std::string& path, bool eightBitOutput);

}  // namespace sw
