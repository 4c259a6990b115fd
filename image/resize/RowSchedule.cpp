#include "image/resize/RowSchedule.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "image/resize/SpinPause.h"

namespace sw {
namespace {

// How long the calling thread spins for a row another thread is making
// before it blocks: about a row's time, which blocking and waking again
// would cost anyway under Wine.
constexpr std::chrono::microseconds kSpin(100);

uint64_t Pack(int32_t next, int32_t end) {
  return static_cast<uint32_t>(next) | static_cast<uint64_t>(static_cast<uint32_t>(end)) << 32;
}
int32_t NextOf(uint64_t rows) { return static_cast<int32_t>(static_cast<uint32_t>(rows)); }
int32_t EndOf(uint64_t rows) { return static_cast<int32_t>(static_cast<uint32_t>(rows >> 32)); }

// How far ahead of the last row reported tasks are handed out: three tasks a
// thread keep every thread busy while the rows' taker pauses (an encoder
// flushing its output), and the rows in flight of a wide picture few (of
// 8000 pixels, 7 MB; a fourth task a thread gained nothing but 2 MB more).
int32_t WindowRows(int threads, int rowsPerTask) { return std::max(3 * rowsPerTask * threads, 64); }

}  // namespace

int32_t RowSchedule::RowsInFlight(int threads, int rowsPerTask) {
  // Tasks are claimed within the window; the last one claimed may reach a
  // task's length past it.
  return WindowRows(threads, rowsPerTask) + rowsPerTask;
}

RowSchedule::RowSchedule(int32_t rows, int threads, int rowsPerTask, MakeRow make)
    : rows_(rows),
      rowsPerTask_(rowsPerTask),
      window_(WindowRows(threads, rowsPerTask)),
      ringSize_(static_cast<size_t>(std::max<int64_t>(std::min<int64_t>(RowsInFlight(threads, rowsPerTask), rows), 1))),
      make_(std::move(make)),
      made_(new std::atomic<int32_t>[ringSize_]),
      tasks_(new Task[static_cast<size_t>(threads)]),
      threads_(threads) {
  for (size_t i = 0; i < ringSize_; ++i) made_[i].store(-1, std::memory_order_relaxed);
  for (int i = 1; i < threads; ++i) {
    try {
      workers_.emplace_back([this, i] { Work(i); });
    } catch (const std::system_error&) {
      break;  // fewer workers; the calling thread makes what they don't
    }
  }
}

RowSchedule::~RowSchedule() {
  stop_.store(true);
  { std::lock_guard<std::mutex> lock(mutex_); }  // a worker about to block sees stop_ or gets the notice
  workersWake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void RowSchedule::Complete(int32_t y) {
  for (;;) {
    if (failed_.load(std::memory_order_acquire)) RaiseFailure();
    if (Done(y)) return;
    int32_t row;
    if (TakeOwn(0, row) || Steal(row)) {
      make_(row, 0);
      MarkMade(row);
    } else {
      AwaitRow(y);  // every row up to y is taken, y by another thread
    }
  }
}

void RowSchedule::Reported(int32_t rows) {
  reported_.store(rows);
  if (sleepers_.load() > 0) {
    { std::lock_guard<std::mutex> lock(mutex_); }
    workersWake_.notify_all();
  }
}

// The calling thread reads awaited_ after it stores its row's mark, the
// waiting thread the mark after it stores awaited_ (both sequentially
// consistent), so one of them sees the other: no wake-up is lost.
void RowSchedule::MarkMade(int32_t row) {
  made_[Slot(row)].store(row);
  if (awaited_.load() == row) {
    std::lock_guard<std::mutex> lock(mutex_);
    mainWake_.notify_one();
  }
}

void RowSchedule::AwaitRow(int32_t y) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (unsigned spins = 1; !Done(y) && !failed_.load(std::memory_order_relaxed); ++spins) {
    SpinPause();
    if (spins % 64 != 0 || std::chrono::steady_clock::now() < until) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    awaited_.store(y);
    mainWake_.wait(lock, [&] { return made_[Slot(y)].load() == y || failed_.load(); });
    awaited_.store(-1);
    return;
  }
}

void RowSchedule::RaiseFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::rethrow_exception(failure_);
}

bool RowSchedule::CanClaim() const {
  const int32_t next = next_.load();
  return next < rows_ && next < reported_.load() + window_;
}

// The next row of thread i's task, claiming a new task when it has none.
bool RowSchedule::TakeOwn(int i, int32_t& row) {
  std::atomic<uint64_t>& task = tasks_[i].rows;
  uint64_t rows = task.load(std::memory_order_acquire);
  while (NextOf(rows) < EndOf(rows)) {
    if (task.compare_exchange_weak(rows, Pack(NextOf(rows) + 1, EndOf(rows)))) {
      row = NextOf(rows);
      return true;
    }
  }
  // The task is empty, and only this thread refills it.
  int32_t first = next_.load();
  for (;;) {
    const int32_t limit = std::min(rows_, reported_.load() + window_);
    if (first >= limit) return false;
    const int32_t end = first + std::min(rowsPerTask_, rows_ - first);
    if (next_.compare_exchange_weak(first, end)) {
      task.store(Pack(first + 1, end));
      row = first;
      return true;
    }
  }
}

// The last row of another thread's unfinished task, taking the task whose
// rows come soonest in the reporting order; its thread goes on from the front.
bool RowSchedule::Steal(int32_t& row) {
  for (;;) {
    int chosen = 0;
    uint64_t chosenRows = 0;
    for (int i = 1; i < threads_; ++i) {
      const uint64_t rows = tasks_[i].rows.load(std::memory_order_acquire);
      if (NextOf(rows) < EndOf(rows) && (chosen == 0 || NextOf(rows) < NextOf(chosenRows))) {
        chosen = i;
        chosenRows = rows;
      }
    }
    if (chosen == 0) return false;
    const int32_t last = EndOf(chosenRows) - 1;
    if (tasks_[chosen].rows.compare_exchange_strong(chosenRows, Pack(NextOf(chosenRows), last))) {
      row = last;
      return true;
    }
  }
}

void RowSchedule::Work(int i) {
  try {
    while (!stop_.load(std::memory_order_acquire)) {
      int32_t row;
      if (TakeOwn(i, row)) {
        make_(row, i);
        MarkMade(row);
        continue;
      }
      if (next_.load() >= rows_) return;  // every row is taken
      // The window is full: the calling thread reports rows before it moves on.
      std::unique_lock<std::mutex> lock(mutex_);
      sleepers_.fetch_add(1);
      workersWake_.wait(lock, [&] { return stop_.load() || CanClaim() || next_.load() >= rows_; });
      sleepers_.fetch_sub(1);
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      failed_.store(true);
      stop_.store(true);
    }
    mainWake_.notify_all();
  }
}

}  // namespace sw
