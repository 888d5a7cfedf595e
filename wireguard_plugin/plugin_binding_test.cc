// Tests of the plugin as the engine sees it: encoded method calls delivered on
// "com.orva_divuv/wireguard" through a messenger, encoded replies compared
// byte for byte; and the process-wide holder that keeps the plugin.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec/standard_method_codec.h"
#include "codec/testing/codec_test_util.h"
#include "codec/testing/recording_result.h"
#include "engine_client/binary_messenger.h"
#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/testing/channel_messenger.h"
#ifdef _WIN32
#include "wireguard_plugin/plugin_registration.h"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// Standard-format pieces for building expected messages by hand.
void AppendString(Bytes& out, const std::string& text) {
  ASSERT_LT(text.size(), 254u) << "one-byte size form only";
  out.push_back(0x07);
  out.push_back(static_cast<uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

Bytes CallMessage(const std::string& method, const Bytes& arguments = {0x00}) {
  Bytes out;
  AppendString(out, method);
  out.insert(out.end(), arguments.begin(), arguments.end());
  return out;
}

const std::string kChannel = "com.orva_divuv/wireguard";

TEST(PluginChannel, AnswersEncodedCallsWithEncodedReplies) {
  FakeWireguardMachine machine;
  machine.RemoveWireguard();
  ChannelMessenger messenger;
  std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, machine);
  ASSERT_TRUE(messenger.HasHandler(kChannel));

  // "disconnect" without WireGuard: success envelope holding false.
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("disconnect")),
            (std::vector<Bytes>{{0x00, 0x02}}));

  // "isWireguardInstalled" with ignored arguments.
  Bytes string_argument;
  AppendString(string_argument, "x");
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("isWireguardInstalled", string_argument)),
            (std::vector<Bytes>{{0x00, 0x02}}));

  // "getStats": a two-entry map whose values are 64-bit integers (type 4,
  // eight bytes, unaligned) even though they are 0.
  const Bytes stats = {0x00, 0x0D, 0x02,                       // success, map of 2
                       0x07, 0x02, 'r',  'x', 0x04,            // "rx": int64
                       0,    0,    0,    0,   0,    0, 0, 0,   //   0
                       0x07, 0x02, 't',  'x', 0x04,            // "tx": int64
                       0,    0,    0,    0,   0,    0, 0, 0};  //   0
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("getStats")), std::vector<Bytes>{stats});

  // "connect" with a configuration: error envelope with code and Russian
  // message, null details.
  Bytes connect_arguments = {0x0D, 0x01};
  AppendString(connect_arguments, "config");
  AppendString(connect_arguments, "[Interface]\n");
  const std::string message =
      "WireGuard не установлен.\n\nПожалуйста, установите WireGuard через установщик "
      "приложения или вручную.";
  Bytes not_installed = {0x01};
  AppendString(not_installed, "NOT_INSTALLED");
  AppendString(not_installed, message);
  not_installed.push_back(0x00);
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("connect", connect_arguments)),
            std::vector<Bytes>{not_installed});

  // A method in the wrong case: one empty reply.
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("getstatus")), std::vector<Bytes>{Bytes{}});
  EXPECT_TRUE(machine.Logged("Method not implemented: getstatus"));
}

// An exception thrown inside an operation (here by the second log line of
// the call) is logged and answered with the method's failure answer; the
// worker goes on with the next call.
TEST(PluginWorker, AnExceptionIsAnsweredWithTheMethodsFailureAnswer) {
  using flutter::EncodableValue;
  const flutter::ValueMap zeros = {{EncodableValue("rx"), EncodableValue(int64_t{0})},
                                   {EncodableValue("tx"), EncodableValue(int64_t{0})}};
  const struct {
    const char* method;
    const char* answer;  // "success" with |value|, or "error" ACTIVATION_FAILED
    std::optional<EncodableValue> value;
  } cases[] = {
      {"isWireguardInstalled", "success", EncodableValue(false)},
      {"connect", "error", std::nullopt},
      {"disconnect", "success", EncodableValue(false)},
      {"getStatus", "success", EncodableValue("unknown")},
      {"getStats", "success", EncodableValue(zeros)},
      {"getDocumentsPath", "success", EncodableValue("")},
      {"installWireguard", "success", EncodableValue(false)},
      {"recreateTunnel", "success", EncodableValue(false)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    FakeWireguardMachine machine;
    int lines = 0;
    machine.on_log = [&lines](const std::string&) {
      if (++lines == 2) throw std::runtime_error("disk on fire");
    };
    ChannelMessenger messenger;
    std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, machine);
    const std::vector<Bytes> replies = messenger.Deliver(kChannel, CallMessage(c.method));
    ASSERT_EQ(replies.size(), 1u);
    flutter::testing::RecordingResult answer;
    flutter::StandardMethodCodec::ForSerializer(nullptr).DecodeReply(replies[0].data(),
                                                                     replies[0].size(), &answer);
    EXPECT_EQ(answer.calls, std::vector<std::string>{c.answer});
    EXPECT_EQ(answer.value, c.value);
    EXPECT_EQ(answer.code, std::string(c.answer) == "error" ? "ACTIVATION_FAILED" : "");
    EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("isWireguardInstalled")),
              (std::vector<Bytes>{{0x00, 0x01}}));
    // Logged after the answer, and so before the next call's answer.
    EXPECT_TRUE(
        machine.Logged(std::string("HandleMethodCall: ") + c.method + " failed: disk on fire"));
  }
}

