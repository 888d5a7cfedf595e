// One whole method call, natively, per iteration:
//   roundtrip/call/ours        the engine delivers the "connect" call on
//                              "com.orva_divuv/wireguard"; BinaryMessengerImpl
//                              forwards it to the MethodCallChannel's handler,
//                              which decodes it, calls a handler that answers
//                              Success(true), and the EngineMethodResult
//                              encodes the envelope and sends it back through
//                              the messenger's locked response
//   roundtrip/call/codec_only  the codec work of the same call alone: DecodeCall
//                              and EncodeSuccessReply(true)
// The difference is what the messenger, channel and result layers add.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_shapes.h"
#include "bench/benchmark_registration.h"
#include "bench/fake_engine_messenger.h"
#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_channel.h"
#include "codec/method_result.h"
#include "codec/standard_method_codec.h"
#include "engine_client/binary_messenger_impl.h"

namespace bench {
namespace {

constexpr char kChannel[] = "com.orva_divuv/wireguard";

const std::vector<uint8_t>& ConnectCallBytes() {
  static const std::vector<uint8_t> bytes = [] {
    flutter::MethodCall call(kConnectMethod,
                             std::make_unique<flutter::EncodableValue>(ConnectArguments()));
    return *flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
  }();
  return bytes;
}

void RoundtripOurs(benchmark::State& state) {
  const std::vector<uint8_t>& message = ConnectCallBytes();
  FakeEngineMessenger engine;  // outlives the wrapper below
  flutter::BinaryMessengerImpl messenger(engine.handle());
  MethodCallChannel channel(&messenger, kChannel, &flutter::StandardMethodCodec::ForSerializer());
  channel.SetCallHandler(
      [](const flutter::MethodCall& call, std::unique_ptr<flutter::MethodResult> result) {
        result->Success(flutter::EncodableValue(true));
      });

  for (auto _ : state) {
    engine.Deliver(kChannel, message.data(), message.size());
    benchmark::DoNotOptimize(engine.last_response().data());
  }

  // A run that answered nothing measured nothing: say so rather than report it.
  const std::vector<uint8_t> expected = {0x00, 0x01};
  if (engine.response_count() != static_cast<uint64_t>(state.iterations()) ||
      engine.last_response() != expected) {
    state.SkipWithError("the call was not answered with a success envelope holding true");
  }
}

void RoundtripCodecOnly(benchmark::State& state) {
  const std::vector<uint8_t>& message = ConnectCallBytes();
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer();
  const flutter::EncodableValue reply(true);
  for (auto _ : state) {
    std::unique_ptr<flutter::MethodCall> call = codec.DecodeCall(message.data(), message.size());
    benchmark::DoNotOptimize(call.get());
    std::unique_ptr<std::vector<uint8_t>> envelope = codec.EncodeSuccessReply(&reply);
    benchmark::DoNotOptimize(envelope->data());
  }
}

}  // namespace

void RegisterRoundtripBenchmarks() {
  benchmark::RegisterBenchmark("roundtrip/call/ours", RoundtripOurs);
  benchmark::RegisterBenchmark("roundtrip/call/codec_only", RoundtripCodecOnly);
}

}  // namespace bench
