// Checks shared by the codec's fuzz targets.
//
// Decoding arbitrary bytes writes diagnostic lines by the million, so the
// targets send std::cerr into a line counter instead of the terminal; the
// count is itself checked (re-decoding a canonical encoding must write
// nothing). A violated check prints its reason and aborts, which libFuzzer
// reports as a finding.
#ifndef ORVA_CODEC_FUZZ_FUZZ_ORACLE_H_
#define ORVA_CODEC_FUZZ_FUZZ_ORACLE_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {
namespace fuzzing {

using Bytes = std::vector<uint8_t>;

// Swallows everything, counting the lines.
class LineCounter : public std::streambuf {
 public:
  size_t lines() const { return lines_; }

 protected:
  int overflow(int c) override {
    if (c == '\n') ++lines_;
    return c == EOF ? 0 : c;
  }
  std::streamsize xsputn(const char* text, std::streamsize length) override {
    lines_ += static_cast<size_t>(std::count(text, text + length, '\n'));
    return length;
  }

 private:
  size_t lines_ = 0;
};

inline LineCounter& Diagnostics() {
  static LineCounter* counter = [] {
    auto* created = new LineCounter();
    std::cerr.rdbuf(created);
    return created;
  }();
  return *counter;
}

[[noreturn]] inline void Fail(const char* reason) {
  std::fprintf(stderr, "oracle violated: %s\n", reason);
  std::abort();
}

inline void Check(bool condition, const char* reason) {
  if (!condition) Fail(reason);
}

// A writer the serializer can reach only through the stream interface.
class StreamWriter : public ByteStreamWriter {
 public:
  explicit StreamWriter(Bytes* bytes) : bytes_(bytes) {}
  void PutByte(uint8_t byte) override { bytes_->push_back(byte); }
  void PutBytes(const uint8_t* bytes, size_t length) override {
    bytes_->insert(bytes_->end(), bytes, bytes + length);
  }
  void PadToAlignment(uint8_t alignment) override {
    while (bytes_->size() % alignment != 0) bytes_->push_back(0);
  }

 private:
  Bytes* bytes_;
};

// The bytes of |value|. Every encoding is checked: the size pass of a whole
// message and the stream path give the bytes the direct path writes, also
// after a byte of the message (pads count from its start).
inline Bytes Encode(const EncodableValue& value) {
  const StandardCodecSerializer& serializer = StandardCodecSerializer::DefaultInstance();
  Bytes bytes, shifted{0x55}, streamed{0x55};
  ByteBufferStreamWriter writer(&bytes), shifted_writer(&shifted);
  StreamWriter stream_writer(&streamed);
  serializer.WriteValue(value, &writer);
  serializer.WriteValue(value, &shifted_writer);
  serializer.WriteValue(value, &stream_writer);
  Check(*EncodeMessage(serializer, std::nullopt, {&value}) == bytes &&
            *EncodeMessage(serializer, 0x55, {&value}) == shifted,
        "sized message differs from the bytes written");
  Check(streamed == shifted, "stream path wrote other bytes");
  return bytes;
}

// What a decoded value holds, to hold the decoder to its linear bounds.
struct Shape {
  size_t nodes = 0;          // values, nested ones included
  size_t content_bytes = 0;  // string, byte and typed array payloads
  bool nan_in_map_key = false;
};

inline void Measure(const EncodableValue& value, Shape& shape, bool in_key = false) {
  ++shape.nodes;
  std::visit(
      [&](const auto& content) {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, ValueList>) {
          for (const EncodableValue& element : content) Measure(element, shape, in_key);
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          for (const auto& [key, entry] : content) {
            Measure(key, shape, true);
            Measure(entry, shape, in_key);
          }
        } else if constexpr (std::is_same_v<T, double>) {
          shape.nan_in_map_key |= in_key && std::isnan(content);
        } else if constexpr (std::is_same_v<T, std::string> ||
                             std::is_same_v<T, std::vector<uint8_t>>) {
          shape.content_bytes += content.size();
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> ||
                             std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          shape.content_bytes += content.size() * sizeof(content[0]);
          for (auto element : content) {
            if constexpr (std::is_floating_point_v<decltype(element)>) {
              shape.nan_in_map_key |= in_key && std::isnan(element);
            }
          }
        }
      },
      static_cast<const EncodableVariant&>(value));
}

// |value| was decoded from |input_size| bytes. Its size is bounded by the
// input, and its encoding is canonical: it decodes without a diagnostic to a
// value with the same encoding. NaN map keys exempt a value from the second
// check: they are not ordered consistently.
inline void CheckDecodedValue(const EncodableValue& value, size_t input_size) {
  Shape shape;
  Measure(value, shape);
  Check(shape.nodes <= input_size + 1, "more values than input bytes");
  Check(shape.content_bytes <= input_size, "more content than input bytes");
  if (shape.nan_in_map_key) return;

  const Bytes encoded = Encode(value);
  const size_t lines_before = Diagnostics().lines();
  ByteBufferStreamReader reader(encoded.data(), encoded.size());
  const EncodableValue again = StandardCodecSerializer::DefaultInstance().ReadTaggedValue(&reader);
  Check(Diagnostics().lines() == lines_before, "canonical encoding decoded with diagnostics");
  Check(reader.position() == encoded.size(), "canonical encoding not consumed exactly");
  Check(Encode(again) == encoded, "re-decoded value differs");
}

}  // namespace fuzzing
}  // namespace flutter

#endif  // ORVA_CODEC_FUZZ_FUZZ_ORACLE_H_
