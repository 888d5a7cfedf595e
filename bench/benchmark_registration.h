// The benchmark groups of the native benchmark program. Each registers its
// rows with Google Benchmark; main() calls them before running.
#ifndef ORVA_BENCH_BENCHMARK_REGISTRATION_H_
#define ORVA_BENCH_BENCHMARK_REGISTRATION_H_

namespace bench {

// encode/SHAPE/IMPL and decode/SHAPE/IMPL (codec_benchmarks.cc).
void RegisterCodecBenchmarks();

// floor/SHAPE: decoding against a deep copy (decode_floor_benchmarks.cc).
void RegisterDecodeFloorBenchmarks();

// roundtrip/call/ours and roundtrip/call/codec_only (roundtrip_benchmarks.cc).
void RegisterRoundtripBenchmarks();

}  // namespace bench

#endif  // ORVA_BENCH_BENCHMARK_REGISTRATION_H_
