// Decoding against a deep copy of the decoded value: rows floor/SHAPE.
//
// A deep copy makes the same strings, lists and maps as an owning decode,
// so it is the least that decoding into EncodableValues can cost. Absolute
// times drift on a shared machine during a run, so the two are timed in
// alternating rounds of a few hundred microseconds each and every round
// gives a ratio; the counters report the median ratio of the rounds and the
// median time per operation of each side.
//
//   stats    the getStats reply map, read with ReadTaggedValue
//   connect  the "connect" call's argument map, read with ReadTaggedValue
//   tree     the tree shape, read with ReadTaggedValue
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "bench/bench_shapes.h"
#include "bench/benchmark_registration.h"
#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace bench {
namespace {

using flutter::EncodableValue;

constexpr int kRounds = 31;
constexpr double kRoundNs = 300e3;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Nanoseconds per call of |operation| over |count| calls.
template <typename Operation>
double TimePerCall(const Operation& operation, int64_t count) {
  const auto start = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < count; ++i) operation();
  const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / static_cast<double>(count);
}

void DecodeAgainstCopy(benchmark::State& state, const EncodableValue* shape) {
  const auto& serializer = flutter::StandardCodecSerializer::DefaultInstance();
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(*shape, &writer);
  flutter::ByteBufferStreamReader first_reader(bytes.data(), bytes.size());
  const EncodableValue decoded = serializer.ReadTaggedValue(&first_reader);

  const auto decode = [&] {
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue value = serializer.ReadTaggedValue(&reader);
    benchmark::DoNotOptimize(value);
    benchmark::ClobberMemory();
  };
  const auto copy = [&] {
    EncodableValue value = decoded;
    benchmark::DoNotOptimize(value);
    benchmark::ClobberMemory();
  };
  // Calls per round, from a first estimate of the decode.
  const double estimate = TimePerCall(decode, 8);
  const auto count = std::max<int64_t>(1, static_cast<int64_t>(kRoundNs / estimate));

  std::vector<double> ratios, decode_ns, copy_ns;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      // Alternate which side goes first, so neither always runs warm.
      double d = 0, c = 0;
      if (round % 2 == 0) {
        d = TimePerCall(decode, count);
        c = TimePerCall(copy, count);
      } else {
        c = TimePerCall(copy, count);
        d = TimePerCall(decode, count);
      }
      ratios.push_back(d / c);
      decode_ns.push_back(d);
      copy_ns.push_back(c);
    }
  }
  state.counters["ratio"] = Median(ratios);
  state.counters["decode_ns"] = Median(decode_ns);
  state.counters["copy_ns"] = Median(copy_ns);
  state.counters["wire_bytes"] = static_cast<double>(bytes.size());
}

}  // namespace

void RegisterDecodeFloorBenchmarks() {
  static const EncodableValue shapes[] = {StatsReply(), ConnectArguments(), Tree()};
  const char* names[] = {"floor/stats", "floor/connect", "floor/tree"};
  for (size_t i = 0; i < 3; ++i) {
    benchmark::RegisterBenchmark(names[i], DecodeAgainstCopy, &shapes[i])->Iterations(1);
  }
}

}  // namespace bench
