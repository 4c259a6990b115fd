#pragma once
// Rows 0 .. rows - 1 made on the calling thread and worker threads, and
// handed to the calling thread in row order. It knows nothing of what a row
// is: `make(row, worker)` makes one, worker 0 being the calling thread.
// Each thread claims a task of consecutive rows (which share source rows)
// and computes it from the front; tasks are handed out only within a window
// ahead of the last row reported, so an early stop wastes little and the
// bookkeeping is a ring the size of the window. The calling thread takes the
// rows in row order: while the next row isn't complete it computes rows of
// its own task, claims a new one, or takes rows from the back of another
// thread's task (whose thread may have been descheduled); only when there
// is nothing left to take it waits. The destructor stops and joins every
// worker, on every way out.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sw {

class RowSchedule {
 public:
  using MakeRow = std::function<void(int32_t row, int worker)>;

  // Starts threads - 1 workers (fewer when the system refuses more).
  RowSchedule(int32_t rows, int threads, int rowsPerTask, MakeRow make);
  ~RowSchedule();
  RowSchedule(const RowSchedule&) = delete;
  RowSchedule& operator=(const RowSchedule&) = delete;

  int Workers() const { return static_cast<int>(workers_.size()); }

  // Returns once row y is made; a worker's failure is raised here.
  void Complete(int32_t y);

  // Rows up to `rows` - 1 are reported; their places in the ring are free.
  void Reported(int32_t rows);

 private:
  struct Task {
    int32_t next = 0;  // rows next .. end - 1 are still to be made
    int32_t end = 0;
  };

  size_t Slot(int32_t row) const { return static_cast<size_t>(row) % done_.size(); }
  bool Done(int32_t row) const { return done_[Slot(row)] != 0; }
  bool CanClaim() const { return next_ < rows_ && next_ < reported_ + window_; }
  bool TakeOwn(int i, int32_t& row);
  bool Steal(int32_t& row);
  void Work(int i);

  const int32_t rows_;
  const int32_t rowsPerTask_;
  const int32_t window_;
  const MakeRow make_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable workersWake_;
  std::condition_variable mainWake_;
  // With the mutex held, throughout:
  bool stop_ = false;
  int32_t next_ = 0;         // the first row no task holds yet
  int32_t reported_ = 0;     // rows before it are reported
  std::vector<char> done_;   // per row of the window, by row modulo its size
  std::vector<Task> tasks_;  // each thread's task, [0] the calling thread's
  std::exception_ptr failure_;
};

}  // namespace sw
