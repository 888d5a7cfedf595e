// Fuzz target: one value read with the standard serializer.
#include <cstddef>
#include <cstdint>

#include "codec/fuzz/fuzz_oracle.h"

using namespace flutter;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::Diagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteBufferStreamReader reader(data, size);
  const EncodableValue value = StandardCodecSerializer::DefaultInstance().ReadTaggedValue(&reader);
  fuzzing::CheckDecodedValue(value, size);
  return 0;
}
