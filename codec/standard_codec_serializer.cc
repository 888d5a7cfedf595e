// The standard serializer: writing and reading the standard value form.
//
// One traversal, WriteStandard, knows the written form; its sink appends to a
// ByteBufferStreamWriter's vector directly (the default serializer's usual
// case), goes through the stream interface (any other serializer or stream,
// whose overrides must see every nested value and byte), or only counts. One
// reader, ReadPayload, likewise walks a ByteBufferStreamReader's buffer
// directly or reads through the stream interface, whose nested values go
// through ReadTaggedValue so that overrides apply inside lists and maps.
//
// Bounded decoding. An announced length or count that the bytes left cannot
// hold is refused: the reader's "Invalid read in StandardCodecByteStreamReader"
// line, the alternative's empty value, nothing more of it consumed (a typed
// array's pad is still skipped, as for a failed bulk read). Each list element
// to come needs 1 byte, each map entry 2, a string or array its content, and
// bytes owed to the unread elements of enclosing containers are not available
// to nested ones; lists and maps nest at most kMaxNestingDepth deep. So n bytes
// decode to at most about n elements and n bytes of content, and a well-formed
// message always fits. Otherwise the plain rules hold: short fixed-width reads
// give zeros, and the elements of a list that runs out read as nulls.
#include "codec/standard_codec_serializer.h"

#include <cstddef>
#include <cstring>
#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace flutter {

namespace {

// The type codes; code 5 is read as a string and never written.
constexpr uint8_t kNull = 0, kTrue = 1, kFalse = 2, kInt32 = 3, kInt64 = 4, kLargeInt = 5,
                  kFloat64 = 6, kString = 7, kUInt8List = 8, kInt32List = 9, kInt64List = 10,
                  kFloat64List = 11, kList = 12, kMap = 13, kFloat32List = 14;

// The code of each alternative written as a length and its elements.
template <typename T>
constexpr uint8_t kElementsCode = std::is_same_v<T, std::string>            ? kString
                                  : std::is_same_v<T, std::vector<uint8_t>> ? kUInt8List
                                  : std::is_same_v<T, std::vector<int32_t>> ? kInt32List
                                  : std::is_same_v<T, std::vector<int64_t>> ? kInt64List
                                  : std::is_same_v<T, std::vector<double>>  ? kFloat64List
                                                                            : kFloat32List;

constexpr uint8_t kLength16 = 254, kLength32 = 255;
// The largest length or count the size form can carry (FF and 32 bits).
constexpr uint64_t kMaxWrittenLength = 0xFFFFFFFF;
constexpr size_t kMaxNestingDepth = 512;
// Room given at once to an empty output vector on the direct writing path.
constexpr size_t kInitialBufferCapacity = 64;

size_t AlignUp(size_t position, size_t alignment) {
  size_t misalignment = position % alignment;
  return misalignment == 0 ? position : position + alignment - misalignment;
}

// True for a length the size form cannot carry (written modulo 2^32 it would
// make the peer misread everything after it); a sink that writes says so.
template <typename Sink>
bool Refused(size_t length) {
  if (static_cast<uint64_t>(length) <= kMaxWrittenLength) return false;
  if constexpr (Sink::kReports) {
    std::cerr << "Length " << length << " does not fit in StandardCodecSerializer's 32-bit size; "
              << "the value is not written." << std::endl;
  }
  return true;
}

// Windows targets (x86-64, ARM64) are little-endian, so the host byte order
// of scalars and array elements is the wire order.
template <typename Sink, typename T>
void PutScalar(Sink& out, T value) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.Bytes(bytes, sizeof(T));
}

template <typename Sink>
void PutLength(Sink& out, size_t length) {
  if (length < kLength16) {
    out.Byte(static_cast<uint8_t>(length));
  } else if (length <= 0xFFFF) {
    out.Byte(kLength16);
    PutScalar(out, static_cast<uint16_t>(length));
  } else {
    out.Byte(kLength32);
    PutScalar(out, static_cast<uint32_t>(length));
  }
}

