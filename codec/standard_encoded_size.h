// The size of the standard form, for reserving an output buffer once.
#ifndef ORVA_CODEC_STANDARD_ENCODED_SIZE_H_
#define ORVA_CODEC_STANDARD_ENCODED_SIZE_H_

#include <cstddef>

#include "codec/encodable_value.h"

namespace flutter {

// The message position just after |value| when StandardCodecSerializer
// itself (not a derived serializer) writes it starting at |position|.
// Positions count from the start of the message, as the alignment pads do.
size_t StandardEncodedEnd(const EncodableValue& value, size_t position);

}  // namespace flutter

#endif  // ORVA_CODEC_STANDARD_ENCODED_SIZE_H_
