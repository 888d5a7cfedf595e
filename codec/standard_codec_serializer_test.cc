// The standard value form: byte-exact encodings, reading rules and their
// diagnostics, round trips of generated values, and truncated messages.
#include "codec/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codec/testing/codec_test_util.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::CerrCapture;
using testing::Decode;
using testing::Encode;
using testing::Hex;
using testing::kInvalidRead;

constexpr char kCustomLine[] =
    "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require codec "
    "extensions.";

TEST(StandardCodecSerializerTest, WritesScalarsAndTextByteExact) {
  EXPECT_EQ(Encode(EncodableValue()), Hex("00"));
  EXPECT_EQ(Encode(EncodableValue(true)), Hex("01"));
  EXPECT_EQ(Encode(EncodableValue(false)), Hex("02"));
  EXPECT_EQ(Encode(EncodableValue(int32_t{-2})), Hex("03 FE FF FF FF"));
  EXPECT_EQ(Encode(EncodableValue(int64_t{1})), Hex("04 01 00 00 00 00 00 00 00"));
  // Integers are never aligned.
  EXPECT_EQ(Encode(EncodableValue(int64_t{-1}), 1), Hex("AA 04 FF FF FF FF FF FF FF FF"));
  EXPECT_EQ(Encode(EncodableValue("abc")), Hex("07 03 61 62 63"));
  EXPECT_EQ(Encode(EncodableValue("")), Hex("07 00"));
  // A double is aligned to 8 from the start of the buffer.
  EXPECT_EQ(Encode(EncodableValue(1.0), 1), Hex("AA 06 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"));
  EXPECT_EQ(Encode(EncodableValue(1.0), 7), Hex("AA AA AA AA AA AA AA 06 00 00 00 00 00 00 F0 3F"));
}

TEST(StandardCodecSerializerTest, WritesArraysAndContainersByteExact) {
  // Empty typed arrays carry their pad too, as the UI side writes them.
  EXPECT_EQ(Encode(EncodableValue(std::vector<int32_t>{})), Hex("09 00 00 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<int64_t>{}), 1), Hex("AA 0A 00 00 00 00 00 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<double>{}), 3), Hex("AA AA AA 0B 00 00 00 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<float>{}), 2), Hex("AA AA 0E 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<int32_t>{}), 2), Hex("AA AA 09 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<uint8_t>{1, 2})), Hex("08 02 01 02"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<int32_t>{-1})), Hex("09 01 00 00 FF FF FF FF"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<int64_t>{2})),
            Hex("0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<float>{1.0f}), 2), Hex("AA AA 0E 01 00 00 80 3F"));
  EXPECT_EQ(Encode(EncodableValue(std::vector<double>{1.0}), 6),
            Hex("AA AA AA AA AA AA 0B 01 00 00 00 00 00 00 F0 3F"));
  // Map entries in key order: 32-bit integers before strings.
  const ValueMap map{{EncodableValue("b"), EncodableValue(true)},
                     {EncodableValue(int32_t{1}), EncodableValue()}};
  EXPECT_EQ(Encode(EncodableValue(map)), Hex("0D 02 03 01 00 00 00 00 07 01 62 01"));
  EXPECT_EQ(Encode(EncodableValue(ValueList{EncodableValue(false), EncodableValue(ValueList{})})),
            Hex("0C 02 02 0C 00"));
}

TEST(StandardCodecSerializerTest, LengthFormsChangeAt254And65536) {
  struct Case {
    size_t length;
    Bytes prefix;
  };
  const Case cases[] = {{253, Hex("07 FD")},
                        {254, Hex("07 FE FE 00")},
                        {65535, Hex("07 FE FF FF")},
                        {65536, Hex("07 FF 00 00 01 00")}};
  for (const Case& c : cases) {
    const std::string text(c.length, 'x');
    const Bytes bytes = Encode(EncodableValue(text));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.prefix.size()), c.prefix) << c.length;
    EXPECT_EQ(bytes.size(), c.prefix.size() + c.length);
    EXPECT_EQ(Decode(bytes).value, EncodableValue(text)) << c.length;
  }
  // The 32-bit form ends at 2^32 - 1; a longer length is refused with one
  // line, not cut to its low 32 bits (which the peer would read as short).
  for (const size_t length : {size_t{0xFFFFFFFF}, size_t{0x100000002}}) {
    Bytes buffer;
    ByteBufferStreamWriter writer(&buffer);
    CerrCapture cerr;
    StandardCodecSerializer::DefaultInstance().WriteLength(length, &writer);
    EXPECT_EQ(buffer, length == 0xFFFFFFFF ? Hex("FF FF FF FF FF") : Bytes{}) << length;
    EXPECT_EQ(cerr.Lines().size(), length == 0xFFFFFFFF ? 0u : 1u) << length;
  }
}

TEST(StandardCodecSerializerTest, CustomValuesAreWrittenAsNullWithOneDiagnostic) {
  CerrCapture cerr;
  const EncodableValue list(ValueList{EncodableValue(int32_t{1}), EncodableValue(CustomValue(3.5)),
                                      EncodableValue(int32_t{2})});
  EXPECT_EQ(Encode(list), Hex("0C 03 03 01 00 00 00 00 03 02 00 00 00"));
  EXPECT_EQ(cerr.Text(), std::string(kCustomLine) + "\n");
}

