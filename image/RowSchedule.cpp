#include "image/RowSchedule.h"

#include <algorithm>
#include <system_error>

namespace sw {

RowSchedule::RowSchedule(int32_t rows, int threads, int rowsPerTask, MakeRow make)
    : rows_(rows),
      rowsPerTask_(rowsPerTask),
      window_(std::max(4 * rowsPerTask * threads, 64)),
      make_(std::move(make)),
      done_(static_cast<size_t>(std::max<int64_t>(std::min<int64_t>(int64_t{window_} + rowsPerTask, rows), 1)), 0),
      tasks_(static_cast<size_t>(threads)) {
  for (int i = 1; i < threads; ++i) {
    try {
      workers_.emplace_back([this, i] { Work(i); });
    } catch (const std::system_error&) {
      break;  // fewer workers; the calling thread makes what they don't
    }
  }
}

RowSchedule::~RowSchedule() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  workersWake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void RowSchedule::Complete(int32_t y) {
  for (;;) {
    int32_t row;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (failure_) std::rethrow_exception(failure_);
      if (Done(y)) return;
      if (!TakeOwn(0, row) && !Steal(row)) {
        mainWake_.wait(lock, [&] { return Done(y) || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        return;
      }
    }
    make_(row, 0);
    std::lock_guard<std::mutex> lock(mutex_);
    done_[Slot(row)] = 1;
  }
}

void RowSchedule::Reported(int32_t rows) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int32_t row = reported_; row < rows; ++row) done_[Slot(row)] = 0;
    reported_ = rows;
  }
  if (!workers_.empty()) workersWake_.notify_all();
}

// The next row of thread i's task, claiming a new task when it has none.
bool RowSchedule::TakeOwn(int i, int32_t& row) {
  Task& task = tasks_[static_cast<size_t>(i)];
  if (task.next >= task.end) {
    if (!CanClaim()) return false;
    task.next = next_;
    task.end = next_ + std::min(rowsPerTask_, rows_ - next_);
    next_ = task.end;
  }
  row = task.next++;
  return true;
}

// The last row of another thread's unfinished task, taking the task whose
// rows come soonest in the reporting order; its thread goes on from the front.
bool RowSchedule::Steal(int32_t& row) {
  Task* chosen = nullptr;
  for (size_t i = 1; i < tasks_.size(); ++i) {
    Task& task = tasks_[i];
    if (task.next < task.end && (!chosen || task.next < chosen->next)) chosen = &task;
  }
  if (!chosen) return false;
  row = --chosen->end;
  return true;
}

void RowSchedule::Work(int i) {
  try {
    int32_t finished = -1;
    for (;;) {
      int32_t row;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (finished >= 0) {
          done_[Slot(finished)] = 1;
          // The row the calling thread may be waiting for.
          if (finished == reported_) mainWake_.notify_one();
        }
        workersWake_.wait(lock, [&] {
          const Task& task = tasks_[static_cast<size_t>(i)];
          return stop_ || task.next < task.end || CanClaim() || next_ >= rows_;
        });
        if (stop_ || !TakeOwn(i, row)) return;
      }
      make_(row, i);
      finished = row;
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      stop_ = true;
    }
    mainWake_.notify_one();
  }
}

}  // namespace sw
