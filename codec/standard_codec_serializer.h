// flutter::StandardCodecSerializer: the standard binary form of an
// EncodableValue.
//
// Every value is one type code byte followed by its payload; multi-byte
// numbers are little-endian and alignment pads count from the start of the
// message:
//
//   0 null (also written for every CustomValue)   8 byte array: length, bytes
//   1 true      2 false                           9 int32 array: count, pad 4, elements
//   3 int32: 4 bytes   4 int64: 8 bytes          10 int64 array: count, pad 8, elements
//   5 read as 7 (never written)                  11 double array: count, pad 8, elements
//   6 double: pad 8, 8 bytes                     12 list: count, each element
//   7 string: length, bytes                      13 map: count, key and value per entry
//                                                14 float array: count, pad 4, elements
//
// Lengths and counts: 0..253 as one byte; up to 65535 as FE and 16 bits;
// beyond as FF and 32 bits. A typed array's pad is written even when it has
// no elements, as the UI side writes it, and always skipped when reading. A
// length beyond 32 bits is refused with one line on the standard error
// stream: the value is written as a null, and WriteLength writes nothing.
//
// A derived serializer may override WriteValue and ReadValueOfType to add
// types; nested values always go through those two, so the override also
// applies inside lists and maps.
#ifndef ORVA_CODEC_STANDARD_CODEC_SERIALIZER_H_
#define ORVA_CODEC_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"

namespace flutter {

class StandardCodecSerializer {
 public:
  StandardCodecSerializer();
  virtual ~StandardCodecSerializer();

  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The process-wide default serializer (created on first use, safely even
  // when that happens on two threads at once).
  static const StandardCodecSerializer& DefaultInstance();

  // Appends the type code and payload of |value|.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;

  // Takes one type code byte and reads the value of that type.
  EncodableValue ReadTaggedValue(ByteStreamReader* stream) const;

  // Reads the payload of a value whose type code |type| was already taken.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // The length form used for every length and count.
  void WriteLength(size_t length, ByteStreamWriter* stream) const;
  size_t ReadLength(ByteStreamReader* stream) const;
};

// A message of the byte |envelope|, if any, and |values| in turn, written by
// |serializer|; the default serializer (not a derived one) sizes it first and
// writes it straight into a buffer of that size.
std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
    const StandardCodecSerializer& serializer, std::optional<uint8_t> envelope,
    std::initializer_list<const EncodableValue*> values);

}  // namespace flutter

#endif  // ORVA_CODEC_STANDARD_CODEC_SERIALIZER_H_
