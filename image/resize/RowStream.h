#pragma once
// A picture read row by row, top row first, as a decoder gives it: every row
// in turn, or passed over, and then the rest of the file. What a resize that
// never holds the whole source reads (DecodedRows runs it on a thread of its
// own).

#include <cstdint>
#include <exception>
#include <memory>

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

  // Whether OpenAlongside may give a second reader: where a row can be
  // found without decoding every row above it in full.
  virtual bool ReadsAlongside() const { return false; }
  // A second reader of the same file, from row `row` on (the rows above it
  // passed over, at the cost of finding where they end), which reads on its
  // own while this one is read on another thread: its rows, and its end of
  // the file, are this one's. Null when there is none, or when the file,
  // read again, is not the picture this one reads. Raises the failures of
  // getting there. Safe to call on another thread while this one is read.
  virtual std::unique_ptr<RowStream> OpenAlongside(int32_t row);
  // A reader alongside, opened by OpenAlongside, read the rest of the file
  // to its end without a failure: this one counts as drained.
  void EndedAlongside();

 protected:
  virtual void ReadRow(int32_t row, uint8_t* target) = 0;
  virtual void Finish() {}
  // A reader opened alongside starts at its row.
  void StartAt(int32_t row) { next_ = row; }

 private:
  int32_t next_ = 0;
  bool finished_ = false;
  std::exception_ptr failure_;
};

}  // namespace sw
