// flutter::EncodableValue: the value that crosses a method channel.
//
// A closed tagged union of fourteen alternatives with value semantics. The
// position of each alternative (its index) is part of the format: the
// ordering sorts by it first and the standard serializer maps it to a wire
// type code. The float array comes last, after CustomValue.
//
//   0 null            5 string               10 ValueList
//   1 bool            6 byte array           11 ValueMap
//   2 int32_t         7 int32 array          12 CustomValue
//   3 int64_t         8 int64 array          13 float array
//   4 double          9 double array
//
// Copies are deep. A move leaves the source holding the same alternative with
// emptied content, except that a CustomValue payload is copied and stays in
// the source. Values are ordered by index first and then by content (see
// operator<), which is what lets them be ValueMap keys.
#ifndef ORVA_CODEC_ENCODABLE_VALUE_H_
#define ORVA_CODEC_ENCODABLE_VALUE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using ValueList = std::vector<EncodableValue>;
using ValueMap = std::map<EncodableValue, EncodableValue>;

// An owned, type-erased payload of any copyable type. Nothing in the codec
// looks inside it: the standard serializer writes it as null.
//
// Copying copies the payload with the payload type's own copy. There is no
// move: a "moved" CustomValue is copied, and the source keeps its payload.
class CustomValue {
 public:
  template <typename T, typename = std::enable_if_t<!std::is_same_v<std::decay_t<T>, CustomValue>>>
  explicit CustomValue(T&& payload)
      : holder_(std::make_unique<Holder<std::decay_t<T>>>(std::forward<T>(payload))) {}

  CustomValue(const CustomValue& other) : holder_(other.holder_->Clone()) {}
  CustomValue& operator=(const CustomValue& other) {
    if (this != &other) holder_ = other.holder_->Clone();
    return *this;
  }
  ~CustomValue() = default;

  // The payload's type.
  const std::type_info& type() const { return holder_->type(); }

  // The payload when it is a T, else null.
  template <typename T>
  const T* TryGet() const {
    auto* typed = dynamic_cast<const Holder<T>*>(holder_.get());
    return typed ? &typed->payload : nullptr;
  }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
    virtual std::unique_ptr<HolderBase> Clone() const = 0;
    virtual const std::type_info& type() const = 0;
  };
  template <typename T>
  struct Holder final : HolderBase {
    explicit Holder(T value) : payload(std::move(value)) {}
    std::unique_ptr<HolderBase> Clone() const override { return std::make_unique<Holder>(payload); }
    const std::type_info& type() const override { return typeid(T); }
    T payload;
  };

  std::unique_ptr<HolderBase> holder_;
};

using EncodableVariant =
    std::variant<std::monostate, bool, int32_t, int64_t, double, std::string, std::vector<uint8_t>,
                 std::vector<int32_t>, std::vector<int64_t>, std::vector<double>, ValueList,
                 ValueMap, CustomValue, std::vector<float>>;

class EncodableValue : public EncodableVariant {
 public:
  using EncodableVariant::EncodableVariant;

  EncodableValue() = default;
  // Text literals become strings (and not booleans, which the pointer would
  // otherwise convert to).
  EncodableValue(const char* text) : EncodableVariant(std::string(text)) {}

  EncodableValue(const EncodableValue& other) = default;
  EncodableValue& operator=(const EncodableValue& other) = default;
  // The content moves; the source keeps its alternative, emptied. Only a
  // CustomValue's payload is copied instead; should that copy run out of
  // memory, the program ends (noexcept), which keeps lists and maps of
  // values growing by moves rather than deep copies.
  EncodableValue(EncodableValue&& other) noexcept;             // NOLINT(bugprone-exception-escape)
  EncodableValue& operator=(EncodableValue&& other) noexcept;  // NOLINT(bugprone-exception-escape)
  ~EncodableValue() = default;

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }
};

// Strict weak order (for everything but NaN doubles, which are neither before
// nor after any double): by index, then by content. Strings and byte arrays
// compare bytes as unsigned; arrays, lists and maps compare lexicographically
// with a proper prefix first; map entries compare by key, then by value;
// CustomValues compare by address, so a CustomValue is equivalent only to
// itself.
bool LessByContent(const EncodableValue& a, const EncodableValue& b);
inline bool operator<(const EncodableValue& a, const EncodableValue& b) {
  // String map keys, the usual ones, skip the general dispatch: inline, as
  // every map insertion and lookup asks.
  const auto* text_a = std::get_if<std::string>(&a);
  const auto* text_b = std::get_if<std::string>(&b);
  if (text_a == nullptr || text_b == nullptr) return LessByContent(a, b);
  const size_t common = text_a->size() < text_b->size() ? text_a->size() : text_b->size();
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>((*text_a)[i]);
    const auto y = static_cast<unsigned char>((*text_b)[i]);
    if (x != y) return x < y;
  }
  return text_a->size() < text_b->size();
}
inline bool operator>(const EncodableValue& a, const EncodableValue& b) { return b < a; }
inline bool operator<=(const EncodableValue& a, const EncodableValue& b) { return !(b < a); }
inline bool operator>=(const EncodableValue& a, const EncodableValue& b) { return !(a < b); }

// Same alternative and equal content (doubles by ==, CustomValues by
// identity).
bool operator==(const EncodableValue& a, const EncodableValue& b);
inline bool operator!=(const EncodableValue& a, const EncodableValue& b) { return !(a == b); }

// Strict access that fails, whatever the standard library, with a
// std::bad_variant_access whose message is "bad variant access" (std::get
// works too, but some libraries word its message differently).
template <typename T>
const T& GetStrict(const EncodableValue& value) {
  const T* content = std::get_if<T>(&value);
  if (content == nullptr) throw std::bad_variant_access();
  return *content;
}

// The value stored in |map| under the string key |key|, or null when there is
// none. Only a string key matches: the integer 7 is not found for "7".
const EncodableValue* LookupMapValue(const ValueMap& map, const std::string& key);

}  // namespace flutter

#endif  // ORVA_CODEC_ENCODABLE_VALUE_H_
