// Encode and decode benchmarks of the standard codec against msgpack-cxx,
// nlohmann-json's CBOR and, for the bulk shapes, a plain copy.
//
// Rows are named OPERATION/SHAPE/IMPLEMENTATION:
//   encode  value tree to a new byte buffer
//   decode  bytes to a new owning value tree
//   ours    the "call" shape through StandardMethodCodec (EncodeCall,
//           DecodeCall); the value shapes through the default
//           StandardCodecSerializer (WriteValue, ReadTaggedValue)
//   msgpack msgpack::pack of a msgpack::object into an sbuffer; msgpack::unpack
//           into an object_handle (strings and binaries copied into its zone)
//   nlohmann_cbor  nlohmann::json::to_cbor; nlohmann::json::from_cbor
//   memcpy  one allocation of the payload's size and one memcpy of it: what
//           producing an owned copy of the payload costs at the least
// Every value is built once before the timed loop; every iteration produces
// a fresh output, as a caller would.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_shapes.h"
#include "bench/benchmark_registration.h"
#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/standard_codec_serializer.h"
#include "codec/standard_method_codec.h"

namespace bench {
namespace {

using flutter::EncodableValue;

const flutter::StandardCodecSerializer& Serializer() {
  return flutter::StandardCodecSerializer::DefaultInstance();
}

// Looked up once, as a channel does: ForSerializer takes the registry's lock.
const flutter::StandardMethodCodec& Codec() {
  static const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer();
  return codec;
}

// One shape in every implementation's own form, plus each encoding of it.
struct Shape {
  std::string name;
  EncodableValue value;
  std::unique_ptr<flutter::MethodCall> call;  // set for the "call" shape only
  msgpack::zone zone;
  msgpack::object msgpack_value;
  nlohmann::json json_value;
  std::vector<uint8_t> ours_bytes;
  std::vector<uint8_t> msgpack_bytes;
  std::vector<uint8_t> cbor_bytes;
  // The bulk payload (bytes or doubles) and where it sits in ours_bytes.
  const uint8_t* payload = nullptr;
  size_t payload_size = 0;
};

std::vector<uint8_t> OursEncode(const Shape& shape) {
  if (shape.call) return std::move(*Codec().EncodeCall(*shape.call));
  std::vector<uint8_t> out;
  flutter::ByteBufferStreamWriter writer(&out);
  Serializer().WriteValue(shape.value, &writer);
  return out;
}

std::unique_ptr<Shape> MakeShape(std::string name, EncodableValue value, bool is_call) {
  auto shape = std::make_unique<Shape>();
  shape->name = std::move(name);
  if (is_call) {
    shape->call = std::make_unique<flutter::MethodCall>(kConnectMethod,
                                                        std::make_unique<EncodableValue>(value));
    shape->value = EncodableValue(flutter::ValueList{EncodableValue(kConnectMethod), value});
  } else {
    shape->value = std::move(value);
  }
  shape->msgpack_value = ToMsgpack(shape->value, shape->zone);
  shape->json_value = ToJson(shape->value);

  shape->ours_bytes = OursEncode(*shape);
  msgpack::sbuffer packed;
  msgpack::pack(packed, shape->msgpack_value);
  shape->msgpack_bytes.assign(packed.data(), packed.data() + packed.size());
  shape->cbor_bytes = nlohmann::json::to_cbor(shape->json_value);

  if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&shape->value)) {
    shape->payload_size = bytes->size();
  } else if (const auto* doubles = std::get_if<std::vector<double>>(&shape->value)) {
    shape->payload_size = doubles->size() * sizeof(double);
  }
  if (shape->payload_size != 0) {
    // Both bulk encodings end with the payload.
    shape->payload = shape->ours_bytes.data() + shape->ours_bytes.size() - shape->payload_size;
  }
  return shape;
}

void Report(benchmark::State& state, size_t wire_bytes, size_t nodes) {
  state.counters["wire_bytes"] = static_cast<double>(wire_bytes);
  state.counters["nodes"] = static_cast<double>(nodes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * wire_bytes));
}

void EncodeOurs(benchmark::State& state, const Shape* shape) {
  for (auto _ : state) {
    std::vector<uint8_t> out = OursEncode(*shape);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state, shape->ours_bytes.size(), CountNodes(shape->value));
}

