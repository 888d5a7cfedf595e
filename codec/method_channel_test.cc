// MethodCallChannel over a real messenger and the standard method codec, with
// the fake engine library playing the UI: what the handler sees and what
// bytes go back to the engine.
#include "codec/method_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/standard_method_codec.h"
#include "engine_client/binary_messenger_impl.h"
#include "engine_client/testing/fake_engine_library.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

using Bytes = std::vector<uint8_t>;

constexpr char kChannel[] = "com.orva_divuv/wireguard";

// 07 07 "connect" 00: the call "connect" with null arguments.
Bytes ConnectCall() { return {0x07, 0x07, 'c', 'o', 'n', 'n', 'e', 'c', 't', 0x00}; }

class MethodChannelTest : public ::testing::Test {
 protected:
  const flutter::MethodCodec& codec_ = flutter::StandardMethodCodec::ForSerializer();
  FlutterDesktopMessenger engine_;
  flutter::BinaryMessengerImpl messenger_{&engine_};
};

TEST_F(MethodChannelTest, DecodedCallReachesTheHandlerAndItsAnswerTheEngine) {
  MethodCallChannel channel(&messenger_, kChannel, &codec_);
  std::vector<std::string> methods;
  bool arguments_null = false;
  channel.SetCallHandler(
      [&](const flutter::MethodCall& call, std::unique_ptr<flutter::MethodResult> result) {
        methods.push_back(call.method_name());
        arguments_null = call.arguments() == nullptr || call.arguments()->IsNull();
        result->Success(flutter::EncodableValue(std::string("ok")));
      });

  const int64_t token = fake_engine::DeliverMessage(engine_, kChannel, ConnectCall());

  EXPECT_THAT(methods, ElementsAre("connect"));
  EXPECT_TRUE(arguments_null);
  // Success envelope 00, then the string "ok".
  EXPECT_THAT(fake_engine::ResponsesTo(engine_, token),
              ElementsAre(Bytes{0x00, 0x07, 2, 'o', 'k'}));
}

TEST_F(MethodChannelTest, UndecodableMessageGetsAnEmptyReplyAndALine) {
  MethodCallChannel channel(&messenger_, kChannel, &codec_);
  int handler_calls = 0;
  channel.SetCallHandler(
      [&](const flutter::MethodCall&, std::unique_ptr<flutter::MethodResult> result) {
        ++handler_calls;
        result->Success();
      });

  testing::internal::CaptureStderr();
  const int64_t token = fake_engine::DeliverMessage(engine_, kChannel, {0x03, 0x05, 0, 0, 0});
  const std::string errors = testing::internal::GetCapturedStderr();

  EXPECT_THAT(errors, HasSubstr("Unable to construct method call from message on channel "
                                "com.orva_divuv/wireguard\n"));
  EXPECT_THAT(errors, ::testing::Not(HasSubstr("memory leak")));
  EXPECT_EQ(handler_calls, 0);
  EXPECT_THAT(fake_engine::ResponsesTo(engine_, token), ElementsAre(IsEmpty()));
}

// A result dropped unanswered warns of a leak and sends nothing: see
// EngineMethodResultTest.UnansweredResultWarnsAndSendsNothing.
TEST_F(MethodChannelTest, ResultsMayBeAnsweredLater) {
  MethodCallChannel channel(&messenger_, kChannel, &codec_);
  std::vector<std::unique_ptr<flutter::MethodResult>> kept;
  channel.SetCallHandler(
      [&](const flutter::MethodCall&, std::unique_ptr<flutter::MethodResult> result) {
        kept.push_back(std::move(result));
      });

  const int64_t later = fake_engine::DeliverMessage(engine_, kChannel, ConnectCall());
  EXPECT_THAT(fake_engine::ResponsesTo(engine_, later), IsEmpty());
  kept.at(0)->NotImplemented();
  EXPECT_THAT(fake_engine::ResponsesTo(engine_, later), ElementsAre(IsEmpty()));
}

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelUntilReplacedOrRemoved) {
  std::vector<std::string> seen;
  {
    MethodCallChannel channel(&messenger_, kChannel, &codec_);
    channel.SetCallHandler(
        [&](const flutter::MethodCall&, std::unique_ptr<flutter::MethodResult> result) {
          seen.push_back("first");
          result->Success();
        });
  }
  fake_engine::DeliverMessage(engine_, kChannel, ConnectCall());
  EXPECT_THAT(seen, ElementsAre("first"));

  MethodCallChannel again(&messenger_, kChannel, &codec_);
  again.SetCallHandler(
      [&](const flutter::MethodCall&, std::unique_ptr<flutter::MethodResult> result) {
        seen.push_back("second");
        result->Success();
      });
  fake_engine::DeliverMessage(engine_, kChannel, ConnectCall());
  EXPECT_THAT(seen, ElementsAre("first", "second"));

  again.SetCallHandler(nullptr);
  EXPECT_EQ(fake_engine::DeliverMessage(engine_, kChannel, ConnectCall()), 0);
  EXPECT_THAT(seen, ElementsAre("first", "second"));
}

}  // namespace
