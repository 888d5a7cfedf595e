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

int CompareValues(const EncodableValue& a, const EncodableValue& b);

// Three-way comparison of two scalars by <: -1, 0 (neither is before the
// other, also for a NaN) or 1.
template <typename T>
int CompareScalars(const T& a, const T& b) {
  if (a < b) return -1;
  if (b < a) return 1;
  return 0;
}

// Lexicographic three-way comparison; a proper prefix is before the longer
// sequence.
template <typename Sequence, typename ElementCompare>
int CompareSequences(const Sequence& a, const Sequence& b, ElementCompare compare) {
  auto ia = a.begin();
  auto ib = b.begin();
  for (; ia != a.end() && ib != b.end(); ++ia, ++ib) {
    if (int c = compare(*ia, *ib)) return c;
  }
  if (ia == a.end()) return ib == b.end() ? 0 : -1;
  return 1;
}

// Content comparison for two values holding the same alternative.
//
// Comparison is three-way all the way down: each pair of nested elements is
// compared once. A plain "a < b, then b < a" at every level would compare
// the elements of nested lists and maps twice per level, which costs time
// exponential in the nesting depth (a small message of nested maps used as
// map keys could then stall the decoder for minutes).
struct CompareSameAlternative {
  template <typename T>
  int operator()(const T& a, const T& b) const {
    if constexpr (std::is_same_v<T, std::monostate>) {
      return 0;
    } else if constexpr (std::is_same_v<T, CustomValue>) {
      // By identity: the value stored at the lower address is first.
      if (&a == &b) return 0;
      return std::less<const CustomValue*>()(&a, &b) ? -1 : 1;
    } else if constexpr (std::is_same_v<T, std::string>) {
      // Bytes as unsigned, whatever the signedness of char.
      return CompareSequences(a, b, [](char x, char y) {
        return CompareScalars(static_cast<unsigned char>(x), static_cast<unsigned char>(y));
      });
    } else if constexpr (std::is_same_v<T, ValueList>) {
      return CompareSequences(a, b, CompareValues);
    } else if constexpr (std::is_same_v<T, ValueMap>) {
      // Entries in key order; an entry compares by key first, then by value.
      return CompareSequences(a, b, [](const auto& x, const auto& y) {
        if (int c = CompareValues(x.first, y.first)) return c;
        return CompareValues(x.second, y.second);
      });
    } else if constexpr (std::is_arithmetic_v<T>) {
      return CompareScalars(a, b);
    } else {
      // Typed arrays: element by element.
      return CompareSequences(a, b,
                              [](const auto& x, const auto& y) { return CompareScalars(x, y); });
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
auto VisitSameAlternative(const EncodableValue& a, const EncodableValue& b, Compare compare) {
  return std::visit(
      [&b, &compare](const auto& content_a) {
        using T = std::decay_t<decltype(content_a)>;
        return compare(content_a, *std::get_if<T>(&b));
      },
      static_cast<const EncodableVariant&>(a));
}

int CompareValues(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
  return VisitSameAlternative(a, b, CompareSameAlternative());
}

}  // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): see the header.
EncodableValue::EncodableValue(EncodableValue&& other) noexcept
    : EncodableVariant(std::move(static_cast<EncodableVariant&>(other))) {
  std::visit(ClearContent(), static_cast<EncodableVariant&>(other));
}

// NOLINTNEXTLINE(bugprone-exception-escape): see the header.
EncodableValue& EncodableValue::operator=(EncodableValue&& other) noexcept {
  if (this != &other) {
    EncodableVariant::operator=(std::move(static_cast<EncodableVariant&>(other)));
    std::visit(ClearContent(), static_cast<EncodableVariant&>(other));
  }
  return *this;
}

bool LessByContent(const EncodableValue& a, const EncodableValue& b) {
  return CompareValues(a, b) < 0;
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
