// The row schedule alone: rows that cost a fixed amount of arithmetic each,
// made on 1 .. n threads and handed to the calling thread in row order, as
// the resampler does. What a run costs beyond rows x work / threads is what
// the hand-offs cost; under Wine every wait and wake-up of a thread is a
// round trip to its server, so the figure there is the one to watch.
//
//   build/native/bench/engine_bench --benchmark_filter=RowSchedule

#include <benchmark/benchmark.h>

#include <cstdint>

#include "image/resize/RowSchedule.h"

namespace {

constexpr int32_t kRows = 6000;  // the enlargement's output rows

// About `units` microseconds of arithmetic on this machine (a few thousand
// dependent multiply-adds of integers).
void Work(int64_t units) {
  uint64_t value = 1;
  for (int64_t i = 0; i < units * 600; ++i) value = value * 6364136223846793005u + 1442695040888963407u;
  benchmark::DoNotOptimize(value);
}

void Schedule(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const int64_t units = state.range(1);
  const int rowsPerTask = static_cast<int>(state.range(2));
  for (auto _ : state) {
    sw::RowSchedule schedule(kRows, threads, rowsPerTask, [units](int32_t, int) { Work(units); });
    for (int32_t y = 0; y < kRows; ++y) {
      schedule.Complete(y);
      schedule.Reported(y + 1);
    }
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}

// Rows of about 10 and 100 microseconds (the enlargement's rows take about
// 100 on one thread), on 1, 2 and 4 threads, 32 rows a task (the default)
// and 1.
BENCHMARK(Schedule)->Name("RowSchedule")->ArgNames({"threads", "work", "rowsPerTask"})
    ->ArgsProduct({{1, 2, 4}, {10, 100}, {32, 1}})->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);

}  // namespace
