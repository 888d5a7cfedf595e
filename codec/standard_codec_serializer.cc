// The standard serializer: writing and reading the standard value form.
//
// Bounded decoding. The form announces lengths and counts before the data
// they describe, and a corrupt message may announce billions. The reader
// therefore never honours an announcement that the bytes left in the message
// cannot hold:
//
//   * Every list element still to come needs at least 1 byte (its type code)
//     and every map entry at least 2; a string or byte array needs its length
//     in bytes and a typed array its count times the element width, after its
//     alignment pad.
//   * Bytes already promised to the unread elements of the enclosing lists
//     and maps are not available to a nested announcement ("owed" below), so
//     that nested containers cannot all lay claim to the same bytes.
//   * An announcement that does not fit in the remaining, unpromised bytes
//     writes the reader's "Invalid read in StandardCodecByteStreamReader"
//     line and yields its alternative's empty value (empty string, array,
//     list or map); nothing more of it is consumed. The pad of a typed array
//     is still skipped, so the position moves exactly as it would for the
//     failed bulk read of a fitting array, and the number of diagnostic lines
//     stays the same.
//   * Lists and maps nest at most kMaxNestingDepth deep; a deeper one is
//     refused the same way, so a corrupt message cannot exhaust the stack.
//
// Every accepted element is paid for by a distinct byte of the message, so
// decoding n bytes makes at most about n elements and allocates at most about
// n bytes of content. A well-formed message always fits: each announced
// element is followed by its own bytes. Everything else follows the plain
// reading rules: short fixed-width reads give zeros, and the elements of a
// list that runs out read as nulls, each with its diagnostic line.
#include "codec/standard_codec_serializer.h"

#include <cstddef>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <typeinfo>
#include <utility>

#include "codec/standard_encoded_size.h"

namespace flutter {

namespace {

enum TypeCode : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // read as a string, never written
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

constexpr uint8_t kLength16 = 254;
constexpr uint8_t kLength32 = 255;

// The largest length or count the size form can carry (FF and 32 bits).
constexpr uint64_t kMaxWrittenLength = 0xFFFFFFFF;

constexpr size_t kMaxNestingDepth = 512;

// Room given at once to an empty output vector on the fast writing path.
constexpr size_t kInitialBufferCapacity = 64;

// The decoding state of one reader, shared by the nested reads of one value.
// The serializer has no state of its own, so it lives with the thread for the
// duration of the outermost read.
struct DecodeBudget {
  const ByteStreamReader* reader = nullptr;
  size_t owed = 0;   // bytes promised to announced elements not yet begun
  size_t depth = 0;  // lists and maps being read
};

thread_local DecodeBudget* active_budget = nullptr;

// Joins the active budget when it belongs to |reader|, otherwise opens a
// fresh one (a nested read from another reader) until the scope ends.
class BudgetScope {
 public:
  explicit BudgetScope(const ByteStreamReader* reader) : outer_(active_budget) {
    if (outer_ != nullptr && outer_->reader == reader) {
      budget_ = outer_;
    } else {
      own_.reader = reader;
      budget_ = &own_;
      active_budget = &own_;
    }
  }
  ~BudgetScope() { active_budget = outer_; }
  BudgetScope(const BudgetScope&) = delete;
  BudgetScope& operator=(const BudgetScope&) = delete;

  DecodeBudget& budget() { return *budget_; }

  // Bytes left in the message that no announced element has claimed.
  size_t FreeBytes() const {
    size_t remaining = budget_->reader->RemainingBytes();
    return remaining > budget_->owed ? remaining - budget_->owed : 0;
  }

 private:
  DecodeBudget* outer_;
  DecodeBudget own_;
  DecodeBudget* budget_;
};

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
  ContainerClaim(const ContainerClaim&) = delete;
  ContainerClaim& operator=(const ContainerClaim&) = delete;

  // The next element (or key, or value) begins: its byte is no longer owed.
  void BeginElement() { --budget_.owed; }