// The one traversal that knows the form. A sink has Byte, Bytes, Pad (zeros
// up to a multiple, counted from the message start), Nested (a list element,
// map key or map value) and kReports (whether it writes diagnostics).
template <typename Sink>
void WriteStandard(const EncodableValue& value, Sink& out) {
  std::visit(
      [&out](const auto& content) {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, CustomValue>) {
          out.Byte(kNull);  // for a CustomValue too: the peer reads a null in its place
          if constexpr (std::is_same_v<T, CustomValue> && Sink::kReports) {
            std::cerr << "Unhandled custom type in StandardCodecSerializer::WriteValue. "
                      << "Custom types require codec extensions." << std::endl;
          }
        } else if constexpr (std::is_same_v<T, bool>) {
          out.Byte(content ? kTrue : kFalse);
        } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
          out.Byte(std::is_same_v<T, int32_t> ? kInt32 : kInt64);
          PutScalar(out, content);
        } else if constexpr (std::is_same_v<T, double>) {
          out.Byte(kFloat64);
          out.Pad(8);
          PutScalar(out, content);
        } else if (Refused<Sink>(content.size())) {
          out.Byte(kNull);  // as for any value the peer could not read
        } else if constexpr (std::is_same_v<T, ValueList>) {
          out.Byte(kList);
          PutLength(out, content.size());
          for (const EncodableValue& element : content) out.Nested(element);
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          out.Byte(kMap);
          PutLength(out, content.size());
          for (const auto& [key, entry_value] : content) {
            out.Nested(key);
            out.Nested(entry_value);
          }
        } else {
          // Strings, byte arrays and typed arrays. A typed array's pad comes
          // before its elements even when there are none: readers always
          // skip to the boundary after the count.
          constexpr size_t kWidth = sizeof(typename T::value_type);
          out.Byte(kElementsCode<T>);
          PutLength(out, content.size());
          if (kWidth > 1) out.Pad(kWidth);
          out.Bytes(content.data(), content.size() * kWidth);
        }
      },
      static_cast<const EncodableVariant&>(value));
}

// Counts the bytes of a message.
struct SizeSink {
  static constexpr bool kReports = false;
  size_t position;
  void Byte(uint8_t) { ++position; }
  void Bytes(const void*, size_t length) { position += length; }
  void Pad(size_t alignment) { position = AlignUp(position, alignment); }
  void Nested(const EncodableValue& value) { WriteStandard(value, *this); }
};

// Appends to a byte vector that holds the whole message.
struct VectorSink {
  static constexpr bool kReports = true;
  std::vector<uint8_t>& out;
  void Byte(uint8_t byte) { out.push_back(byte); }
  void Bytes(const void* bytes, size_t length) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), first, first + length);
  }
  void Pad(size_t alignment) { out.resize(AlignUp(out.size(), alignment), 0); }
  void Nested(const EncodableValue& value) { WriteStandard(value, *this); }
};

// Writes into a zero-filled buffer that the size pass made just large enough.
struct PresizedSink {
  static constexpr bool kReports = true;
  uint8_t* start;
  uint8_t* next;
  void Byte(uint8_t byte) { *next++ = byte; }
  void Bytes(const void* bytes, size_t length) {
    if (length > 0) std::memcpy(next, bytes, length);
    next += length;
  }
  void Pad(size_t alignment) {
    next = start + AlignUp(static_cast<size_t>(next - start), alignment);
  }
  void Nested(const EncodableValue& value) { WriteStandard(value, *this); }
};

// Writes through the stream interface; nested values go through the
// serializer's WriteValue. Empty byte runs are not handed to the stream.
struct StreamSink {
  static constexpr bool kReports = true;
  const StandardCodecSerializer& serializer;
  ByteStreamWriter* stream;
  void Byte(uint8_t byte) { stream->PutByte(byte); }
  void Bytes(const void* bytes, size_t length) {
    if (length > 0) stream->PutBytes(static_cast<const uint8_t*>(bytes), length);
  }
  void Pad(size_t alignment) { stream->PadToAlignment(static_cast<uint8_t>(alignment)); }
  void Nested(const EncodableValue& value) { serializer.WriteValue(value, stream); }
};

