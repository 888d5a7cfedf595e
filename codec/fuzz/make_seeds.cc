// Writes the seed corpora of the codec's fuzz targets:
//   make_seeds <corpus folder>
// creates <folder>/fuzz_read_tagged_value, fuzz_decode_call and
// fuzz_decode_reply, one file per seed message.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codec/fuzz/fuzz_oracle.h"
#include "codec/standard_method_codec.h"

using namespace flutter;

namespace {

void WriteSeeds(const std::filesystem::path& folder,
                const std::vector<std::vector<uint8_t>>& seeds) {
  std::filesystem::create_directories(folder);
  for (size_t i = 0; i < seeds.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "seed_%02zu", i);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(seeds[i].data()),
              static_cast<std::streamsize>(seeds[i].size()));
  }
}

std::vector<EncodableValue> SampleValues() {
  ValueMap stats;
  stats[EncodableValue("rx")] = EncodableValue(int64_t{6707});
  stats[EncodableValue("tx")] = EncodableValue(int64_t{1331691});
  return {
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(int32_t{-2}),
      EncodableValue(int64_t{1} << 40),
      EncodableValue(1.0),
      EncodableValue("connected"),
      EncodableValue(std::string(300, 'w')),
      EncodableValue(std::vector<uint8_t>{0, 1, 254, 255}),
      EncodableValue(std::vector<int32_t>{-1, 2}),
      EncodableValue(std::vector<int64_t>{3}),
      EncodableValue(std::vector<double>{0.5, -0.25}),
      EncodableValue(std::vector<float>{1.5f}),
      EncodableValue(ValueList{EncodableValue(1), EncodableValue("two"), EncodableValue(3.0),
                               EncodableValue(ValueList{EncodableValue(false)})}),
      EncodableValue(stats),
      EncodableValue(
          ValueMap{{EncodableValue("config"), EncodableValue("[Interface]\nPrivateKey = x\n")}}),
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const auto& codec = StandardMethodCodec::ForSerializer();

  std::vector<std::vector<uint8_t>> values, calls, replies;
  for (const EncodableValue& value : SampleValues()) {
    values.push_back(fuzzing::Encode(value));
    calls.push_back(
        *codec.EncodeCall(MethodCall("getStatus", std::make_unique<EncodableValue>(value))));
    replies.push_back(*codec.EncodeSuccessReply(&value));
    replies.push_back(*codec.EncodeErrorReply("INVALID_ARGUMENT", "message", &value));
  }
  calls.push_back(*codec.EncodeCall(MethodCall("connect", nullptr)));
  replies.push_back(*codec.EncodeErrorReply("UNAVAILABLE"));
  replies.push_back({});  // the empty reply of a method that is not implemented

  WriteSeeds(root / "fuzz_read_tagged_value", values);
  WriteSeeds(root / "fuzz_decode_call", calls);
  WriteSeeds(root / "fuzz_decode_reply", replies);
  return 0;
}