 private:
  DecodeBudget& budget_;
  size_t owed_before_;
};

// The reader when it is exactly a ByteBufferStreamReader, whose bytes can be
// taken in place; null for any other reader (a derived one included, whose
// overrides must see every read).
ByteBufferStreamReader* AsBufferReader(ByteStreamReader* stream) {
  return typeid(*stream) == typeid(ByteBufferStreamReader)
             ? static_cast<ByteBufferStreamReader*>(stream)
             : nullptr;
}

// Walks the elements of a typed array lying at any alignment in a byte
// buffer, reading each with memcpy, so a vector can be built from them in one
// pass (no zero-filling first).
template <typename T>
class UnalignedElements {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  explicit UnalignedElements(const uint8_t* bytes) : bytes_(bytes) {}
  T operator*() const {
    T value;
    std::memcpy(&value, bytes_, sizeof(T));
    return value;
  }
  T operator[](difference_type n) const { return *(*this + n); }
  UnalignedElements& operator++() { return *this += 1; }
  UnalignedElements& operator--() { return *this -= 1; }
  UnalignedElements& operator+=(difference_type n) {
    bytes_ += n * static_cast<difference_type>(sizeof(T));
    return *this;
  }
  UnalignedElements& operator-=(difference_type n) { return *this += -n; }
  UnalignedElements operator+(difference_type n) const { return UnalignedElements(*this) += n; }
  UnalignedElements operator-(difference_type n) const { return UnalignedElements(*this) -= n; }
  difference_type operator-(const UnalignedElements& other) const {
    return (bytes_ - other.bytes_) / static_cast<difference_type>(sizeof(T));
  }
  bool operator==(const UnalignedElements& other) const { return bytes_ == other.bytes_; }
  bool operator!=(const UnalignedElements& other) const { return bytes_ != other.bytes_; }
  bool operator<(const UnalignedElements& other) const { return bytes_ < other.bytes_; }

 private:
  const uint8_t* bytes_;
};

// Windows targets (x86-64, ARM64) are little-endian, so the host byte order
// of scalars and array elements is the wire order.
template <typename T>
void PutScalar(T value, ByteStreamWriter* stream) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  stream->PutBytes(bytes, sizeof(T));
}

template <typename T>
T TakeScalar(ByteStreamReader* stream) {
  uint8_t bytes[sizeof(T)] = {};
  stream->TakeBytes(bytes, sizeof(T));
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename T>
void WriteTypedArray(const std::vector<T>& elements, const StandardCodecSerializer& serializer,
                     ByteStreamWriter* stream) {
  serializer.WriteLength(elements.size(), stream);
  // The pad comes before the elements even when there are none: readers
  // always skip to the boundary after the count.
  stream->PadToAlignment(static_cast<uint8_t>(sizeof(T)));
  if (elements.empty()) return;
  stream->PutBytes(reinterpret_cast<const uint8_t*>(elements.data()), elements.size() * sizeof(T));
}

// Strings (codes 5 and 7) and byte arrays (8).
template <typename Bytes>
EncodableValue ReadByteRun(const StandardCodecSerializer& serializer, ByteStreamReader* stream,
                           const BudgetScope& scope) {
  size_t length = serializer.ReadLength(stream);
  if (length > scope.FreeBytes()) {
    ReportInvalidStreamRead();
    return EncodableValue(Bytes());
  }
  if (length == 0) return EncodableValue(Bytes());
  if (ByteBufferStreamReader* buffer = AsBufferReader(stream)) {
    const auto* first =
        reinterpret_cast<const typename Bytes::value_type*>(buffer->TakeInPlace(length));
    if (first == nullptr) return EncodableValue(Bytes(length, 0));
    // Built where it will stay: a short string is not copied again by a move.
    return EncodableValue(std::in_place_type<Bytes>, first, first + length);
  }
  Bytes bytes(length, 0);
  stream->TakeBytes(reinterpret_cast<uint8_t*>(&bytes[0]), length);
  return EncodableValue(std::move(bytes));
}

// Typed arrays (codes 9, 10, 11 and 14). The pad is skipped even when the
// count is 0.
template <typename T>
std::vector<T> ReadTypedArray(const StandardCodecSerializer& serializer, ByteStreamReader* stream,
                              const BudgetScope& scope) {
  size_t count = serializer.ReadLength(stream);
  stream->SkipToAlignment(static_cast<uint8_t>(sizeof(T)));
  if (count > scope.FreeBytes() / sizeof(T)) {
    ReportInvalidStreamRead();
    return std::vector<T>();
  }
  if (ByteBufferStreamReader* buffer = AsBufferReader(stream)) {
    const uint8_t* first = buffer->TakeInPlace(count * sizeof(T));
    if (first == nullptr) return std::vector<T>(count);
    return std::vector<T>(UnalignedElements<T>(first), UnalignedElements<T>(first) + count);
  }
  std::vector<T> elements(count);
  stream->TakeBytes(reinterpret_cast<uint8_t*>(elements.data()), count * sizeof(T));
  return elements;
}

ValueList ReadList(const StandardCodecSerializer& serializer, ByteStreamReader* stream,
                   BudgetScope& scope) {
  size_t count = serializer.ReadLength(stream);
  if (scope.budget().depth >= kMaxNestingDepth || count > scope.FreeBytes()) {
    ReportInvalidStreamRead();
    return ValueList();
  }
  ContainerClaim claim(scope.budget(), count);
  ValueList list;
  list.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    claim.BeginElement();
    list.push_back(serializer.ReadTaggedValue(stream));
  }
  return list;
}

