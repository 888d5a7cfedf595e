// Moves, ordering, equality and map lookup of EncodableValue.
#include "codec/encodable_value.h"

#include <algorithm>
#include <functional>

namespace flutter {

namespace {

// Empties the content of a moved-from value while keeping its alternative.
// Standard containers are left valid but unspecified by a move; clearing
// makes "emptied" a guarantee rather than a library habit.
struct ClearContent {
  template <typename T>
  void operator()(T& content) const {
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, ValueList> ||
                  std::is_same_v<T, ValueMap> || std::is_same_v<T, std::vector<uint8_t>> ||
                  std::is_same_v<T, std::vector<int32_t>> ||
                  std::is_same_v<T, std::vector<int64_t>> ||
                  std::is_same_v<T, std::vector<double>> || std::is_same_v<T, std::vector<float>>) {
      content.clear();
    }
  }
};

// Content comparison for two values holding the same alternative.
struct LessSameAlternative {
  template <typename T>
  bool operator()(const T& a, const T& b) const {
    if constexpr (std::is_same_v<T, std::monostate>) {
      return false;
    } else if constexpr (std::is_same_v<T, CustomValue>) {
      return std::less<const CustomValue*>()(&a, &b);
    } else if constexpr (std::is_same_v<T, std::string>) {
      // Bytes as unsigned, whatever the signedness of char.
      return std::lexicographical_compare(
          a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
          });
    } else {
      // Scalars by <; arrays, lists and maps lexicographically by their
      // elements' < (map entries are pairs: key first, then value).
      return a < b;
    }
  }
};

struct EqualSameAlternative {
  template <typename T>
  bool operator()(const T& a, const T& b) const {
    if constexpr (std::is_same_v<T, CustomValue>) {
      return &a == &b;
    } else {
      return a == b;
    }
  }
};

template <typename Compare>
bool VisitSameAlternative(const EncodableValue& a, const EncodableValue& b, Compare compare) {
  return std::visit(
      [&b, &compare](const auto& content_a) {
        using T = std::decay_t<decltype(content_a)>;
        return compare(content_a, *std::get_if<T>(&b));
      },
      static_cast<const EncodableVariant&>(a));
}

}  // namespace

EncodableValue::EncodableValue(EncodableValue&& other) noexcept
    : EncodableVariant(std::move(static_cast<EncodableVariant&>(other))) {
  std::visit(ClearContent(), static_cast<EncodableVariant&>(other));
}

EncodableValue& EncodableValue::operator=(EncodableValue&& other) noexcept {
  if (this != &other) {
    EncodableVariant::operator=(std::move(static_cast<EncodableVariant&>(other)));
    std::visit(ClearContent(), static_cast<EncodableVariant&>(other));
  }
  return *this;
}

bool operator<(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return a.index() < b.index();
  return VisitSameAlternative(a, b, LessSameAlternative());
}

bool operator==(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return false;
  return VisitSameAlternative(a, b, EqualSameAlternative());
}

const EncodableValue* LookupMapValue(const ValueMap& map, const std::string& key) {
  auto it = map.find(EncodableValue(key));
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace flutter
