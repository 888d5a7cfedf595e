// BinaryMessengerImpl and EngineReply against the fake engine library: how
// messages reach handlers, how replies reach the engine, and what is left
// behind when handlers, replies or the messenger itself go away.
#include "engine_client/binary_messenger_impl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine_client/testing/fake_engine_library.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

using Bytes = std::vector<uint8_t>;

constexpr char kDuplicateResponseLine[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

// Keeps the replies a handler receives, so a test can answer later.
struct KeptReplies {
  std::vector<ReplyCallback> replies;
  std::vector<Bytes> messages;

  ChannelMessageHandler Handler() {
    return [this](const uint8_t* message, size_t size, ReplyCallback reply) {
      messages.emplace_back(message, message + size);
      replies.push_back(std::move(reply));
    };
  }
};

// A handler that answers twice, through the same reply or through a copy of
// it: only the first answer reaches the engine.
TEST(BinaryMessengerImplTest, IncomingMessageIsAnsweredOnceUnderTheLock) {
  for (const bool through_copy : {false, true}) {
    SCOPED_TRACE(through_copy ? "second answer through a copy" : "same reply twice");
    FlutterDesktopMessenger engine;
    BinaryMessengerImpl messenger(&engine);
    messenger.SetChannelHandler(
        "calls", [through_copy](const uint8_t* message, size_t size, ReplyCallback reply) {
          Bytes echo(message, message + size);
          echo.push_back(0xEE);
          ReplyCallback copy = reply;
          reply(echo.data(), echo.size());
          (through_copy ? copy : reply)(echo.data(), echo.size());
        });

    testing::internal::CaptureStderr();
    const int64_t token = fake_engine::DeliverMessage(engine, "calls", {1, 2, 3});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResponseLine);

    ASSERT_NE(token, 0);
    EXPECT_THAT(fake_engine::ResponsesTo(engine, token), ElementsAre(Bytes{1, 2, 3, 0xEE}));
    ASSERT_EQ(engine.responses.size(), 1u);
    EXPECT_TRUE(engine.responses[0].under_lock);
    EXPECT_EQ(engine.lock_depth, 0);
    EXPECT_EQ(engine.unlocks_without_lock, 0);
  }
}

TEST(BinaryMessengerImplTest, ReplyKeptPastTheEngineSendsAndWritesNothing) {
  FlutterDesktopMessenger engine;
  const int baseline_references = [&] {
    BinaryMessengerImpl probe(&engine);
    return engine.references;
  }();
  ASSERT_EQ(engine.references, 1);

  KeptReplies kept;
  {
    BinaryMessengerImpl messenger(&engine);
    messenger.SetChannelHandler("calls", kept.Handler());
    fake_engine::DeliverMessage(engine, "calls", {9});
    // The kept reply holds its own reference to the messenger.
    EXPECT_EQ(engine.references, baseline_references + 1);
    engine.available = false;
  }

  testing::internal::CaptureStderr();
  const uint8_t answer[] = {7};
  kept.replies.at(0)(answer, sizeof(answer));
  kept.replies.at(0)(answer, sizeof(answer));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_THAT(engine.responses, IsEmpty());
  EXPECT_EQ(engine.lock_depth, 0);

  // The last holder gives the messenger reference back.
  kept.replies.clear();
  EXPECT_EQ(engine.references, 1);
}

TEST(BinaryMessengerImplTest, ReplyMayBeSentFromAnotherThreadAfterTheHandlerReturned) {
  FlutterDesktopMessenger engine;
  BinaryMessengerImpl messenger(&engine);
  KeptReplies kept;
  messenger.SetChannelHandler("calls", kept.Handler());
  const int64_t token = fake_engine::DeliverMessage(engine, "calls", {});

  std::thread worker([reply = std::move(kept.replies.at(0))]() mutable {
    const uint8_t answer[] = {4, 2};
    reply(answer, sizeof(answer));
  });
  worker.join();

  EXPECT_THAT(fake_engine::ResponsesTo(engine, token), ElementsAre(Bytes{4, 2}));
  EXPECT_THAT(kept.messages, ElementsAre(IsEmpty()));
}

