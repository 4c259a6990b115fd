// A streamed shrink whose lower rows come from a second reader of the source,
// read alongside the first, against the same resize read by one reader: the
// same rows, progress and end, and the same failure after the same rows
// wherever in the file it lies, whatever happens to the second reader.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "image/picture/StoredRowForm.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/StreamedResize.h"

namespace sw {
namespace {

using Bytes = std::vector<uint8_t>;

// What both readers of the source read, and what goes wrong in it.
struct SourceFile {
  int32_t width = 40;
  int32_t height = 300;
  int32_t faultyRow = -1;      // reading it fails, for either reader
  bool endFails = false;       // what follows the last row fails
  bool secondReader = true;    // a second reader may be had
  bool secondOpenFails = false;  // getting the second reader to its row fails on its own
  int32_t secondFailsAt = -1;  // the second reader alone fails at this row
};

class SourceReader : public RowStream {
 public:
  SourceReader(const SourceFile& file, bool second)
      : file_(file), second_(second), form_(24, kBiRgb, kNoMasks, {}, 3 * static_cast<size_t>(file.width)) {}
  int32_t Width() const override { return file_.width; }
  int32_t Height() const override { return file_.height; }
  const StoredRowForm& Form() const override { return form_; }
  bool ReadsAlongside() const override { return !second_ && file_.secondReader; }
  std::unique_ptr<RowStream> OpenAlongside(int32_t row) override {
    if (!ReadsAlongside()) return nullptr;
    // Passing over the rows above meets a fault in them.
    if (file_.secondOpenFails || (file_.faultyRow >= 0 && file_.faultyRow < row)) throw msg::ReadError();
    auto reader = std::make_unique<SourceReader>(file_, true);
    reader->StartAt(row);
    return reader;
  }

 protected:
  void ReadRow(int32_t row, uint8_t* target) override {
    if (row == file_.faultyRow) throw msg::ReadError();
    if (second_ && row == file_.secondFailsAt) throw msg::OutOfMemory();
    if (target == nullptr) return;
    for (int32_t x = 0; x < file_.width; ++x) {
      target[3 * x] = static_cast<uint8_t>(x * 7 + row * 3);
      target[3 * x + 1] = static_cast<uint8_t>(x * row + 11);
      target[3 * x + 2] = static_cast<uint8_t>((x ^ row) * 5);
    }
  }
  void Finish() override {
    if (file_.endFails) throw msg::ReadError();
  }

 private:
  static constexpr uint32_t kNoMasks[3] = {0, 0, 0};
  const SourceFile& file_;
  const bool second_;
  const StoredRowForm form_;
};

struct Outcome {
  bool completed = false;
  std::vector<Bytes> rows;
  std::vector<int> progress;  // -1 for the end of the rows
  std::string failure;
  int32_t rowsAlongside = 0;

  bool operator==(const Outcome& other) const {
    return completed == other.completed && rows == other.rows && progress == other.progress &&
           failure == other.failure;
  }
};

class Recorder : public RowSink, public ResizeHost {
 public:
  Recorder(Outcome& outcome, int32_t width, int stopAfter) : outcome_(outcome), width_(width), stopAfter_(stopAfter) {}
  void TakeRow(int32_t, const uint8_t* row) override { outcome_.rows.emplace_back(row, row + 4 * width_); }
  void RowDone(int percent) override { outcome_.progress.push_back(percent); }
  bool ShouldStop() override { return static_cast<int>(outcome_.rows.size()) == stopAfter_; }
  void RowsDone() override { outcome_.progress.push_back(-1); }

