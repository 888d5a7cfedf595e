// The message shapes the codec benchmarks measure, built once as
// EncodableValues, and their translation into the peer libraries' own value
// trees, so that every implementation encodes and decodes the same logical
// values.
//
//   call     the "connect" call: method name and an argument map holding a
//            400-byte tunnel configuration under "config"
//   stats    the getStats reply map {"rx": int64, "tx": int64}
//   tree     about 10,000 nodes of nested lists and maps holding strings,
//            32- and 64-bit integers, doubles and booleans
//   bytes    a 1 MiB byte array
//   doubles  131,072 doubles
//
// A call travels as a two-element list [name, arguments] in the peers'
// formats, which is how a developer would frame it there.
#ifndef ORVA_BENCH_BENCH_SHAPES_H_
#define ORVA_BENCH_BENCH_SHAPES_H_

#include <cstddef>
#include <string>

#include <msgpack.hpp>
#include <nlohmann/json.hpp>

#include "codec/encodable_value.h"

namespace bench {

inline constexpr char kConnectMethod[] = "connect";
inline constexpr size_t kConfigSize = 400;
inline constexpr size_t kTreeTargetNodes = 10000;
inline constexpr size_t kByteArraySize = 1 << 20;
inline constexpr size_t kDoubleCount = 131072;

// A WireGuard configuration text of exactly kConfigSize bytes.
std::string ConfigText();

// The argument map of the "connect" call.
flutter::EncodableValue ConnectArguments();
flutter::EncodableValue StatsReply();
flutter::EncodableValue Tree();
flutter::EncodableValue ByteArray();
flutter::EncodableValue DoubleArray();

// Number of values in |value|, counting every list element, map key and map
// value, and |value| itself.
size_t CountNodes(const flutter::EncodableValue& value);

// The same logical value as a msgpack object whose storage lives in |zone|.
// Both integer widths become msgpack integers, byte arrays become bin, typed
// arrays become arrays.
msgpack::object ToMsgpack(const flutter::EncodableValue& value, msgpack::zone& zone);

// The same logical value as JSON for nlohmann's CBOR writer. Map keys must be
// strings (they are in every shape); byte arrays become binary values.
nlohmann::json ToJson(const flutter::EncodableValue& value);

}  // namespace bench

#endif  // ORVA_BENCH_BENCH_SHAPES_H_