TEST(BinaryMessengerImplTest, HandlersAreInstalledReplacedAndRemoved) {
  FlutterDesktopMessenger engine;
  BinaryMessengerImpl messenger(&engine);
  std::vector<std::string> seen;
  messenger.SetChannelHandler("calls", [&](const uint8_t*, size_t, ReplyCallback reply) {
    seen.push_back("first");
    reply(nullptr, 0);
  });
  const void* first_entry = engine.callbacks.at("calls").user_data;

  messenger.SetChannelHandler("calls", [&](const uint8_t*, size_t, ReplyCallback reply) {
    seen.push_back("second");
    reply(nullptr, 0);
  });
  // Replacing keeps the engine pointed at the same table entry.
  EXPECT_EQ(engine.callbacks.at("calls").user_data, first_entry);
  fake_engine::DeliverMessage(engine, "calls", {1});
  EXPECT_THAT(seen, ElementsAre("second"));

  messenger.SetChannelHandler("calls", nullptr);
  EXPECT_EQ(fake_engine::DeliverMessage(engine, "calls", {1}), 0);
  EXPECT_THAT(seen, ElementsAre("second"));

  // Removing a handler that never existed still withdraws the callback.
  messenger.SetChannelHandler("never-installed", nullptr);
  EXPECT_THAT(engine.set_callback_calls,
              ElementsAre(Pair("calls", true), Pair("calls", true), Pair("calls", false),
                          Pair("never-installed", false)));
}

TEST(BinaryMessengerImplTest, SendsWithAndWithoutReply) {
  FlutterDesktopMessenger engine;
  BinaryMessengerImpl messenger(&engine);
  const uint8_t message[] = {1, 2};

  messenger.SendToChannel("plain", message, sizeof(message));
  ASSERT_EQ(engine.sent.size(), 1u);
  EXPECT_EQ(engine.sent[0].channel, "plain");
  EXPECT_EQ(engine.sent[0].bytes, (Bytes{1, 2}));
  EXPECT_EQ(engine.sent[0].reply, nullptr);

  std::vector<Bytes> answers;
  messenger.SendToChannel(
      "asking", message, sizeof(message),
      [&](const uint8_t* reply, size_t size) { answers.emplace_back(reply, reply + size); });
  ASSERT_EQ(engine.sent.size(), 2u);
  EXPECT_THAT(answers, IsEmpty());
  fake_engine::AnswerSentMessage(engine, 1, {5, 6});
  EXPECT_THAT(answers, ElementsAre(Bytes{5, 6}));
}

TEST(BinaryMessengerImplTest, RefusedSendDestroysItsReplyUncalled) {
  FlutterDesktopMessenger engine;
  engine.accept_sends_with_reply = false;
  BinaryMessengerImpl messenger(&engine);
  auto witness = std::make_shared<int>(0);
  int calls = 0;

  messenger.SendToChannel("asking", nullptr, 0,
                          [witness, &calls](const uint8_t*, size_t) { ++calls; });

  EXPECT_EQ(calls, 0);
  EXPECT_EQ(witness.use_count(), 1) << "the refused reply callback was not destroyed";
  EXPECT_THAT(engine.sent, IsEmpty());
}

TEST(BinaryMessengerImplTest, DestructionWithdrawsCallbacksWhileTheEngineIsThere) {
  FlutterDesktopMessenger engine;
  {
    BinaryMessengerImpl messenger(&engine);
    messenger.SetChannelHandler("a", [](const uint8_t*, size_t, ReplyCallback) {});
    messenger.SetChannelHandler("b", [](const uint8_t*, size_t, ReplyCallback) {});
  }
  EXPECT_THAT(engine.callbacks, IsEmpty());
  EXPECT_EQ(fake_engine::DeliverMessage(engine, "a", {}), 0);
  EXPECT_EQ(engine.references, 1);

  // Once the engine has gone away its callbacks are left alone.
  FlutterDesktopMessenger gone;
  {
    BinaryMessengerImpl messenger(&gone);
    messenger.SetChannelHandler("a", [](const uint8_t*, size_t, ReplyCallback) {});
    gone.available = false;
  }
  EXPECT_THAT(gone.set_callback_calls, ElementsAre(Pair("a", true)));
  EXPECT_EQ(gone.references, 1);
}

}  // namespace
}  // namespace flutter
