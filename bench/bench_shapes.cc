// Builds the benchmark shapes and translates them for the peer libraries.
#include "bench/bench_shapes.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace bench {
namespace {

using flutter::EncodableValue;
using flutter::ValueList;
using flutter::ValueMap;

// Deterministic pseudo-random numbers, so every run measures the same data.
class Lcg {
 public:
  uint64_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return state_ >> 17;
  }
  int32_t Int32() { return static_cast<int32_t>(Next() % 2000001) - 1000000; }
  int64_t Int64() { return static_cast<int64_t>(Next()) * 977 - (int64_t{1} << 52); }
  double Double() { return static_cast<double>(Next() % 1000000) / 7.0 - 5000.0; }
  bool Bool() { return (Next() & 1) != 0; }
  std::string Word(size_t min_length, size_t max_length) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789-_.";
    size_t length = min_length + Next() % (max_length - min_length + 1);
    std::string word;
    for (size_t i = 0; i < length; ++i) word += kLetters[Next() % (sizeof(kLetters) - 1)];
    return word;
  }

 private:
  uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

std::string Base64Key(Lcg& random) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string key;
  for (int i = 0; i < 43; ++i) key += kAlphabet[random.Next() % 64];
  return key + "=";
}

EncodableValue Str(const char* text) { return EncodableValue(std::string(text)); }

// One record of the tree: 26 nodes.
EncodableValue Record(Lcg& random) {
  ValueMap endpoint;
  endpoint[Str("host")] = EncodableValue(random.Word(8, 24) + ".example.net");
  endpoint[Str("port")] = EncodableValue(static_cast<int32_t>(random.Next() % 65536));
  endpoint[Str("weights")] =
      EncodableValue(ValueList{EncodableValue(random.Double()), EncodableValue(random.Double())});
  ValueMap record;
  record[Str("id")] = EncodableValue(random.Int32());
  record[Str("name")] = EncodableValue(random.Word(6, 30));
  record[Str("bytes")] = EncodableValue(random.Int64());
  record[Str("load")] = EncodableValue(random.Double());
  record[Str("up")] = EncodableValue(random.Bool());
  record[Str("tags")] = EncodableValue(ValueList{EncodableValue(random.Word(3, 10)),
                                                 EncodableValue(random.Word(3, 10)),
                                                 EncodableValue(random.Word(3, 10))});
  record[Str("endpoint")] = EncodableValue(std::move(endpoint));
  return EncodableValue(std::move(record));
}

template <typename T>
msgpack::object ArrayOf(const std::vector<T>& elements, msgpack::zone& zone) {
  msgpack::object array;
  array.type = msgpack::type::ARRAY;
  array.via.array.size = static_cast<uint32_t>(elements.size());
  array.via.array.ptr = static_cast<msgpack::object*>(
      zone.allocate_align(sizeof(msgpack::object) * elements.size(), alignof(msgpack::object)));
  for (size_t i = 0; i < elements.size(); ++i)
    array.via.array.ptr[i] = msgpack::object(elements[i]);
  return array;
}

}  // namespace

std::string ConfigText() {
  Lcg random;
  std::string text = "[Interface]\nPrivateKey = " + Base64Key(random) +
                     "\nAddress = 10.66.0.2/32\nDNS = 10.66.0.1\nMTU = 1420\n\n"
                     "[Peer]\nPublicKey = " +
                     Base64Key(random) + "\nPresharedKey = " + Base64Key(random) +
                     "\nAllowedIPs = 0.0.0.0/0, ::/0\nEndpoint = 203.0.113.7:51820\n"
                     "PersistentKeepalive = 25\n";
  // Fill up to the exact size with a comment line, as a generated file might.
  text += "# ";
  while (text.size() < kConfigSize - 1) text += static_cast<char>('a' + text.size() % 26);
  text.resize(kConfigSize - 1);
  text += '\n';
  return text;
}

EncodableValue ConnectArguments() {
  ValueMap arguments;
  arguments[Str("config")] = EncodableValue(ConfigText());
  return EncodableValue(std::move(arguments));
}

EncodableValue StatsReply() {
  ValueMap stats;
  stats[Str("rx")] = EncodableValue(int64_t{6707});
  stats[Str("tx")] = EncodableValue(int64_t{1331691});
  return EncodableValue(std::move(stats));
}

