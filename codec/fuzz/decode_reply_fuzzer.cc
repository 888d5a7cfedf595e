// Fuzz target: StandardMethodCodec::DecodeReply.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/fuzz/fuzz_oracle.h"
#include "codec/standard_method_codec.h"
#include "codec/testing/recording_result.h"

using namespace flutter;
using testing::RecordingResult;

namespace {

// The three values of an error envelope, read independently of the codec.
struct ErrorParts {
  EncodableValue code, message, details;
};

ErrorParts ReadErrorParts(const uint8_t* data, size_t size) {
  ByteBufferStreamReader reader(data, size);
  reader.TakeByte();
  const auto& serializer = StandardCodecSerializer::DefaultInstance();
  ErrorParts parts;
  parts.code = serializer.ReadTaggedValue(&reader);
  parts.message = serializer.ReadTaggedValue(&reader);
  parts.details = serializer.ReadTaggedValue(&reader);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::Diagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  const uint8_t flag = size > 0 ? data[0] : 0;
  RecordingResult result;
  bool recognised = false;
  try {
    recognised = codec.DecodeReply(data, size, &result);
  } catch (const std::bad_variant_access&) {
    // Only a mistyped error envelope may raise, and before any answer.
    fuzzing::Check(flag == 1 && result.calls.empty(), "unexpected bad_variant_access");
    const ErrorParts parts = ReadErrorParts(data, size);
    fuzzing::Check(
        !std::holds_alternative<std::string>(parts.code) ||
            !(parts.message.IsNull() || std::holds_alternative<std::string>(parts.message)),
        "well-typed error envelope raised");
    return 0;
  }
  fuzzing::Check(recognised == (flag == 0 || flag == 1), "envelope kind misjudged");
  fuzzing::Check(result.calls.size() == (recognised ? 1u : 0u),
                 "result answered a wrong number of times");
  if (!recognised) return 0;
  const bool success = result.calls[0] == "success";
  fuzzing::Check(success || result.calls[0] == "error", "DecodeReply answered not implemented");
  if (result.value) fuzzing::CheckDecodedValue(*result.value, size);

  // The answer re-encodes and decodes to the same answer.
  const EncodableValue* value = result.value ? &*result.value : nullptr;
  const auto encoded = success ? codec.EncodeSuccessReply(value)
                               : codec.EncodeErrorReply(result.code, result.message, value);
  RecordingResult again;
  fuzzing::Check(codec.DecodeReply(encoded->data(), encoded->size(), &again), "re-encoded reply");
  fuzzing::Check(again.calls == result.calls && again.code == result.code &&
                     again.message == result.message &&
                     again.value.has_value() == result.value.has_value(),
                 "re-encoded reply changed");
  fuzzing::Shape shape;
  if (value) fuzzing::Measure(*value, shape);
  if (value && !shape.nan_in_map_key) {
    fuzzing::Check(fuzzing::Encode(*again.value) == fuzzing::Encode(*value),
                   "re-encoded reply changed its value");
  }
  return 0;
}