// The decoding state of one reader, shared by the nested reads of one value.
struct DecodeBudget {
  const ByteStreamReader* reader = nullptr;
  size_t owed = 0;   // bytes promised to announced elements not yet begun
  size_t depth = 0;  // lists and maps being read
};

// The budget of this thread's read through the stream interface: the
// serializer has no state, and those reads nest through overridable calls.
thread_local const DecodeBudget* active_budget = nullptr;

// A read of |reader| nested in one in progress starts from its budget.
DecodeBudget JoinBudget(const ByteStreamReader* reader) {
  const DecodeBudget* outer = active_budget;
  DecodeBudget budget;
  if (outer != nullptr && outer->reader == reader) budget = *outer;
  budget.reader = reader;
  return budget;
}

// Claims the bytes of a container's elements and one nesting level for as
// long as the container is being read; restores both on every exit.
class ContainerClaim {
 public:
  ContainerClaim(DecodeBudget& budget, size_t owed_bytes)
      : budget_(budget), owed_before_(budget.owed) {
    budget_.owed += owed_bytes;
    ++budget_.depth;
  }
  ~ContainerClaim() {
    budget_.owed = owed_before_;
    --budget_.depth;
  }

  // The next element (or key, or value) begins: its byte is no longer owed.
  void BeginElement() { --budget_.owed; }

 private:
  DecodeBudget& budget_;
  size_t owed_before_;
};

// The elements of a typed array at any alignment in a buffer, each read with
// memcpy, so that a vector is made from them in one pass (no zero-fill).
template <typename T>
struct UnalignedElements {
  using iterator_category = std::forward_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  const uint8_t* bytes;
  T operator*() const {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }
  UnalignedElements& operator++() {
    bytes += sizeof(T);
    return *this;
  }
  bool operator==(const UnalignedElements& other) const { return bytes == other.bytes; }
  bool operator!=(const UnalignedElements& other) const { return bytes != other.bytes; }
};

// Makes |out|, a null, hold a T made from |args|, built over the null (which
// owns nothing) where it stays; emplace would destroy the null first and may
// move in a temporary. Should building throw, |out| is a null again.
template <typename T, typename... Args>
T& Build(EncodableValue& out, Args&&... args) {
  try {
    ::new (static_cast<void*>(&out))
        EncodableValue(std::in_place_type<T>, std::forward<Args>(args)...);
  } catch (...) {
    ::new (static_cast<void*>(&out)) EncodableValue();
    throw;
  }
  return *std::get_if<T>(&out);
}

template <typename Source>
void ReadPayload(uint8_t type, Source& in, EncodableValue& out);
template <typename T, typename Source>
T TakeScalar(Source& in);
template <typename Elements, typename Source>
void ReadElementsInto(Source& in, EncodableValue& out);
template <typename Elements, typename Source, typename Make>
void ReadElements(Source& in, const Make& make);

// A source has Byte, Take, Skip, Remaining, budget, Run (the elements of a
// string or array, handed to their maker), Nested and NestedKey.

// Reads through the stream interface; its budget is the thread's until it
// ends.
class StreamSource {
 public:
  StreamSource(const StandardCodecSerializer& serializer, ByteStreamReader* stream)
      : serializer_(serializer),
        stream_(stream),
        outer_(active_budget),
        budget_(JoinBudget(stream)) {
    active_budget = &budget_;
  }
  ~StreamSource() { active_budget = outer_; }

