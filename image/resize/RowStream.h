#pragma once
// A picture read row by row, top row first, as a decoder gives it: every row
// in turn, or passed over, and then the rest of the file. What a resize that
// never holds the whole source reads (DecodedRows runs it on a thread of its
// own).

#include <cstdint>
#include <exception>

#include "image/picture/StoredRowForm.h"

namespace sw {

class RowStream {
 public:
  virtual ~RowStream() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // How each row is stored.
  virtual const StoredRowForm& Form() const = 0;

  // The next row, in order: into `target` (Form().bytes), or passed over
  // when `target` is null. A failure is kept and raised again by every later
  // call, Drain's included.
  void NextRow(uint8_t* target);
  int32_t RowsRead() const { return next_; }
  // Whether rows are read where they lie, so that passing over any number
  // of them costs nothing; else each is decoded in turn.
  virtual bool PassesOverFree() const { return false; }
  // Passes over the rows before `row` not read yet, when PassesOverFree.
  void PassOverTo(int32_t row);
  // The rest of the file, as a whole-picture read goes to its end: every
  // row not read yet, then what follows them. Raises the reader's failure,
  // the one met before included.
  void Drain();

 protected:
  virtual void ReadRow(int32_t row, uint8_t* target) = 0;
  virtual void Finish() {}

 private:
  int32_t next_ = 0;
  bool finished_ = false;
  std::exception_ptr failure_;
};

}  // namespace sw
