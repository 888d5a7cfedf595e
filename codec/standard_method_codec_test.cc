// The standard method codec: call and reply envelopes, decoding of calls and
// replies into a result, and MethodResult forwarding.
#include "codec/standard_method_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/testing/codec_test_util.h"
#include "codec/testing/recording_result.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::CerrCapture;
using testing::Hex;
using testing::kInvalidRead;
using testing::RecordingResult;
using testing::Text;

const StandardMethodCodec& Codec() { return StandardMethodCodec::ForSerializer(); }

TEST(StandardMethodCodecTest, EncodesCallsAndEnvelopesByteExact) {
  EXPECT_EQ(*Codec().EncodeCall(MethodCall("connect", nullptr)),
            Cat({Hex("07 07"), Text("connect"), Hex("00")}));
  MethodCall with_arguments("save", std::make_unique<EncodableValue>(
                                        ValueMap{{EncodableValue("config"), EncodableValue("x")}}));
  EXPECT_EQ(*Codec().EncodeCall(with_arguments),
            Cat({Hex("07 04"), Text("save"), Hex("0D 01 07 06"), Text("config"), Hex("07 01 78")}));

  EXPECT_EQ(*Codec().EncodeSuccessReply(), Hex("00 00"));
  const EncodableValue yes(true);
  EXPECT_EQ(*Codec().EncodeSuccessReply(&yes), Hex("00 01"));
  // The double inside an envelope aligns to the start of the whole message.
  const EncodableValue one(1.0);
  EXPECT_EQ(*Codec().EncodeSuccessReply(&one),
            Hex("00 06 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"));

  EXPECT_EQ(*Codec().EncodeErrorReply("INVALID_ARGUMENT"),
            Cat({Hex("01 07 10"), Text("INVALID_ARGUMENT"), Hex("00 00")}));
  const EncodableValue details(int32_t{3});
  EXPECT_EQ(*Codec().EncodeErrorReply("E", "boom", &details),
            Cat({Hex("01 07 01"), Text("E"), Hex("07 04"), Text("boom"), Hex("03 03 00 00 00")}));
  EXPECT_EQ(*Codec().EncodeErrorReply(""), Hex("01 07 00 00 00"));
}

TEST(StandardMethodCodecTest, DecodesCallsAndRefusesNamesThatAreNotText) {
  {
    CerrCapture cerr;
    auto call = Codec().DecodeCall(nullptr, 0);
    EXPECT_EQ(call, nullptr);
  }
  {
    CerrCapture cerr;
    const Bytes bytes = Cat({Hex("07 03"), Text("abc")});
    auto call = Codec().DecodeCall(bytes.data(), bytes.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->method_name(), "abc");
    ASSERT_NE(call->arguments(), nullptr);
    EXPECT_TRUE(call->arguments()->IsNull());
    EXPECT_EQ(cerr.Lines(), std::vector<std::string>{kInvalidRead});
  }
  {
    CerrCapture cerr;
    const Bytes bytes = Hex("03 01 00 00 00");
    EXPECT_EQ(Codec().DecodeCall(bytes.data(), bytes.size()), nullptr);
    EXPECT_EQ(cerr.Lines(),
              std::vector<std::string>{"Invalid method call; method name is not a string."});
  }
  {
    // Bytes after the arguments are ignored.
    CerrCapture cerr;
    const Bytes bytes = Cat({Hex("07 01"), Text("m"), Hex("03 05 00 00 00 FF FF")});
    auto call = Codec().DecodeCall(bytes.data(), bytes.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(*call->arguments(), EncodableValue(int32_t{5}));
    EXPECT_EQ(cerr.Text(), "");
  }
}

TEST(StandardMethodCodecTest, DecodesSuccessEnvelopesIntoTheResult) {
  {
    // No byte at all: flag and value both fail to read.
    CerrCapture cerr;
    RecordingResult result;
    EXPECT_TRUE(Codec().DecodeReply(nullptr, 0, &result));
    EXPECT_EQ(result.calls, std::vector<std::string>{"success"});
    EXPECT_FALSE(result.value.has_value());
    EXPECT_EQ(cerr.Lines(), (std::vector<std::string>{kInvalidRead, kInvalidRead}));
  }
  RecordingResult result;
  const Bytes bytes = Cat({Hex("00 07 09"), Text("connected")});
  EXPECT_TRUE(Codec().DecodeReply(bytes.data(), bytes.size(), &result));
  EXPECT_EQ(result.calls, std::vector<std::string>{"success"});
  EXPECT_EQ(result.value, EncodableValue("connected"));

  RecordingResult untouched;
  const Bytes unknown = Hex("02 00");
  EXPECT_FALSE(Codec().DecodeReply(unknown.data(), unknown.size(), &untouched));
  EXPECT_TRUE(untouched.calls.empty());
}

TEST(StandardMethodCodecTest, DecodesErrorEnvelopesAndRejectsMistypedOnes) {
  RecordingResult result;
  const Bytes with_null_message = Cat({Hex("01 07 10"), Text("INVALID_ARGUMENT"), Hex("00 00")});
  EXPECT_TRUE(Codec().DecodeReply(with_null_message.data(), with_null_message.size(), &result));
  EXPECT_EQ(result.calls, std::vector<std::string>{"error"});
  EXPECT_EQ(result.code, "INVALID_ARGUMENT");
  EXPECT_EQ(result.message, "");
  EXPECT_FALSE(result.value.has_value());

  const EncodableValue details(ValueList{EncodableValue(1)});
  const auto full = Codec().EncodeErrorReply("E", "Ошибка", &details);
  RecordingResult full_result;
  EXPECT_TRUE(Codec().DecodeReply(full->data(), full->size(), &full_result));
  EXPECT_EQ(full_result.message, "Ошибка");
  EXPECT_EQ(full_result.value, details);

  const Bytes code_not_text = Hex("01 03 01 00 00 00 00 00");
  const Bytes message_not_text = Cat({Hex("01 07 01"), Text("E"), Hex("01 00")});
  for (const Bytes& bytes : {code_not_text, message_not_text}) {
    RecordingResult rejected;
    try {
      Codec().DecodeReply(bytes.data(), bytes.size(), &rejected);
      ADD_FAILURE() << "no exception";
    } catch (const std::bad_variant_access& error) {
      EXPECT_STREQ(error.what(), "bad variant access");
    }
    EXPECT_TRUE(rejected.calls.empty());
  }
}

TEST(StandardMethodCodecTest, TruncatedEnvelopesStillDecode) {
  const EncodableValue details(ValueList{EncodableValue("d"), EncodableValue(2.5)});
  const auto error = Codec().EncodeErrorReply("CODE", "message", &details);
  for (size_t cut = 0; cut < error->size(); ++cut) {
    CerrCapture cerr;
    RecordingResult result;
    try {
      EXPECT_TRUE(Codec().DecodeReply(error->data(), cut, &result)) << cut;
    } catch (const std::bad_variant_access&) {
      // Cut inside the code: it reads as an empty or zero-filled string or,
      // with no type byte left, as null, which is not a code.
      EXPECT_LT(cut, 7u);
    }
    EXPECT_FALSE(cerr.Lines().empty()) << cut;
  }
  const Bytes bounded = Hex("01 07 FF FF FF FF FF");
  RecordingResult result;
  CerrCapture cerr;
  EXPECT_TRUE(Codec().DecodeReply(bounded.data(), bounded.size(), &result));
  EXPECT_EQ(result.code, "");
}

}  // namespace
}  // namespace flutter