  uint8_t Byte() { return stream_->TakeByte(); }
  void Take(uint8_t* destination, size_t length) { stream_->TakeBytes(destination, length); }
  void Skip(size_t alignment) { stream_->SkipToAlignment(static_cast<uint8_t>(alignment)); }
  size_t Remaining() const { return stream_->RemainingBytes(); }
  DecodeBudget& budget() { return budget_; }
  // Zero-filled first, so that a short read leaves zeros.
  template <typename Elements, typename Make>
  void Run(size_t count, const Make& make) {
    Elements& elements = make(count, typename Elements::value_type());
    Take(reinterpret_cast<uint8_t*>(elements.data()), count * sizeof(elements[0]));
  }
  void Nested(EncodableValue& out) { out = serializer_.ReadTaggedValue(stream_); }
  template <typename Make>
  void NestedKey(const Make& make) {
    make(serializer_.ReadTaggedValue(stream_));
  }

 private:
  const StandardCodecSerializer& serializer_;
  ByteStreamReader* stream_;
  const DecodeBudget* outer_;
  DecodeBudget budget_;
};

// Walks a ByteBufferStreamReader's buffer directly, by the reader's own
// rules. Only the exact default serializer with the exact buffer reader
// comes here, so no override can miss a read.
class BufferSource {
 public:
  explicit BufferSource(ByteBufferStreamReader* stream)
      : cursor_(stream->cursor()), budget_(JoinBudget(stream)) {}

  uint8_t Byte() { return cursor_.TakeByte(); }
  void Take(uint8_t* destination, size_t length) { cursor_.TakeBytes(destination, length); }
  void Skip(size_t alignment) { cursor_.SkipToAlignment(alignment); }
  size_t Remaining() const { return cursor_.RemainingBytes(); }
  DecodeBudget& budget() { return budget_; }
  template <typename Elements, typename Make>
  void Run(size_t count, const Make& make) {
    using T = typename Elements::value_type;
    const uint8_t* first = cursor_.TakeInPlace(count * sizeof(T));
    if (first == nullptr) {
      make(count, T());
    } else if constexpr (sizeof(T) == 1) {
      make(reinterpret_cast<const T*>(first), reinterpret_cast<const T*>(first) + count);
    } else {
      make(UnalignedElements<T>{first}, UnalignedElements<T>{first + count * sizeof(T)});
    }
  }
  void Nested(EncodableValue& out) {
    // The usual map values and list elements, read here without the call.
    const uint8_t type = Byte();
    if (type == kInt64 || type == kInt32 || type == kTrue || type == kFalse) {
      if (type == kInt64) {
        Build<int64_t>(out, TakeScalar<int64_t>(*this));
      } else if (type == kInt32) {
        Build<int32_t>(out, TakeScalar<int32_t>(*this));
      } else {
        Build<bool>(out, type == kTrue);
      }
      return;
    }
    if (type == kString) return ReadElementsInto<std::string>(*this, out);
    ReadPayload(type, *this, out);
  }
  // A string key is made straight from the buffer in its map entry.
  template <typename Make>
  void NestedKey(const Make& make) {
    uint8_t type = Byte();
    if (type == kString || type == kLargeInt) {
      ReadElements<std::string>(*this, [&make](auto&&... args) {
        make(std::in_place_type<std::string>, std::forward<decltype(args)>(args)...);
      });
    } else {
      EncodableValue key;
      ReadPayload(type, *this, key);
      make(std::move(key));
    }
  }

 private:
  BufferCursor& cursor_;
  DecodeBudget budget_;
};

// The reader to walk directly: a plain buffer reader of the default serializer.
ByteBufferStreamReader* AsBufferReader(const StandardCodecSerializer& serializer,
                                       ByteStreamReader* stream) {
  return typeid(serializer) == typeid(StandardCodecSerializer) &&
                 typeid(*stream) == typeid(ByteBufferStreamReader)
             ? static_cast<ByteBufferStreamReader*>(stream)
             : nullptr;
}

// Bytes left in the message that no announced element has claimed.
template <typename Source>
size_t FreeBytes(Source& in) {
  size_t remaining = in.Remaining();
  return remaining > in.budget().owed ? remaining - in.budget().owed : 0;
}

