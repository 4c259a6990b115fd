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
//
// The hand-offs are atomics: a task's remaining rows are one word that its
// thread and the calling thread shrink from either end by compare-and-swap,
// and a made row is marked in the ring with a release store. A thread
// blocks only when it has nothing to do: the calling thread, after spinning
// briefly, for a row another thread is making; a worker for the window to
// move on. Each is woken only when it is known to wait. Under Wine every
// block and wake-up is a round trip to its server, so there they are rare.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
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

  // How far past the rows reported a row may be made: a caller that keeps
  // made rows in a ring of its own needs this many places.
  static int32_t RowsInFlight(int threads, int rowsPerTask);

  // Returns once row y is made; a worker's failure is raised here.
  void Complete(int32_t y);

  // Rows up to `rows` - 1 are reported; their places in the ring are free.
  void Reported(int32_t rows);

 private:
  // Rows next .. end - 1 of a task still to be made, as next | end << 32.
  struct alignas(64) Task {
    std::atomic<uint64_t> rows{0};
  };

  size_t Slot(int32_t row) const { return static_cast<size_t>(row) % ringSize_; }
  bool Done(int32_t row) const { return made_[Slot(row)].load(std::memory_order_acquire) == row; }
  void MarkMade(int32_t row);
  bool CanClaim() const;
  bool TakeOwn(int i, int32_t& row);
  bool Steal(int32_t& row);
  void AwaitRow(int32_t y);
  void RaiseFailure();
  void Work(int i);

  const int32_t rows_;
  const int32_t rowsPerTask_;
  const int32_t window_;
  const size_t ringSize_;
  const MakeRow make_;
  std::unique_ptr<std::atomic<int32_t>[]> made_;  // per ring slot: the last row made there
  std::unique_ptr<Task[]> tasks_;                 // each thread's task, [0] the calling thread's
  const int threads_;
  std::atomic<int32_t> next_{0};      // the first row no task holds yet
  std::atomic<int32_t> reported_{0};  // rows before it are reported
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::atomic<int32_t> awaited_{-1};  // the row the calling thread blocks for
  std::atomic<int> sleepers_{0};      // workers blocked for the window
  std::vector<std::thread> workers_;
  // Only for blocking and for the failure:
  std::mutex mutex_;
  std::condition_variable workersWake_;
  std::condition_variable mainWake_;
  std::exception_ptr failure_;
};

}  // namespace sw