TEST(StandardCodecSerializerTest, ReadsTheSpecialCasesOfTheForm) {
  CerrCapture cerr;
  // Code 5 reads like a string; code 3 keeps the 32-bit width.
  EXPECT_EQ(Decode(Hex("05 02 34 32")).value, EncodableValue("42"));
  EXPECT_EQ(Decode(Hex("03 01 00 00 00")).value, EncodableValue(int32_t{1}));
  EXPECT_EQ(Decode(Hex("0C 02 01 02")).value,
            EncodableValue(ValueList{EncodableValue(true), EncodableValue(false)}));
  // Pads are skipped unread, whatever they hold.
  EXPECT_EQ(Decode(Hex("AA 0E 01 77 00 00 80 3F"), 1).value,
            EncodableValue(std::vector<float>{1.0f}));
  // Duplicate keys: the first value stays.
  EXPECT_EQ(Decode(Hex("0D 02 07 01 6B 01 07 01 6B 02")).value,
            EncodableValue(ValueMap{{EncodableValue("k"), EncodableValue(true)}}));
  EXPECT_TRUE(cerr.Lines().empty());
}

TEST(StandardCodecSerializerTest, ShortAndUnknownDataGiveNeutralValuesWithDiagnostics) {
  struct Case {
    Bytes bytes;
    EncodableValue expected;
    std::vector<std::string> lines;
    std::optional<size_t> end = std::nullopt;
  };
  const Case cases[] = {
      // Reading 09 00: the skip to 4 passes the end, so the empty bulk read fails.
      {Hex("09 00"), EncodableValue(std::vector<int32_t>{}), {kInvalidRead}},
      {Hex("04 01 02 03"), EncodableValue(int64_t{0}), {kInvalidRead}},
      // Nothing after an unknown code is consumed.
      {Hex("0F 01"),
       EncodableValue(),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 15"},
       1},
      // A list whose values run out keeps its count with null elements.
      {Hex("0C 03 03 07 00 00 00"),
       EncodableValue(ValueList{EncodableValue(int32_t{7}), EncodableValue(), EncodableValue()}),
       {kInvalidRead, kInvalidRead}},
      // A map in that case gains one null entry at most.
      {Hex("0D 04 04 01 00 00 00 00 00 00 00"),
       EncodableValue(ValueMap{{EncodableValue(int64_t{1}), EncodableValue()},
                               {EncodableValue(), EncodableValue()}}),
       std::vector<std::string>(7, kInvalidRead)},
  };
  for (const Case& c : cases) {
    CerrCapture cerr;
    const auto decoded = Decode(c.bytes);
    EXPECT_EQ(decoded.value, c.expected);
    EXPECT_EQ(cerr.Lines(), c.lines);
    if (c.end) {
      EXPECT_EQ(decoded.end_position, *c.end);
    }
  }
}

// Announced lengths and counts that the rest of the message cannot hold are
// refused at once: one diagnostic line and the empty value.
TEST(StandardCodecSerializerTest, RefusesAnnouncementsTheMessageCannotHold) {
  struct Case {
    Bytes bytes;
    EncodableValue expected;
  };
  const Case cases[] = {
      {Hex("0C FF FF FF FF FF"), EncodableValue(ValueList{})},
      {Hex("0D FF FF FF FF FF 01 01"), EncodableValue(ValueMap{})},
      {Hex("07 FF FF FF FF FF"), EncodableValue(std::string())},
      {Hex("08 FE 00 01 61"), EncodableValue(std::vector<uint8_t>{})},
      {Hex("09 FF 00 00 00 40 00 00"), EncodableValue(std::vector<int32_t>{})},
      {Hex("0A 02 00 00 00 00 00 00 01 02 03 04 05 06 07 08"),
       EncodableValue(std::vector<int64_t>{})},
      {Hex("0E 01 00 00"), EncodableValue(std::vector<float>{})},
  };
  for (const Case& c : cases) {
    CerrCapture cerr;
    EXPECT_EQ(Decode(c.bytes).value, c.expected);
    EXPECT_EQ(cerr.Lines(), std::vector<std::string>{kInvalidRead});
  }
  // Bytes owed to the later elements of an enclosing list are not available
  // to a nested string: the string is refused and the list reads on.
  CerrCapture cerr;
  EXPECT_EQ(Decode(Hex("0C 02 07 03 07 01 61")).value,
            EncodableValue(ValueList{EncodableValue(""), EncodableValue("a")}));
  EXPECT_EQ(cerr.Lines(), std::vector<std::string>{kInvalidRead});
}