// A fixed-width read: zero when the bytes are not all there.
template <typename T, typename Source>
T TakeScalar(Source& in) {
  uint8_t bytes[sizeof(T)] = {};
  in.Take(bytes, sizeof(T));
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename Source>
inline size_t TakeLength(Source& in) {
  uint8_t first = in.Byte();
  if (first < kLength16) return first;
  return first == kLength16 ? TakeScalar<uint16_t>(in) : TakeScalar<uint32_t>(in);
}

// Strings (codes 5 and 7), byte arrays (8) and typed arrays (9, 10, 11 and
// 14), handed to |make| as constructor arguments of Elements. A typed
// array's pad is skipped even when its count is 0.
template <typename Elements, typename Source, typename Make>
void ReadElements(Source& in, const Make& make) {
  constexpr size_t kWidth = sizeof(typename Elements::value_type);
  size_t count = TakeLength(in);
  if (kWidth > 1) in.Skip(kWidth);
  if (count > FreeBytes(in) / kWidth) {
    ReportInvalidStreamRead();
    make();
  } else if (kWidth == 1 && count == 0) {
    make();  // an empty byte run reads nothing
  } else {
    in.template Run<Elements>(count, make);
  }
}

template <typename Elements, typename Source>
void ReadElementsInto(Source& in, EncodableValue& out) {
  ReadElements<Elements>(in, [&out](auto&&... args) -> Elements& {
    return Build<Elements>(out, std::forward<decltype(args)>(args)...);
  });
}

template <typename Source>
void ReadList(Source& in, EncodableValue& out) {
  size_t count = TakeLength(in);
  auto& list = Build<ValueList>(out);
  if (in.budget().depth >= kMaxNestingDepth || count > FreeBytes(in)) {
    ReportInvalidStreamRead();
    return;
  }
  ContainerClaim claim(in.budget(), count);
  list.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    claim.BeginElement();
    in.Nested(list.emplace_back());
  }
}

template <typename Source>
void ReadMap(Source& in, EncodableValue& out) {
  size_t count = TakeLength(in);
  auto& map = Build<ValueMap>(out);
  if (in.budget().depth >= kMaxNestingDepth || count > FreeBytes(in) / 2) {
    ReportInvalidStreamRead();
    return;
  }
  ContainerClaim claim(in.budget(), count * 2);
  for (size_t i = 0; i < count; ++i) {
    claim.BeginElement();
    // Keys arrive in ascending order from a well-behaved writer, so the end
    // is the usual place (one comparison); any other key is placed by a full
    // search. A key already present keeps its first value; the later one is
    // read all the same and dropped.
    const size_t size_before = map.size();
    auto entry = map.end();
    in.NestedKey([&map, &entry](auto&&... key) {
      entry = map.emplace_hint(map.end(), std::piecewise_construct,
                               std::forward_as_tuple(std::forward<decltype(key)>(key)...),
                               std::tuple<>());
    });
    claim.BeginElement();
    if (map.size() > size_before) {
      in.Nested(entry->second);
    } else {
      EncodableValue dropped;
      in.Nested(dropped);
    }
  }
}

// Reads the payload of a value whose type code was taken into |out|, a null.
// The fixed-width types are read here, small enough to be inlined into the
// loops of lists and maps.
template <typename Source>
inline void ReadPayload(uint8_t type, Source& in, EncodableValue& out) {
  switch (type) {
    case kNull:
      return;
    case kTrue:
    case kFalse:
      Build<bool>(out, type == kTrue);
      return;
    case kInt32:
      Build<int32_t>(out, TakeScalar<int32_t>(in));
      return;
    case kInt64:
      Build<int64_t>(out, TakeScalar<int64_t>(in));
      return;
    case kFloat64:
      in.Skip(8);
      Build<double>(out, TakeScalar<double>(in));
      return;
    case kLargeInt:
    case kString:
      return ReadElementsInto<std::string>(in, out);
    case kUInt8List:
      return ReadElementsInto<std::vector<uint8_t>>(in, out);
    case kInt32List:
      return ReadElementsInto<std::vector<int32_t>>(in, out);
    case kInt64List:
      return ReadElementsInto<std::vector<int64_t>>(in, out);
    case kFloat64List:
      return ReadElementsInto<std::vector<double>>(in, out);
    case kFloat32List:
      return ReadElementsInto<std::vector<float>>(in, out);
    case kList:
      return ReadList(in, out);
    case kMap:
      return ReadMap(in, out);
    default:
      std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
                << static_cast<int>(type) << std::endl;
  }
}