// A key that is already present keeps its first value.
ValueMap ReadMap(const StandardCodecSerializer& serializer, ByteStreamReader* stream,
                 BudgetScope& scope) {
  size_t count = serializer.ReadLength(stream);
  if (scope.budget().depth >= kMaxNestingDepth || count > scope.FreeBytes() / 2) {
    ReportInvalidStreamRead();
    return ValueMap();
  }
  ContainerClaim claim(scope.budget(), count * 2);
  ValueMap map;
  for (size_t i = 0; i < count; ++i) {
    claim.BeginElement();
    EncodableValue key = serializer.ReadTaggedValue(stream);
    claim.BeginElement();
    EncodableValue value = serializer.ReadTaggedValue(stream);
    // Keys arrive in ascending order from a well-behaved writer, so the end
    // is the usual place; any other key is still placed by a full search.
    map.try_emplace(map.end(), std::move(key), std::move(value));
  }
  return map;
}

// The length or count that |value| writes before its elements; 0 for the
// alternatives that write none.
size_t WrittenLength(const EncodableValue& value) {
  switch (value.index()) {
    case 5:
      return std::get<std::string>(value).size();
    case 6:
      return std::get<std::vector<uint8_t>>(value).size();
    case 7:
      return std::get<std::vector<int32_t>>(value).size();
    case 8:
      return std::get<std::vector<int64_t>>(value).size();
    case 9:
      return std::get<std::vector<double>>(value).size();
    case 10:
      return std::get<ValueList>(value).size();
    case 11:
      return std::get<ValueMap>(value).size();
    case 13:
      return std::get<std::vector<float>>(value).size();
    default:
      return 0;
  }
}

// True, after the refusal line, for a length the size form cannot carry:
// written modulo 2^32 it would make the peer misread everything after it.
bool RefuseLength(size_t length) {
  if (static_cast<uint64_t>(length) <= kMaxWrittenLength) return false;
  std::cerr << "Length " << length << " does not fit in StandardCodecSerializer's 32-bit size; "
            << "the value is not written." << std::endl;
  return true;
}

// The common case, the default serializer writing into a byte vector, is
// encoded here without a virtual call per byte: every byte goes straight into
// the vector. The bytes are exactly those of the general path below
// (StandardCodecSerializer::WriteValue through the stream), which any other
// serializer or stream still takes. StandardEncodedEnd sizes the same bytes,
// so that the method codec can reserve a whole message at once.
size_t LengthSize(size_t length) { return length < kLength16 ? 1 : length <= 0xFFFF ? 3 : 5; }