TEST(StandardCodecSerializerTest, HostileNestingStaysLinearAndShallow) {
  // Nested lists each announcing as many elements as bytes remain: every
  // level fits alone, but they cannot all be paid for by the same bytes.
  Bytes nested;
  for (int level = 0; level < 2000; ++level) {
    size_t remaining = (2000 - level) * 6 - 6;
    nested.insert(nested.end(), {0x0C, 0xFF, static_cast<uint8_t>(remaining),
                                 static_cast<uint8_t>(remaining >> 8), 0, 0});
  }
  size_t elements = 0;
  {
    CerrCapture cerr;
    std::vector<const EncodableValue*> pending{};
    const EncodableValue decoded = Decode(nested).value;
    pending.push_back(&decoded);
    while (!pending.empty()) {
      const EncodableValue* value = pending.back();
      pending.pop_back();
      ++elements;
      if (const auto* list = std::get_if<ValueList>(value)) {
        for (const EncodableValue& element : *list) pending.push_back(&element);
      }
    }
    EXPECT_LE(cerr.Lines().size(), nested.size());
  }
  EXPECT_LE(elements, nested.size() + 1);

  // A list nested 100000 deep is cut at 512 levels instead of overflowing
  // the stack; 512 levels still decode exactly.
  auto deep_list = [](size_t depth) {
    Bytes bytes;
    for (size_t i = 0; i < depth; ++i) bytes.insert(bytes.end(), {0x0C, 0x01});
    bytes.push_back(0x01);
    return bytes;
  };
  auto depth_of = [](const EncodableValue& value) {
    size_t depth = 0;
    for (const EncodableValue* v = &value; std::holds_alternative<ValueList>(*v);
         v = &std::get<ValueList>(*v)[0]) {
      ++depth;
      if (std::get<ValueList>(*v).empty()) break;
    }
    return depth;
  };
  {
    CerrCapture cerr;
    EXPECT_EQ(depth_of(Decode(deep_list(512)).value), 512u);
    EXPECT_TRUE(cerr.Lines().empty());
  }
  {
    CerrCapture cerr;
    EXPECT_EQ(depth_of(Decode(deep_list(100000)).value), 513u);
    EXPECT_EQ(cerr.Lines(), std::vector<std::string>{kInvalidRead});
  }
}

// Every proper prefix of a valid message decodes to something, without a
// crash, writing only the reader's and serializer's own diagnostics, and
// at least one of them: the message is cut short.
TEST(StandardCodecSerializerTest, EveryProperPrefixDecodesWithDiagnostics) {
  const std::string unknown_type = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  // Every alternative but CustomValue, and a length in its three-byte form.
  const EncodableValue message(ValueList{
      EncodableValue(), EncodableValue(true), EncodableValue(int32_t{-7}),
      EncodableValue(int64_t{1} << 40), EncodableValue(1.5), EncodableValue(std::string(300, 'x')),
      EncodableValue(std::vector<uint8_t>{1, 2, 3}), EncodableValue(std::vector<int32_t>{4}),
      EncodableValue(std::vector<int64_t>{1, -1}), EncodableValue(std::vector<double>{2.5}),
      EncodableValue(std::vector<float>{0.5f}),
      EncodableValue(ValueMap{{EncodableValue("k"), EncodableValue(int64_t{9})}})});
  {
    const Bytes bytes = Encode(message);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
      CerrCapture cerr;
      Decode(Bytes(bytes.begin(), bytes.begin() + cut));
      const auto lines = cerr.Lines();
      EXPECT_FALSE(lines.empty()) << "cut at " << cut;
      for (const std::string& line : lines) {
        EXPECT_TRUE(line == kInvalidRead || line.rfind(unknown_type, 0) == 0) << line;
      }
    }
  }
}

// A serializer extension: type code 128 carries a CustomValue holding a
// string. Overrides must also apply inside lists and maps.
class PointSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    if (const auto* custom = std::get_if<CustomValue>(&value)) {
      stream->PutByte(128);
      StandardCodecSerializer::WriteValue(EncodableValue(*custom->TryGet<std::string>()), stream);
      return;
    }
    StandardCodecSerializer::WriteValue(value, stream);
  }
  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type == 128) {
      return EncodableValue(CustomValue(std::get<std::string>(ReadTaggedValue(stream))));
    }
    return StandardCodecSerializer::ReadValueOfType(type, stream);
  }
};

TEST(StandardCodecSerializerTest, OverridesApplyToNestedValues) {
  const PointSerializer serializer;
  const EncodableValue value(
      ValueList{EncodableValue(CustomValue(std::string("a"))),
                EncodableValue(
                    ValueMap{{EncodableValue(1), EncodableValue(CustomValue(std::string("b")))}})});
  CerrCapture cerr;
  Bytes bytes;
  ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  EXPECT_EQ(bytes, Hex("0C 02 80 07 01 61 0D 01 03 01 00 00 00 80 07 01 62"));

  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const EncodableValue decoded = serializer.ReadTaggedValue(&reader);
  const auto& list = std::get<ValueList>(decoded);
  EXPECT_EQ(*std::get<CustomValue>(list[0]).TryGet<std::string>(), "a");
  const auto& map = std::get<ValueMap>(list[1]);
  EXPECT_EQ(*std::get<CustomValue>(map.at(EncodableValue(1))).TryGet<std::string>(), "b");
  EXPECT_EQ(cerr.Text(), "");
}

}  // namespace
}  // namespace flutter
