#pragma once
// One resize's output rows, made in row order from the source rows each one
// reads: the plan's tables, the row makers and the threads that run them
// behind one object. Whatever the rows come from (a picture in memory, rows
// decoded as they are needed) and wherever they go (a picture, an encoder,
// the rows of a file), the caller takes row y once it is complete, hands it
// on, and says it is used; the core then tells its source which rows no
// later output row reads. Its threads start with it and are stopped and
// joined when it goes, on every way out.

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "image/picture/Picture.h"
#include "image/resize/ResizePlan.h"
#include "image/resize/ResizeStats.h"
#include "image/resize/RowMaker.h"
#include "image/resize/RowSchedule.h"
#include "image/resize/SourceRows.h"

namespace sw {

// Where the output rows are made.
class OutputRows {
 public:
  // In place in `destination`, a display-compatible picture of the plan's
  // size: every row stays where it is made.
  static OutputRows InPicture(Picture& destination) { return OutputRows(&destination); }
  // In a small ring of the core's own, laid out as the picture's: a row's
  // place is made again once the row has been used.
  static OutputRows InRing() { return OutputRows(nullptr); }

  // The picture the rows are made in; null for a ring.
  Picture* Destination() const { return picture_; }

 private:
  friend class ResizeCore;
  explicit OutputRows(Picture* picture) : picture_(picture) {}
  Picture* picture_;
};

// Output rows first .. end - 1: the part of a resize one core makes, when
// other rows are made elsewhere.
struct RowSpan {
  int32_t first = 0;
  int32_t end = INT32_MAX;  // clamped to the destination's height
};

class ResizeCore {
 public:
  // Whether the resize has the processors to itself, or shares them with a
  // decoder and an encoder running alongside: then a second computing
  // thread pays only on larger pictures. kOnCallingThread: every row is made
  // on the thread that takes it, which is where its source is read.
  enum class Company { kAlone, kBesideCodecs, kOnCallingThread };

  // The rows of `plan` (its sizes planned, its tables not yet made) in
  // `span`, from `source`, made into `rows`. Raises the out-of-memory error
  // when the tables or the working rows can't be had.
  ResizeCore(ResizePlan plan, SourceRows& source, OutputRows rows, Company company, RowSpan span = {});
  ~ResizeCore();
  ResizeCore(const ResizeCore&) = delete;
  ResizeCore& operator=(const ResizeCore&) = delete;

  const ResizePlan& Plan() const { return plan_; }
  // The output rows it makes, taken in order from the first.
  const RowSpan& Span() const { return span_; }

  // How many output rows past the last one used the core may have made: what
  // a source decoded alongside must hold rows for.
  static int32_t RowsInFlight(const ResizePlan& sizes, Company company);

  // Output row y, rows of the span taken in order: waits until it is made, making rows
  // on the calling thread meanwhile (4 x W' bytes, in the rows' order); null
  // for a destination without columns. A failure of any thread, the
  // source's included, is raised here.
  const uint8_t* Complete(int32_t y);
  // Row y has been handed on: its place, and the source rows no later
  // output row reads, are free.
  void Used(int32_t y);

  // What the rows made so far computed, and how.
  ResizeStats Stats() const;

 private:
  uint8_t* PlaceOf(int32_t y) const;

  ResizePlan plan_;
  RowSpan span_;
  SourceRows& source_;
  void PrepareDestination(const Picture& destination);

  uint8_t* pictureBits_ = nullptr;  // rows made in a picture: its store
  size_t pictureStride_ = 0;
  bool pictureTopDown_ = false;
  int32_t ringRows_ = 0;
  size_t rowBytes_ = 0;
  std::unique_ptr<uint8_t[]> ring_;
  std::atomic<int32_t> used_{0};
  std::vector<RowMaker> makers_;
  std::atomic<bool> stopping_{false};
  std::optional<Picture> prepared_;  // the destination, shared for as long as the preparer reads it
  std::thread preparer_;             // brings the destination's memory in ahead of the rows
  std::optional<RowSchedule> schedule_;
};

}  // namespace sw