EncodableValue Tree() {
  Lcg random;
  ValueList records;
  // Outer map: 1 + 3 keys + version + generated + the list = 7 nodes.
  size_t nodes = 7;
  while (nodes < kTreeTargetNodes) {
    records.push_back(Record(random));
    nodes += 26;
  }
  ValueMap root;
  root[Str("version")] = EncodableValue(int32_t{3});
  root[Str("generated")] = EncodableValue(int64_t{1796563200123});
  root[Str("records")] = EncodableValue(std::move(records));
  return EncodableValue(std::move(root));
}

EncodableValue ByteArray() {
  std::vector<uint8_t> bytes(kByteArraySize);
  Lcg random;
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random.Next());
  return EncodableValue(std::move(bytes));
}

EncodableValue DoubleArray() {
  std::vector<double> doubles(kDoubleCount);
  Lcg random;
  for (auto& d : doubles) d = random.Double();
  return EncodableValue(std::move(doubles));
}

size_t CountNodes(const EncodableValue& value) {
  size_t count = 1;
  if (const auto* list = std::get_if<ValueList>(&value)) {
    for (const auto& element : *list) count += CountNodes(element);
  } else if (const auto* map = std::get_if<ValueMap>(&value)) {
    for (const auto& [key, element] : *map) count += CountNodes(key) + CountNodes(element);
  }
  return count;
}

msgpack::object ToMsgpack(const EncodableValue& value, msgpack::zone& zone) {
  return std::visit(
      [&zone](const auto& content) -> msgpack::object {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, std::monostate> ||
                      std::is_same_v<T, flutter::CustomValue>) {
          return msgpack::object();
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
                             std::is_same_v<T, int64_t> || std::is_same_v<T, double>) {
          return msgpack::object(content);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return msgpack::object(content, zone);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          msgpack::object bin;
          bin.type = msgpack::type::BIN;
          bin.via.bin.size = static_cast<uint32_t>(content.size());
          char* copy = static_cast<char*>(zone.allocate_no_align(content.size()));
          std::memcpy(copy, content.data(), content.size());
          bin.via.bin.ptr = copy;
          return bin;
        } else if constexpr (std::is_same_v<T, ValueList>) {
          msgpack::object array;
          array.type = msgpack::type::ARRAY;
          array.via.array.size = static_cast<uint32_t>(content.size());
          array.via.array.ptr = static_cast<msgpack::object*>(zone.allocate_align(
              sizeof(msgpack::object) * content.size(), alignof(msgpack::object)));
          for (size_t i = 0; i < content.size(); ++i) {
            array.via.array.ptr[i] = ToMsgpack(content[i], zone);
          }
          return array;
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          msgpack::object map;
          map.type = msgpack::type::MAP;
          map.via.map.size = static_cast<uint32_t>(content.size());
          map.via.map.ptr = static_cast<msgpack::object_kv*>(zone.allocate_align(
              sizeof(msgpack::object_kv) * content.size(), alignof(msgpack::object_kv)));
          size_t i = 0;
          for (const auto& [key, element] : content) {
            map.via.map.ptr[i].key = ToMsgpack(key, zone);
            map.via.map.ptr[i].val = ToMsgpack(element, zone);
            ++i;
          }
          return map;
        } else {
          // int32, int64, double and float arrays.
          return ArrayOf(content, zone);
        }
      },
      static_cast<const EncodableValue::variant&>(value));
}

nlohmann::json ToJson(const EncodableValue& value) {
  return std::visit(
      [](const auto& content) -> nlohmann::json {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, std::monostate> ||
                      std::is_same_v<T, flutter::CustomValue>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, int32_t>) {
          return static_cast<int64_t>(content);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          return nlohmann::json::binary(content);
        } else if constexpr (std::is_same_v<T, ValueList>) {
          nlohmann::json array = nlohmann::json::array();
          for (const auto& element : content) array.push_back(ToJson(element));
          return array;
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          nlohmann::json object = nlohmann::json::object();
          for (const auto& [key, element] : content) {
            const auto* name = std::get_if<std::string>(&key);
            if (name == nullptr) throw std::invalid_argument("JSON object keys must be strings");
            object[*name] = ToJson(element);
          }
          return object;
        } else {
          // bool, int64, double, string and the numeric arrays.
          return nlohmann::json(content);
        }
      },
      static_cast<const EncodableValue::variant&>(value));
}

}  // namespace bench