 private:
  Outcome& outcome_;
  const int32_t width_;
  const int stopAfter_;
};

constexpr float kScaleX = 0.25f;
constexpr float kScaleY = 0.2f;

Outcome Resize(const SourceFile& file, bool twoReaders, int stopAfter = -1) {
  Outcome outcome;
  ResizeStats stats;
  ResizeTuning tuning;
  tuning.readAlongsideFromPixels = twoReaders ? 0 : INT64_MAX;
  tuning.stats = &stats;
  ScopedResizeTuning tuned(tuning);
  SourceReader reader(file, false);
  const ResizePlan sizes = PlanSizes(file.width, file.height, kScaleX, kScaleY);
  Recorder recorder(outcome, sizes.width, stopAfter);
  try {
    outcome.completed = ResizeStream(reader, sizes, OutputRows::InRing(), recorder, recorder);
  } catch (const Error& error) {
    outcome.failure = error.Text();
  }
  outcome.rowsAlongside = stats.rowsAlongside;
  return outcome;
}

void ExpectOneReadersOutcome(const SourceFile& file, const std::string& what) {
  const Outcome one = Resize(file, false);
  EXPECT_EQ(one.rowsAlongside, 0) << what;
  const Outcome two = Resize(file, true);
  EXPECT_TRUE(two == one) << what << ": " << two.rows.size() << " rows, " << two.failure << " against "
                          << one.rows.size() << " rows, " << one.failure;
}

TEST(ReadAlongside, TheLowerRowsFromASecondReaderAreTheOneReadersRows) {
  SourceFile file;
  const Outcome two = Resize(file, true);
  EXPECT_TRUE(two.completed);
  EXPECT_GT(two.rowsAlongside, 0);
  EXPECT_LT(two.rowsAlongside, static_cast<int32_t>(two.rows.size()) / 2);
  ExpectOneReadersOutcome(file, "healthy");
  // Rows spread over threads above, and a picture too tall for one ring.
  file.width = 800;
  file.height = 2400;
  ExpectOneReadersOutcome(file, "large");
}

TEST(ReadAlongside, ADestinationMadeWholeInMemoryIsReadByOneReader) {
  // The window's: its rows are encoded on a thread of their own meanwhile.
  SourceFile file;
  ResizeStats stats;
  ResizeTuning tuning;
  tuning.readAlongsideFromPixels = 0;
  tuning.stats = &stats;
  ScopedResizeTuning tuned(tuning);
  SourceReader reader(file, false);
  const ResizePlan sizes = PlanSizes(file.width, file.height, kScaleX, kScaleY);
  Picture destination = Picture::CreateDisplayCompatible(sizes.width, sizes.height);
  Outcome outcome;
  Recorder recorder(outcome, sizes.width, -1);
  EXPECT_TRUE(ResizeStream(reader, sizes, OutputRows::InPicture(destination), recorder, recorder));
  EXPECT_EQ(outcome.rows.size(), static_cast<size_t>(sizes.height));
  EXPECT_EQ(stats.rowsAlongside, 0);
}

TEST(ReadAlongside, ASecondReaderThatCantBeHadOrFailsOnItsOwnLeavesItsRowsToTheFirst) {
  SourceFile none;
  none.secondReader = false;
  EXPECT_EQ(Resize(none, true).rowsAlongside, 0);
  ExpectOneReadersOutcome(none, "no second reader");
  SourceFile unopened;
  unopened.secondOpenFails = true;
  EXPECT_EQ(Resize(unopened, true).rowsAlongside, 0);
  ExpectOneReadersOutcome(unopened, "second reader not opened");
  for (int32_t row : {200, 240, 299}) {
    SourceFile failing;
    failing.secondFailsAt = row;
    const Outcome two = Resize(failing, true);
    EXPECT_GT(two.rowsAlongside, 0) << row;
    ExpectOneReadersOutcome(failing, "second reader failing at " + std::to_string(row));
  }
}

TEST(ReadAlongside, AFaultAnywhereInTheFileIsMetAfterTheRowsAboveIt) {
  for (int32_t row = 0; row < 300; ++row) {
    SourceFile file;
    file.faultyRow = row;
    ExpectOneReadersOutcome(file, "fault in row " + std::to_string(row));
  }
  SourceFile end;
  end.endFails = true;
  const Outcome two = Resize(end, true);
  EXPECT_EQ(two.failure, "Stream read error");
  EXPECT_EQ(two.progress.back(), -1);  // the rows are all done first
  ExpectOneReadersOutcome(end, "the end failing");
}

TEST(ReadAlongside, AStopAfterAnyRowEndsTheResizeThere) {
  SourceFile file;
  for (int stopAfter : {1, 20, 36, 37, 38, 50, 59, 60}) {  // 60: after the last
    const Outcome one = Resize(file, false, stopAfter);
    const Outcome two = Resize(file, true, stopAfter);
    EXPECT_TRUE(two == one) << stopAfter;
    EXPECT_EQ(two.rows.size(), static_cast<size_t>(stopAfter));
    EXPECT_FALSE(two.completed);
  }
}

}  // namespace
}  // namespace sw
