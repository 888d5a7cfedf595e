// Entry point of the native benchmark program: registers every group, then
// hands the command line to Google Benchmark (--benchmark_filter,
// --benchmark_out, --benchmark_out_format, ...).
#include <benchmark/benchmark.h>

#include "bench/benchmark_registration.h"

int main(int argc, char** argv) {
  bench::RegisterCodecBenchmarks();
  bench::RegisterDecodeFloorBenchmarks();
  bench::RegisterRoundtripBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
