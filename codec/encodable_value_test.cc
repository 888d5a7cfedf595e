// EncodableValue: alternatives, value semantics, ordering and map access.
#include "codec/encodable_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "codec/testing/codec_test_util.h"

namespace flutter {
namespace {

// The order of the alternatives is held by the serializer's byte-exact tests
// (it writes by index) and by the ordering tests below.
TEST(EncodableValueTest, DefaultIsNullAndATextLiteralIsAString) {
  EXPECT_TRUE(EncodableValue().IsNull());
  EXPECT_FALSE(EncodableValue(false).IsNull());
  EXPECT_TRUE(std::holds_alternative<std::string>(EncodableValue("text")));  // not a bool
}

TEST(EncodableValueTest, OrdersByAlternativeFirst) {
  EXPECT_LT(EncodableValue(), EncodableValue(false));
  EXPECT_LT(EncodableValue(false), EncodableValue(true));
  EXPECT_LT(EncodableValue(true), EncodableValue(int32_t{-100}));
  EXPECT_LT(EncodableValue(int32_t{100}), EncodableValue(int64_t{-100}));
  EXPECT_LT(EncodableValue(1e300), EncodableValue(""));
  EXPECT_LT(EncodableValue(CustomValue(1)), EncodableValue(std::vector<float>{}));

  ValueMap map;
  map[EncodableValue("1")] = EncodableValue("string");
  map[EncodableValue(int64_t{1})] = EncodableValue("int64");
  map[EncodableValue(int32_t{1})] = EncodableValue("int32");
  ASSERT_EQ(map.size(), 3u);
  auto it = map.begin();
  EXPECT_EQ(it->first.index(), 2u);
  EXPECT_EQ((++it)->first.index(), 3u);
  EXPECT_EQ((++it)->first.index(), 5u);
}

TEST(EncodableValueTest, OrdersContentsOfTheSameAlternative) {
  EXPECT_LT(EncodableValue(int32_t{-2}), EncodableValue(int32_t{1}));
  EXPECT_LT(EncodableValue(int64_t{-1}), EncodableValue(int64_t{0}));
  // Bytes compare as unsigned; a prefix comes first.
  EXPECT_LT(EncodableValue("z"), EncodableValue("\xC3\xA9"));
  EXPECT_LT(EncodableValue("ab"), EncodableValue("abc"));
  EXPECT_LT(EncodableValue(std::vector<uint8_t>{0x7F}), EncodableValue(std::vector<uint8_t>{0x80}));
  EXPECT_LT(EncodableValue(std::vector<int32_t>{-1}), EncodableValue(std::vector<int32_t>{0}));
  EXPECT_LT(EncodableValue(std::vector<double>{1.0}), EncodableValue(std::vector<double>{1.0, 0}));

  const EncodableValue short_list(ValueList{int32_t{1}, int32_t{2}});
  const EncodableValue long_list(ValueList{int32_t{1}, int32_t{2}, int32_t{0}});
  const EncodableValue later_list(ValueList{int32_t{1}, int32_t{3}});
  EXPECT_LT(short_list, long_list);
  EXPECT_LT(long_list, later_list);
  EXPECT_FALSE(later_list < long_list);

  // Maps: entry by entry, key before value.
  const EncodableValue map_a(ValueMap{{EncodableValue("k"), EncodableValue(int32_t{1})}});
  const EncodableValue map_b(ValueMap{{EncodableValue("k"), EncodableValue(int32_t{2})}});
  const EncodableValue map_c(ValueMap{{EncodableValue("l"), EncodableValue(int32_t{0})}});
  EXPECT_LT(map_a, map_b);
  EXPECT_LT(map_b, map_c);
  EXPECT_LT(EncodableValue(ValueMap{}), map_a);

  // A NaN is neither before nor after a double.
  const EncodableValue nan(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(nan < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(1.0) < nan);
}

// Maps used as keys of maps, nested deeply: each level compares its entries
// once. Comparing them twice per level ("a < b", then "b < a") would take
// 2^depth steps here and never finish.
TEST(EncodableValueTest, DeeplyNestedKeysCompareInLinearTime) {
  auto nested = [](int32_t leaf) {
    EncodableValue value(leaf);
    for (int depth = 0; depth < 200; ++depth) {
      ValueMap map;
      map.emplace(std::move(value), EncodableValue(depth));
      value = EncodableValue(std::move(map));
    }
    return value;
  };
  const EncodableValue a = nested(1);
  const EncodableValue a_again = nested(1);
  const EncodableValue b = nested(2);
  EXPECT_FALSE(a < a_again);
  EXPECT_FALSE(a_again < a);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);

  ValueMap keys;
  keys.emplace(a, EncodableValue(true));
  keys.emplace(a_again, EncodableValue(false));  // equivalent: the first stays
  keys.emplace(b, EncodableValue(false));
  EXPECT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys.at(a), EncodableValue(true));
}

TEST(EncodableValueTest, CustomValuesAreDistinctKeysEvenWithEqualPayloads) {
  const EncodableValue first(CustomValue(std::string("same")));
  const EncodableValue second(CustomValue(std::string("same")));
  EXPECT_NE(first < second, second < first);
  EXPECT_FALSE(first < first);
  EXPECT_EQ(first, first);
  EXPECT_NE(first, second);

  ValueMap map{{first, EncodableValue(1)}, {second, EncodableValue(2)}};
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(*std::get<CustomValue>(second).TryGet<std::string>(), "same");
  EXPECT_EQ(std::get<CustomValue>(second).TryGet<int>(), nullptr);
}

// Lists, maps and strings copy and move as the standard containers do; a
// custom payload is copied on copy and on move, never shared.
TEST(EncodableValueTest, CustomPayloadsAreCopiedNeverShared) {
  EncodableValue custom(CustomValue(std::vector<int>{1, 2}));
  EncodableValue custom_copy;
  custom_copy = custom;
  EXPECT_NE(std::get<CustomValue>(custom).TryGet<std::vector<int>>(),
            std::get<CustomValue>(custom_copy).TryGet<std::vector<int>>());
  EXPECT_EQ(*std::get<CustomValue>(custom_copy).TryGet<std::vector<int>>(),
            (std::vector<int>{1, 2}));

  EncodableValue moved_custom(std::move(custom));
  EXPECT_EQ(*std::get<CustomValue>(custom).TryGet<std::vector<int>>(), (std::vector<int>{1, 2}));
  EXPECT_EQ(*std::get<CustomValue>(moved_custom).TryGet<std::vector<int>>(),
            (std::vector<int>{1, 2}));
}

// GetStrict's refusal of another alternative is checked where it matters: a
// reply envelope whose code or message is not text (standard_method_codec_test).
TEST(EncodableValueTest, MapAccessByStringKeyAndIndex) {
  ValueMap map{{EncodableValue(int32_t{7}), EncodableValue("seven")}};
  EXPECT_EQ(LookupMapValue(map, "7"), nullptr);

  map[EncodableValue("config")] = EncodableValue("[Interface]");
  const EncodableValue* found = LookupMapValue(map, "config");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(*found, EncodableValue("[Interface]"));
  EXPECT_EQ(LookupMapValue(map, "missing"), nullptr);
  EXPECT_EQ(map.size(), 2u);  // lookups insert nothing

  // Indexing inserts null; equal numbers of different widths differ.
  EXPECT_TRUE(map[EncodableValue("rx")].IsNull());
  map[EncodableValue("rx")] = EncodableValue(int64_t{6707});
  EXPECT_NE(*LookupMapValue(map, "rx"), EncodableValue(int32_t{6707}));
}

}  // namespace
}  // namespace flutter