size_t AlignUp(size_t position, size_t alignment) {
  size_t misalignment = position % alignment;
  return misalignment == 0 ? position : position + alignment - misalignment;
}

template <typename T>
size_t TypedArrayEnd(const std::vector<T>& elements, size_t position) {
  position += LengthSize(elements.size());
  return AlignUp(position, sizeof(T)) + elements.size() * sizeof(T);
}

}  // namespace

// The cases below and in DirectWriter::Write are EncodableValue's alternative
// indices (0 null, 1 bool, 2 int32, ... 12 CustomValue, 13 float array).
size_t StandardEncodedEnd(const EncodableValue& value, size_t position) {
  ++position;  // type code
  switch (value.index()) {
    case 2:
      return position + 4;
    case 3:
      return position + 8;
    case 4:
      return AlignUp(position, 8) + 8;
    case 5: {
      size_t size = std::get<std::string>(value).size();
      return position + LengthSize(size) + size;
    }
    case 6: {
      size_t size = std::get<std::vector<uint8_t>>(value).size();
      return position + LengthSize(size) + size;
    }
    case 7:
      return TypedArrayEnd(std::get<std::vector<int32_t>>(value), position);
    case 8:
      return TypedArrayEnd(std::get<std::vector<int64_t>>(value), position);
    case 9:
      return TypedArrayEnd(std::get<std::vector<double>>(value), position);
    case 10: {
      const auto& list = std::get<ValueList>(value);
      position += LengthSize(list.size());
      for (const EncodableValue& element : list) position = StandardEncodedEnd(element, position);
      return position;
    }
    case 11: {
      const auto& map = std::get<ValueMap>(value);
      position += LengthSize(map.size());
      for (const auto& [key, entry_value] : map) {
        position = StandardEncodedEnd(entry_value, StandardEncodedEnd(key, position));
      }
      return position;
    }
    case 13:
      return TypedArrayEnd(std::get<std::vector<float>>(value), position);
    default:  // null, booleans, CustomValue: the code alone
      return position;
  }
}

namespace {

class DirectWriter {
 public:
  explicit DirectWriter(std::vector<uint8_t>& out) : out_(out) {}

  void PutByte(uint8_t byte) { out_.push_back(byte); }
  void PutBytes(const void* bytes, size_t length) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    out_.insert(out_.end(), first, first + length);
  }
  template <typename T>
  void PutScalar(T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    PutBytes(bytes, sizeof(T));
  }
  void PadToAlignment(size_t alignment) { out_.resize(AlignUp(out_.size(), alignment), 0); }
  void PutLength(size_t length) {
    if (length < kLength16) {
      PutByte(static_cast<uint8_t>(length));
    } else if (length <= 0xFFFF) {
      PutByte(kLength16);
      PutScalar(static_cast<uint16_t>(length));
    } else {
      PutByte(kLength32);
      PutScalar(static_cast<uint32_t>(length));  // Write refused longer ones
    }
  }
  template <typename T>
  void PutTypedArray(uint8_t code, const std::vector<T>& elements) {
    PutByte(code);
    PutLength(elements.size());
    PadToAlignment(sizeof(T));
    if (elements.empty()) return;
    PutBytes(elements.data(), elements.size() * sizeof(T));
  }

