// Fuzz target: StandardMethodCodec::DecodeCall.
#include <cstddef>
#include <cstdint>

#include "codec/fuzz/fuzz_oracle.h"
#include "codec/standard_method_codec.h"

using namespace flutter;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::Diagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  const std::unique_ptr<MethodCall> call = codec.DecodeCall(data, size);

  // A call comes out exactly when the message starts with a string value.
  ByteBufferStreamReader reader(data, size);
  const EncodableValue name = StandardCodecSerializer::DefaultInstance().ReadTaggedValue(&reader);
  const auto* name_text = std::get_if<std::string>(&name);
  fuzzing::Check((call != nullptr) == (name_text != nullptr),
                 "call decoded from a non-string name");
  if (call == nullptr) return 0;
  fuzzing::Check(call->method_name() == *name_text, "method name differs");
  fuzzing::Check(call->arguments() != nullptr, "decoded call without arguments");
  fuzzing::CheckDecodedValue(*call->arguments(), size);

  // The call re-encodes and decodes to the same name and arguments.
  const auto encoded = codec.EncodeCall(*call);
  const size_t lines_before = fuzzing::Diagnostics().lines();
  const auto again = codec.DecodeCall(encoded->data(), encoded->size());
  fuzzing::Check(again != nullptr && again->method_name() == call->method_name(),
                 "re-encoded call lost its name");
  fuzzing::Shape shape;
  fuzzing::Measure(*call->arguments(), shape);
  if (!shape.nan_in_map_key) {
    fuzzing::Check(fuzzing::Diagnostics().lines() == lines_before,
                   "re-encoded call decoded with diagnostics");
    fuzzing::Check(fuzzing::Encode(*again->arguments()) == fuzzing::Encode(*call->arguments()),
                   "re-encoded call changed its arguments");
  }
  return 0;
}