void DecodeOurs(benchmark::State& state, const Shape* shape) {
  const uint8_t* bytes = shape->ours_bytes.data();
  const size_t size = shape->ours_bytes.size();
  for (auto _ : state) {
    if (shape->call) {
      std::unique_ptr<flutter::MethodCall> call = Codec().DecodeCall(bytes, size);
      benchmark::DoNotOptimize(call.get());
    } else {
      flutter::ByteBufferStreamReader reader(bytes, size);
      EncodableValue value = Serializer().ReadTaggedValue(&reader);
      benchmark::DoNotOptimize(value);
    }
    benchmark::ClobberMemory();
  }
  Report(state, size, CountNodes(shape->value));
}

void EncodeMsgpack(benchmark::State& state, const Shape* shape) {
  for (auto _ : state) {
    msgpack::sbuffer out;
    msgpack::pack(out, shape->msgpack_value);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state, shape->msgpack_bytes.size(), CountNodes(shape->value));
}

void DecodeMsgpack(benchmark::State& state, const Shape* shape) {
  const char* bytes = reinterpret_cast<const char*>(shape->msgpack_bytes.data());
  const size_t size = shape->msgpack_bytes.size();
  for (auto _ : state) {
    // No reference function: strings and binaries are copied into the
    // handle's zone, so the result owns its content like ours does.
    msgpack::object_handle handle = msgpack::unpack(bytes, size);
    benchmark::DoNotOptimize(handle.get());
    benchmark::ClobberMemory();
  }
  Report(state, size, CountNodes(shape->value));
}

void EncodeCbor(benchmark::State& state, const Shape* shape) {
  for (auto _ : state) {
    std::vector<uint8_t> out = nlohmann::json::to_cbor(shape->json_value);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state, shape->cbor_bytes.size(), CountNodes(shape->value));
}

void DecodeCbor(benchmark::State& state, const Shape* shape) {
  for (auto _ : state) {
    nlohmann::json value = nlohmann::json::from_cbor(shape->cbor_bytes);
    benchmark::DoNotOptimize(value);
    benchmark::ClobberMemory();
  }
  Report(state, shape->cbor_bytes.size(), CountNodes(shape->value));
}

void CopyPayload(benchmark::State& state, const uint8_t* source, size_t size) {
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out(new uint8_t[size]);
    std::memcpy(out.get(), source, size);
    benchmark::DoNotOptimize(out.get());
    benchmark::ClobberMemory();
  }
  state.counters["wire_bytes"] = static_cast<double>(size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void EncodeMemcpy(benchmark::State& state, const Shape* shape) {
  const auto* source =
      std::get_if<std::vector<uint8_t>>(&shape->value)
          ? std::get<std::vector<uint8_t>>(shape->value).data()
          : reinterpret_cast<const uint8_t*>(std::get<std::vector<double>>(shape->value).data());
  CopyPayload(state, source, shape->payload_size);
}

void DecodeMemcpy(benchmark::State& state, const Shape* shape) {
  CopyPayload(state, shape->payload, shape->payload_size);
}

}  // namespace

void RegisterCodecBenchmarks() {
  // The shapes live until the process ends.
  static std::vector<std::unique_ptr<Shape>> shapes;
  shapes.push_back(MakeShape("call", ConnectArguments(), /*is_call=*/true));
  shapes.push_back(MakeShape("stats", StatsReply(), false));
  shapes.push_back(MakeShape("tree", Tree(), false));
  shapes.push_back(MakeShape("bytes", ByteArray(), false));
  shapes.push_back(MakeShape("doubles", DoubleArray(), false));

  using Function = void (*)(benchmark::State&, const Shape*);
  struct Row {
    const char* operation;
    const char* implementation;
    Function function;
    bool bulk_only;
  };
  const Row rows[] = {
      {"encode", "ours", EncodeOurs, false},          {"encode", "msgpack", EncodeMsgpack, false},
      {"encode", "nlohmann_cbor", EncodeCbor, false}, {"encode", "memcpy", EncodeMemcpy, true},
      {"decode", "ours", DecodeOurs, false},          {"decode", "msgpack", DecodeMsgpack, false},
      {"decode", "nlohmann_cbor", DecodeCbor, false}, {"decode", "memcpy", DecodeMemcpy, true},
  };
  for (const auto& shape : shapes) {
    for (const Row& row : rows) {
      if (row.bulk_only && shape->payload_size == 0) continue;
      std::string name = std::string(row.operation) + "/" + shape->name + "/" + row.implementation;
      benchmark::RegisterBenchmark(name.c_str(), row.function, shape.get());
    }
  }
}

}  // namespace bench