  void Write(const EncodableValue& value) {
    if (RefuseLength(WrittenLength(value))) {
      PutByte(kNull);  // as for any value the peer could not read
      return;
    }
    switch (value.index()) {
      case 0:
        PutByte(kNull);
        return;
      case 1:
        PutByte(std::get<bool>(value) ? kTrue : kFalse);
        return;
      case 2:
        PutByte(kInt32);
        PutScalar(std::get<int32_t>(value));
        return;
      case 3:
        PutByte(kInt64);
        PutScalar(std::get<int64_t>(value));
        return;
      case 4:
        PutByte(kFloat64);
        PadToAlignment(8);
        PutScalar(std::get<double>(value));
        return;
      case 5: {
        const auto& text = std::get<std::string>(value);
        PutByte(kString);
        PutLength(text.size());
        PutBytes(text.data(), text.size());
        return;
      }
      case 6: {
        const auto& bytes = std::get<std::vector<uint8_t>>(value);
        PutByte(kUInt8List);
        PutLength(bytes.size());
        PutBytes(bytes.data(), bytes.size());
        return;
      }
      case 7:
        PutTypedArray(kInt32List, std::get<std::vector<int32_t>>(value));
        return;
      case 8:
        PutTypedArray(kInt64List, std::get<std::vector<int64_t>>(value));
        return;
      case 9:
        PutTypedArray(kFloat64List, std::get<std::vector<double>>(value));
        return;
      case 10: {
        const auto& list = std::get<ValueList>(value);
        PutByte(kList);
        PutLength(list.size());
        for (const EncodableValue& element : list) Write(element);
        return;
      }
      case 11: {
        const auto& map = std::get<ValueMap>(value);
        PutByte(kMap);
        PutLength(map.size());
        for (const auto& [key, entry_value] : map) {
          Write(key);
          Write(entry_value);
        }
        return;
      }
      case 12:
        // The peer reads a null in its place.
        PutByte(kNull);
        std::cerr << "Unhandled custom type in StandardCodecSerializer::WriteValue. "
                  << "Custom types require codec extensions." << std::endl;
        return;
      case 13:
        PutTypedArray(kFloat32List, std::get<std::vector<float>>(value));
        return;
      default:
        PutByte(kNull);
        return;
    }
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace

StandardCodecSerializer::StandardCodecSerializer() = default;
StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::DefaultInstance() {
  // Initialisation of a function-local static is thread-safe.
  static const StandardCodecSerializer instance;
  return instance;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  // Only the exact pair: a derived serializer's overrides, or a derived
  // stream's, must see every nested value and byte.
  if (typeid(*this) == typeid(StandardCodecSerializer) &&
      typeid(*stream) == typeid(ByteBufferStreamWriter)) {
    std::vector<uint8_t>& out = static_cast<ByteBufferStreamWriter*>(stream)->buffer();
    // A full, small vector gets room for a small message at once, which then
    // costs one allocation instead of one per doubling. A vector with room
    // (the method codec reserves whole messages) is left as it is.
    if (out.size() == out.capacity() && out.capacity() < kInitialBufferCapacity) {
      out.reserve(kInitialBufferCapacity);
    }
    DirectWriter(out).Write(value);
    return;
  }
  if (RefuseLength(WrittenLength(value))) {
    stream->PutByte(kNull);
  } else if (const auto* boolean = std::get_if<bool>(&value)) {
    stream->PutByte(*boolean ? kTrue : kFalse);
  } else if (const auto* int32 = std::get_if<int32_t>(&value)) {
    stream->PutByte(kInt32);
    PutScalar(*int32, stream);
  } else if (const auto* int64 = std::get_if<int64_t>(&value)) {
    stream->PutByte(kInt64);
    PutScalar(*int64, stream);
  } else if (const auto* float64 = std::get_if<double>(&value)) {
    stream->PutByte(kFloat64);
    stream->PadToAlignment(8);
    PutScalar(*float64, stream);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    stream->PutByte(kString);
    WriteLength(text->size(), stream);
    if (!text->empty()) {
      stream->PutBytes(reinterpret_cast<const uint8_t*>(text->data()), text->size());
    }
  } else if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value)) {
    stream->PutByte(kUInt8List);
    WriteLength(bytes->size(), stream);
    if (!bytes->empty()) stream->PutBytes(bytes->data(), bytes->size());
  } else if (const auto* int32s = std::get_if<std::vector<int32_t>>(&value)) {
    stream->PutByte(kInt32List);
    WriteTypedArray(*int32s, *this, stream);
  } else if (const auto* int64s = std::get_if<std::vector<int64_t>>(&value)) {
    stream->PutByte(kInt64List);
    WriteTypedArray(*int64s, *this, stream);
  } else if (const auto* float64s = std::get_if<std::vector<double>>(&value)) {
    stream->PutByte(kFloat64List);
    WriteTypedArray(*float64s, *this, stream);
  } else if (const auto* float32s = std::get_if<std::vector<float>>(&value)) {
    stream->PutByte(kFloat32List);
    WriteTypedArray(*float32s, *this, stream);
  } else if (const auto* list = std::get_if<ValueList>(&value)) {
    stream->PutByte(kList);
    WriteLength(list->size(), stream);
    for (const EncodableValue& element : *list) WriteValue(element, stream);
  } else if (const auto* map = std::get_if<ValueMap>(&value)) {
    stream->PutByte(kMap);
    WriteLength(map->size(), stream);
    for (const auto& [key, entry_value] : *map) {
      WriteValue(key, stream);
      WriteValue(entry_value, stream);
    }
  } else if (std::holds_alternative<CustomValue>(value)) {
    // The peer reads a null in its place.
    stream->PutByte(kNull);
    std::cerr << "Unhandled custom type in StandardCodecSerializer::WriteValue. "
              << "Custom types require codec extensions." << std::endl;
  } else {
    stream->PutByte(kNull);
  }
}