// A gate that holds the machine's tool runs until it is opened; opening it
// by interrupting the machine makes the held run come back interrupted, as
// the real runner's does when the program is closing.
class GatedRuns {
 public:
  explicit GatedRuns(FakeWireguardMachine& machine) : answer_(machine.on_run) {
    machine.on_run = [this](const std::string& command_line) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++held_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_ || interrupted_; });
      if (interrupted_) {
        ProcessRun run;
        run.interrupted = true;
        return run;
      }
      lock.unlock();
      return answer_(command_line);
    };
    machine.on_interrupt = [this](bool interrupted) {
      std::lock_guard<std::mutex> lock(mutex_);
      interrupted_ = interrupted_ || interrupted;
      changed_.notify_all();
    };
  }
  void WaitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [this] { return held_ > 0; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::function<ProcessRun(const std::string&)> answer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int held_ = 0;
  bool open_ = false;
  bool interrupted_ = false;
};

std::vector<int> Tags(const std::vector<std::pair<int, Bytes>>& replies) {
  std::vector<int> tags;
  for (const auto& reply : replies) tags.push_back(reply.first);
  return tags;
}

// Calls queued behind a slow one (a held getStats) are answered once each, in
// arrival order, with the answers the same calls get when delivered one at a
// time. A read takes the answer of an identical run (same arguments) that
// began after it arrived, never across a state-changing or unknown call.
TEST(PluginWorker, QueuedCallsAreAnsweredOnceInOrderAndReadsShareLaterRuns) {
  using Call = std::pair<std::string, Bytes>;
  const Call status{"getStatus", {0x00}}, stats{"getStats", {0x00}};
  std::vector<Call> burst;
  for (int i = 0; i < 30; ++i) burst.insert(burst.end(), {status, stats});
  Bytes config = {0x0D, 0x01};
  AppendString(config, "config");
  AppendString(config, "[Interface]\n");
  const struct {
    const char* name;
    std::vector<Call> queued;  // behind the held getStats
    std::ptrdiff_t shared;     // calls answered by another call's run
  } cases[] = {
      {"a burst of 60", burst, 58},
      {"a connect between", {status, status, {"connect", config}, status, stats, status}, 2},
      {"the held run is too old; an unknown call; other arguments",
       {stats, status, {"bogus", {0x00}}, status, {"getStatus", {0x01}}, status},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Call> calls = {stats};
    calls.insert(calls.end(), c.queued.begin(), c.queued.end());
    FakeWireguardMachine reference_machine;
    ChannelMessenger reference;
    std::unique_ptr<WireguardPlugin> reference_plugin =
        CreateBoundWireguardPlugin(&reference, reference_machine);
    std::vector<std::pair<int, Bytes>> expected;
    for (const Call& call : calls) {
      const int tag = static_cast<int>(expected.size());
      expected.emplace_back(
          tag, reference.Deliver(kChannel, CallMessage(call.first, call.second)).at(0));
    }

    FakeWireguardMachine machine;
    GatedRuns gate(machine);
    ChannelMessenger messenger;
    std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, machine);
    for (size_t i = 0; i < calls.size(); ++i) {
      messenger.Post(kChannel, CallMessage(calls[i].first, calls[i].second), static_cast<int>(i));
      if (i == 0) gate.WaitUntilHeld();
    }
    gate.Open();
    messenger.WaitForReplies(calls.size());
    plugin->Shutdown();  // a second answer to any call would have come by now
    EXPECT_EQ(messenger.WaitForReplies(calls.size()), expected);
    const std::vector<std::string> messages = machine.Messages();
    const auto lines = [&](const std::string& part) {
      return std::count_if(messages.begin(), messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    };
    EXPECT_EQ(lines("HandleMethodCall: "), static_cast<std::ptrdiff_t>(calls.size()));
    EXPECT_EQ(lines(" answered by the latest identical run, which began after this call arrived"),
              c.shared);
  }
}

TEST(PluginWorker, ShutdownEndsTheRunningCallAndDropsTheQueuedOnes) {
  FakeWireguardMachine machine;
  GatedRuns gate(machine);
  ChannelMessenger messenger;
  std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, machine);
  messenger.Post(kChannel, CallMessage("getStatus"), 1);
  gate.WaitUntilHeld();
  messenger.Post(kChannel, CallMessage("getStats"), 2);

  flutter::testing::CerrCapture cerr;  // the dropped call's unanswered result says so
  plugin->Shutdown();
  // The running call wound down with its run cut short; the queued one never started.
  EXPECT_TRUE(machine.Logged("Command interrupted: the program is closing"));
  EXPECT_FALSE(machine.Logged("HandleMethodCall: getStats"));
  EXPECT_EQ(Tags(messenger.WaitForReplies(1)), std::vector<int>{1});
  // Nothing is taken after shutdown.
  messenger.Post(kChannel, CallMessage("getStatus"), 3);
  plugin.reset();
  EXPECT_EQ(Tags(messenger.WaitForReplies(1)), std::vector<int>{1});
}

