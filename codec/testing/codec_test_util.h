// Helpers shared by the codec's tests: byte literals, capture of std::cerr,
// and one-call encode/decode through the default serializer.
#ifndef ORVA_CODEC_CODEC_TEST_UTIL_H_
#define ORVA_CODEC_CODEC_TEST_UTIL_H_

#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {

// Readable values in test failure messages: {index: content}.
inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  *out << "{" << value.index() << ": ";
  std::visit(
      [out](const auto& content) {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, CustomValue>) {
          *out << "-";
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
                             std::is_same_v<T, int64_t> || std::is_same_v<T, double>) {
          *out << content;
        } else if constexpr (std::is_same_v<T, std::string>) {
          *out << '"' << content << '"';
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          for (const auto& [key, entry] : content) {
            PrintTo(key, out);
            *out << "=";
            PrintTo(entry, out);
            *out << " ";
          }
        } else if constexpr (std::is_same_v<T, ValueList>) {
          for (const auto& element : content) PrintTo(element, out), *out << " ";
        } else {
          for (const auto& element : content) *out << +element << " ";
        }
      },
      static_cast<const EncodableVariant&>(value));
  *out << "}";
}

namespace testing {

using Bytes = std::vector<uint8_t>;

inline constexpr char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader";

// Bytes from a text of hexadecimal pairs separated by blanks ("0C 03 01").
inline Bytes Hex(const std::string& text) {
  Bytes bytes;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  return bytes;
}

// The bytes of a text, unchanged.
inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The parts one after the other.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// Redirects std::cerr into a buffer for the scope's lifetime.
class CerrCapture {
 public:
  CerrCapture() : saved_(std::cerr.rdbuf(captured_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(saved_); }
  CerrCapture(const CerrCapture&) = delete;
  CerrCapture& operator=(const CerrCapture&) = delete;

  std::string Text() const { return captured_.str(); }
  // The complete lines written so far (each ended with a line feed).
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(captured_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::ostringstream captured_;
  std::streambuf* saved_;
};

// |value| written after |offset| filler bytes (so that pads can be checked
// relative to the buffer start), filler included.
inline Bytes Encode(const EncodableValue& value, size_t offset = 0) {
  Bytes bytes(offset, 0xAA);
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::DefaultInstance().WriteValue(value, &writer);
  return bytes;
}

struct Decoded {
  EncodableValue value;
  size_t end_position;
};

inline Decoded Decode(const Bytes& bytes, size_t offset = 0) {
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  if (offset > 0) {
    Bytes skipped(offset);
    reader.TakeBytes(skipped.data(), offset);
  }
  EncodableValue value = StandardCodecSerializer::DefaultInstance().ReadTaggedValue(&reader);
  return {std::move(value), reader.position()};
}

}  // namespace testing
}  // namespace flutter

#endif  // ORVA_CODEC_CODEC_TEST_UTIL_H_