EncodableValue StandardCodecSerializer::ReadTaggedValue(ByteStreamReader* stream) const {
  // The budget is opened (or joined) by ReadValueOfType; the type code byte
  // itself claims nothing.
  uint8_t type = stream->TakeByte();
  return ReadValueOfType(type, stream);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  BudgetScope scope(stream);
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(TakeScalar<int32_t>(stream));
    case kInt64:
      return EncodableValue(TakeScalar<int64_t>(stream));
    case kFloat64:
      stream->SkipToAlignment(8);
      return EncodableValue(TakeScalar<double>(stream));
    case kLargeInt:
    case kString:
      return ReadByteRun<std::string>(*this, stream, scope);
    case kUInt8List:
      return ReadByteRun<std::vector<uint8_t>>(*this, stream, scope);
    case kInt32List:
      return EncodableValue(ReadTypedArray<int32_t>(*this, stream, scope));
    case kInt64List:
      return EncodableValue(ReadTypedArray<int64_t>(*this, stream, scope));
    case kFloat64List:
      return EncodableValue(ReadTypedArray<double>(*this, stream, scope));
    case kFloat32List:
      return EncodableValue(ReadTypedArray<float>(*this, stream, scope));
    case kList:
      return EncodableValue(ReadList(*this, stream, scope));
    case kMap:
      return EncodableValue(ReadMap(*this, stream, scope));
    default:
      std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
                << static_cast<int>(type) << std::endl;
      return EncodableValue();
  }
}

void StandardCodecSerializer::WriteLength(size_t length, ByteStreamWriter* stream) const {
  if (RefuseLength(length)) return;
  if (length < kLength16) {
    stream->PutByte(static_cast<uint8_t>(length));
  } else if (length <= 0xFFFF) {
    stream->PutByte(kLength16);
    uint8_t bytes[2] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
    stream->PutBytes(bytes, 2);
  } else {
    stream->PutByte(kLength32);
    uint8_t bytes[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                        static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
    stream->PutBytes(bytes, 4);
  }
}

size_t StandardCodecSerializer::ReadLength(ByteStreamReader* stream) const {
  uint8_t first = stream->TakeByte();
  if (first < kLength16) return first;
  uint8_t bytes[4] = {};
  if (first == kLength16) {
    stream->TakeBytes(bytes, 2);
    return static_cast<size_t>(bytes[0]) | static_cast<size_t>(bytes[1]) << 8;
  }
  stream->TakeBytes(bytes, 4);
  return static_cast<size_t>(bytes[0]) | static_cast<size_t>(bytes[1]) << 8 |
         static_cast<size_t>(bytes[2]) << 16 | static_cast<size_t>(bytes[3]) << 24;
}

}  // namespace flutter