EncodableValue ReadFromBuffer(ByteBufferStreamReader* stream, uint8_t type) {
  BufferSource in(stream);
  EncodableValue value;
  ReadPayload(type, in, value);
  return value;
}

}  // namespace

std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
    const StandardCodecSerializer& serializer, std::optional<uint8_t> envelope,
    std::initializer_list<const EncodableValue*> values) {
  if (typeid(serializer) != typeid(StandardCodecSerializer)) {
    auto bytes = std::make_unique<std::vector<uint8_t>>();
    ByteBufferStreamWriter stream(bytes.get());
    if (envelope) stream.PutByte(*envelope);
    for (const EncodableValue* value : values) serializer.WriteValue(*value, &stream);
    return bytes;
  }
  SizeSink size{envelope ? 1u : 0u};
  for (const EncodableValue* value : values) WriteStandard(*value, size);
  auto bytes = std::make_unique<std::vector<uint8_t>>(size.position);
  PresizedSink out{bytes->data(), bytes->data()};
  if (envelope) out.Byte(*envelope);
  for (const EncodableValue* value : values) WriteStandard(*value, out);
  return bytes;
}

StandardCodecSerializer::StandardCodecSerializer() = default;
StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::DefaultInstance() {
  // Initialisation of a function-local static is thread-safe.
  static const StandardCodecSerializer instance;
  return instance;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  // Only the exact pair writes straight into the vector: a derived
  // serializer's overrides, or a derived stream's, must see every nested
  // value and byte.
  if (typeid(*this) == typeid(StandardCodecSerializer) &&
      typeid(*stream) == typeid(ByteBufferStreamWriter)) {
    std::vector<uint8_t>& out = static_cast<ByteBufferStreamWriter*>(stream)->buffer();
    // A full, small vector gets room for a small message at once, which then
    // costs one allocation instead of one per doubling. A vector with room
    // (the method codec reserves whole messages) is left as it is.
    if (out.size() == out.capacity() && out.capacity() < kInitialBufferCapacity) {
      out.reserve(kInitialBufferCapacity);
    }
    VectorSink sink{out};
    WriteStandard(value, sink);
    return;
  }
  StreamSink sink{*this, stream};
  WriteStandard(value, sink);
}

EncodableValue StandardCodecSerializer::ReadTaggedValue(ByteStreamReader* stream) const {
  if (ByteBufferStreamReader* buffer = AsBufferReader(*this, stream)) {
    return ReadFromBuffer(buffer, buffer->cursor().TakeByte());
  }
  uint8_t type = stream->TakeByte();
  return ReadValueOfType(type, stream);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  if (ByteBufferStreamReader* buffer = AsBufferReader(*this, stream)) {
    return ReadFromBuffer(buffer, type);
  }
  StreamSource in(*this, stream);
  EncodableValue value;
  ReadPayload(type, in, value);
  return value;
}

void StandardCodecSerializer::WriteLength(size_t length, ByteStreamWriter* stream) const {
  StreamSink sink{*this, stream};
  if (!Refused<StreamSink>(length)) PutLength(sink, length);
}

size_t StandardCodecSerializer::ReadLength(ByteStreamReader* stream) const {
  StreamSource in(*this, stream);
  return TakeLength(in);
}

}  // namespace flutter
