// EngineMethodResult and PendingReply with a recording reply callback: the
// bytes of each answer, and the lines written when a result is answered twice
// or not at all.
#include "codec/engine_method_result.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/standard_method_codec.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Bytes = std::vector<uint8_t>;

constexpr char kDuplicateResultLine[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.\n";
constexpr char kLeakLine[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

struct RecordedReplies {
  std::vector<Bytes> replies;
  std::vector<bool> bytes_were_null;

  flutter::ReplyCallback Callback() {
    return [this](const uint8_t* reply, size_t size) {
      bytes_were_null.push_back(reply == nullptr);
      replies.emplace_back(reply, reply + size);
    };
  }
};

const flutter::MethodCodec& Codec() { return flutter::StandardMethodCodec::ForSerializer(); }

TEST(EngineMethodResultTest, OnlyTheFirstAnswerIsSent) {
  RecordedReplies recorded;
  testing::internal::CaptureStderr();
  {
    flutter::EngineMethodResult result(recorded.Callback(), &Codec());
    result.Success(flutter::EncodableValue(true));
    result.Error("LATE", "too late");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResultLine);
  EXPECT_THAT(recorded.replies, ElementsAre(Bytes{0x00, 0x01}));
}

TEST(EngineMethodResultTest, EachKindOfAnswerHasItsEnvelope) {
  RecordedReplies recorded;
  {
    flutter::EngineMethodResult result(recorded.Callback(), &Codec());
    result.Success();
  }
  {
    flutter::EngineMethodResult result(recorded.Callback(), &Codec());
    result.Error("E", "m", flutter::EncodableValue(int32_t{1}));
  }
  {
    flutter::EngineMethodResult result(recorded.Callback(), &Codec());
    result.NotImplemented();
  }
  EXPECT_THAT(recorded.replies,
              ElementsAre(Bytes{0x00, 0x00},
                          Bytes{0x01, 0x07, 1, 'E', 0x07, 1, 'm', 0x03, 1, 0, 0, 0}, IsEmpty()));
  // Not implemented is a reply with no bytes at all.
  EXPECT_THAT(recorded.bytes_were_null, ElementsAre(false, false, true));
}

TEST(EngineMethodResultTest, UnansweredResultWarnsAndSendsNothing) {
  RecordedReplies recorded;
  testing::internal::CaptureStderr();
  { flutter::EngineMethodResult result(recorded.Callback(), &Codec()); }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kLeakLine);
  EXPECT_THAT(recorded.replies, IsEmpty());
}

TEST(PendingReplyTest, DeliversOnceAndTreatsAnEmptyVectorAsNoBytes) {
  RecordedReplies recorded;
  testing::internal::CaptureStderr();
  {
    PendingReply reply(recorded.Callback());
    EXPECT_FALSE(reply.spent());
    const Bytes empty;
    reply.Deliver(&empty);
    EXPECT_TRUE(reply.spent());
    const Bytes late = {1};
    reply.Deliver(&late);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResultLine);
  EXPECT_THAT(recorded.replies, ElementsAre(IsEmpty()));
  EXPECT_THAT(recorded.bytes_were_null, ElementsAre(true));
}

}  // namespace