// A plugin that notes its destruction and whether the holder already held
// another plugin (its successor) at that moment.
class TrackedPlugin : public WireguardPlugin {
 public:
  TrackedPlugin(PluginEnv& env, bool* destroyed, bool* replaced_first)
      : WireguardPlugin(nullptr, env), destroyed_(destroyed), replaced_first_(replaced_first) {}
  ~TrackedPlugin() override {
    *destroyed_ = true;
    WireguardPlugin* held = WireguardPluginHolder::Instance().plugin();
    *replaced_first_ = held != nullptr && held != this;
  }

 private:
  bool* destroyed_;
  bool* replaced_first_;
};

TEST(PluginHolder, StoringAPluginReplacesAndDestroysThePreviousOne) {
  FakeWireguardMachine machine;
  WireguardPluginHolder& holder = WireguardPluginHolder::Instance();
  bool first_destroyed = false, first_replaced_first = false;
  bool second_destroyed = false, second_replaced_first = false;

  holder.Store(std::make_unique<TrackedPlugin>(machine, &first_destroyed, &first_replaced_first));
  WireguardPlugin* first = holder.plugin();
  EXPECT_NE(first, nullptr);
  EXPECT_FALSE(first_destroyed);

  holder.Store(std::make_unique<TrackedPlugin>(machine, &second_destroyed, &second_replaced_first));
  EXPECT_TRUE(first_destroyed);
  EXPECT_TRUE(first_replaced_first) << "the new plugin is stored before the old one goes";
  EXPECT_NE(holder.plugin(), first);
  EXPECT_FALSE(second_destroyed);

  holder.Store(nullptr);
  EXPECT_TRUE(second_destroyed);
  EXPECT_EQ(holder.plugin(), nullptr);
}

TEST(PluginHolder, ASecondBindingTakesOverTheChannel) {
  FakeWireguardMachine first_machine;
  FakeWireguardMachine second_machine;
  ChannelMessenger messenger;
  WireguardPluginHolder& holder = WireguardPluginHolder::Instance();

  holder.Store(CreateBoundWireguardPlugin(&messenger, first_machine));
  holder.Store(CreateBoundWireguardPlugin(&messenger, second_machine));

  // The first plugin is gone; calls reach the second one only.
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("nothing")).size(), 1u);
  EXPECT_TRUE(first_machine.logs.empty());
  EXPECT_TRUE(second_machine.Logged("HandleMethodCall: nothing"));
  // With no plugin left, the handler still installed answers "not implemented".
  holder.Store(nullptr);
  EXPECT_EQ(messenger.Deliver(kChannel, CallMessage("getStatus")), std::vector<Bytes>{Bytes{}});
  EXPECT_FALSE(second_machine.Logged("HandleMethodCall: getStatus"));
}

#ifdef _WIN32
// An engine that hands out no registrar must not take the program down: the
// window comes up without the plugin, and the standard error stream says why.
TEST(PluginRegistration, WithoutARegistrarNothingIsRegistered) {
  WireguardPluginHolder::Instance().Store(nullptr);
  flutter::testing::CerrCapture cerr;
  WireguardPluginRegisterWithRegistrar(nullptr);
  EXPECT_EQ(cerr.Lines(),
            std::vector<std::string>{"WireguardPlugin: no plugin registrar from the engine; the "
                                     "plugin is not registered."});
  EXPECT_EQ(WireguardPluginHolder::Instance().plugin(), nullptr);
}
#endif

}  // namespace
