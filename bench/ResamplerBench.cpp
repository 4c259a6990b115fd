// The resampler on a 4000 x 3000 picture: enlarged to 8000 x 6000 and shrunk
// to 1000 x 750, against the plain per-pixel evaluation of the same formulas.
// The figure is output megapixels per second ("Mpix/s", wall time). The plain
// evaluation computes a band of rows only (its figure is per output pixel it
// computed), so that a run stays short; the ratio of the two is what holds on
// a shared machine.
//
//   build/native/bench/engine_bench --benchmark_counters_tabular=true
//   build/native/bench/engine_bench --kernels=sse2    (or avx2, avx512: the
//       kernels' register width; the widest this processor has by default)
//   bash scripts/bench-win --benchmark_filter=Enlarge   (the Windows build, under Wine)

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "QuietHost.h"
#include "ReferenceResampler.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"

namespace {

// A photograph-like source: smooth gradients with a fine-grained texture, so
// that neighbouring samples differ as they do in real pictures.
const sw::Picture& Source() {
  static const sw::Picture source = [] {
    sw::Picture picture = sw::Picture::CreateDisplayCompatible(4000, 3000);
    uint32_t noise = 12345;
    std::vector<sw::ColorValue> row(4000);
    for (int32_t y = 0; y < 3000; ++y) {
      for (int32_t x = 0; x < 4000; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const uint32_t grain = (noise >> 24) & 0x1F;
        const uint32_t red = (x * 255 / 3999 + grain) & 0xFF;
        const uint32_t green = (y * 255 / 2999 + grain) & 0xFF;
        const uint32_t blue = ((x + y) * 255 / 6998 + (grain >> 1)) & 0xFF;
        row[x] = red | (green << 8) | (blue << 16);
      }
      picture.WriteRow(y, row.data());
    }
    return picture;
  }();
  return source;
}

void Resize(benchmark::State& state, float scaleX, float scaleY, int threads) {
  sw::test::QuietHost host;
  sw::ResizeTuning options;
  options.threads = threads;
  sw::ResizeStats stats;
  options.stats = &stats;
  int64_t pixels = 0;
  for (auto _ : state) {
    sw::Picture picture = Source();
    sw::ResizeBitmap(picture, scaleX, scaleY, host, options);
    pixels += int64_t{picture.Width()} * picture.Height();
    benchmark::DoNotOptimize(picture.Bits());
  }
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
  state.counters["threads"] = stats.threads;
  state.SetLabel(sw::KernelWidthName(sw::ActiveKernelWidth()));
  state.counters["extended%"] =
      100.0 * static_cast<double>(stats.rowExtended + stats.slopeExtended + stats.finalExtended) /
      static_cast<double>(stats.rowValues + stats.slopeValues + stats.finalValues + 1);
}

void Reference(benchmark::State& state, float scaleX, float scaleY, int32_t rows) {
  int64_t pixels = 0;
  for (auto _ : state) {
    sw::Picture band = sw::reference::ReferenceRows(Source(), scaleX, scaleY, 0, rows);
    pixels += int64_t{band.Width()} * band.Height();
    benchmark::DoNotOptimize(band.Bits());
  }
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void Enlarge(benchmark::State& state) { Resize(state, 2.0f, 2.0f, static_cast<int>(state.range(0))); }
void Shrink(benchmark::State& state) { Resize(state, 0.25f, 0.25f, static_cast<int>(state.range(0))); }
void EnlargeReference(benchmark::State& state) { Reference(state, 2.0f, 2.0f, 60); }
void ShrinkReference(benchmark::State& state) { Reference(state, 0.25f, 0.25f, 150); }

// threads 0: one per processor; 1: the calling thread alone.
BENCHMARK(Enlarge)->Name("Enlarge_4000x3000_to_8000x6000")->ArgName("threads")->Arg(0)->Arg(1)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(EnlargeReference)->Name("Enlarge_4000x3000_to_8000x6000_reference_60_rows")
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(Shrink)->Name("Shrink_4000x3000_to_1000x750")->ArgName("threads")->Arg(0)->Arg(1)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(ShrinkReference)->Name("Shrink_4000x3000_to_1000x750_reference_150_rows")
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Takes --kernels=WIDTH off the command line and selects that width.
bool SelectKernels(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernels=", 10) != 0) continue;
    const char* name = argv[i] + 10;
    bool selected = false;
    for (sw::KernelWidth width :
         {sw::KernelWidth::Scalar, sw::KernelWidth::Sse2, sw::KernelWidth::Avx2, sw::KernelWidth::Avx512})
      if (std::strcmp(name, sw::KernelWidthName(width)) == 0) selected = sw::SelectKernelWidth(width);
    if (!selected) {
      std::fprintf(stderr, "kernels %s: unknown or not available here\n", name);
      return false;
    }
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    --i;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!SelectKernels(argc, argv)) return 2;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
