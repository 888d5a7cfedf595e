// libFuzzer target: method calls on "com.orva_divuv/wireguard", delivered as
// encoded messages through the plugin's own channel binding, with the machine
// and every tool run chosen by the input.
//
// Input layout (read with FuzzedDataProvider): a few bytes describe the
// machine (which WireGuard files, folders and installer exist, how the
// installer ends); then up to kMaxCalls messages, each either raw bytes or a
// well-formed call built from a method name and a generated argument value.
// Tool runs made while a call is handled take their outcome (start failure,
// exit code, output) from the bytes that follow.
//
// Checked for every message: exactly one reply; an empty reply only as "not
// implemented"; any other reply decodes as a success or error envelope, and
// errors carry one of the dispatcher's three codes, a message and no details.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_channel.h"
#include "codec/method_result.h"
#include "codec/standard_method_codec.h"
#include "wireguard_plugin/fake_plugin_env.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/testing/channel_messenger.h"

namespace {

using flutter::EncodableValue;

constexpr int kMaxCalls = 8;
constexpr int kMaxDepth = 3;

const char* const kMethods[] = {
    "isWireguardInstalled", "connect",          "disconnect",     "getStatus", "getStats",
    "getDocumentsPath",     "installWireguard", "recreateTunnel", "Connect",   "getstats",
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "dispatcher fuzz check failed: %s\n", what);
  std::abort();
}

// Checks a decoded reply envelope.
class CheckingResult : public flutter::MethodResult {
 public:
  void OnSuccess(const EncodableValue*) override {}
  void OnError(const std::string& code, const std::string& message,
               const EncodableValue* details) override {
    if (code != "INVALID_ARGUMENT" && code != "NOT_INSTALLED" && code != "ACTIVATION_FAILED") {
      Fail("unknown error code");
    }
    if (message.empty()) Fail("error without a message");
    if (details) Fail("error with details");
  }
  void OnNotImplemented() override { Fail("a decoded envelope cannot be not-implemented"); }
};

EncodableValue MakeValue(FuzzedDataProvider& input, int depth) {
  switch (input.ConsumeIntegralInRange<int>(0, depth >= kMaxDepth ? 7 : 10)) {
    case 0:
      return EncodableValue();
    case 1:
      return EncodableValue(input.ConsumeBool());
    case 2:
      return EncodableValue(input.ConsumeIntegral<int32_t>());
    case 3:
      return EncodableValue(input.ConsumeIntegral<int64_t>());
    case 4:
      return EncodableValue(input.ConsumeFloatingPoint<double>());
    case 5:
    case 6:
      return EncodableValue(input.ConsumeRandomLengthString(512));
    case 7:
      return EncodableValue(input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 64)));
    case 8: {
      flutter::ValueList list;
      const int count = input.ConsumeIntegralInRange(0, 4);
      for (int i = 0; i < count; ++i) list.push_back(MakeValue(input, depth + 1));
      return EncodableValue(std::move(list));
    }
    default: {
      flutter::ValueMap map;
      const int count = input.ConsumeIntegralInRange(0, 3);
      for (int i = 0; i < count; ++i) {
        EncodableValue key =
            input.ConsumeBool() ? EncodableValue("config") : MakeValue(input, depth + 1);
        map[std::move(key)] = MakeValue(input, depth + 1);
      }
      return EncodableValue(std::move(map));
    }
  }
}

void DescribeMachine(FuzzedDataProvider& input, FakePluginEnv& env) {
  const std::string folder = "C:\\Program Files\\WireGuard";
  if (input.ConsumeBool()) env.paths.insert(folder + "\\wireguard.exe");
  if (input.ConsumeBool()) env.paths.insert(folder + "\\wg.exe");
  if (input.ConsumeBool()) env.machine_keys.insert("SOFTWARE\\WireGuard");
  if (input.ConsumeBool()) env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
  if (input.ConsumeBool()) env.shell_folders[kCsidlPersonal] = "C:\\users\\orva\\Documents";
  if (input.ConsumeBool()) env.environment["PROGRAMFILES"] = "C:\\Program Files";
  const std::string config = "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";
  if (input.ConsumeBool()) env.paths.insert(config);
  if (input.ConsumeBool()) env.unremovable.insert(config);
  if (input.ConsumeBool()) env.blocked_folders.insert("C:\\ProgramData\\WireGuard\\Configurations");
  if (input.ConsumeBool()) {
    static const char* const kInstallers[] = {
        "C:\\Program Files\\ORVA VPN\\wireguard\\wireguard-installer.msi",
        "C:\\Program Files\\ORVA VPN\\wireguard.exe",
        "C:\\Program Files\\ORVA VPN\\WireGuard-installer.EXE",
    };
    env.paths.insert(kInstallers[input.ConsumeIntegralInRange(0, 2)]);
  }
  if (input.ConsumeBool()) env.module_file_name = input.ConsumeRandomLengthString(64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  FakePluginEnv env;
  DescribeMachine(input, env);

  env.on_run = [&input](const std::string&) {
    ProcessRun run;
    switch (input.ConsumeIntegralInRange(0, 7)) {
      case 0:
        run.status = Status::Failed(Status::Step::kCreateProcess, 2);
        break;
      case 1:
        run.status = Status::Failed(Status::Step::kCreatePipe, 8);
        break;
      default:
        break;
    }
    if (run.status.ok()) {
      run.exit_code = input.ConsumeIntegral<uint32_t>();
      run.output = input.ConsumeRandomLengthString(1024);
      run.terminated = input.ConsumeBool();
    }
    return run;
  };
  env.on_installer = [&input](const std::string&, uint32_t) {
    const Status outcomes[] = {Status::Failed(Status::Step::kCreateProcess, 2), Status(),
                               Status::Failed(Status::Step::kTimedOut)};
    return outcomes[input.ConsumeIntegralInRange(0, 2)];
  };

  ChannelMessenger messenger;
  std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, env);
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer(nullptr);

  for (int call = 0; call < kMaxCalls && input.remaining_bytes() > 0; ++call) {
    std::vector<uint8_t> message;
    if (input.ConsumeBool()) {
      message = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 256));
    } else {
      std::string method = input.ConsumeBool() ? kMethods[input.ConsumeIntegralInRange<size_t>(
                                                     0, sizeof(kMethods) / sizeof(kMethods[0]) - 1)]
                                               : input.ConsumeRandomLengthString(32);
      auto arguments = input.ConsumeBool() ? std::make_unique<EncodableValue>(MakeValue(input, 0))
                                           : std::unique_ptr<EncodableValue>();
      message = *codec.EncodeCall(flutter::MethodCall(method, std::move(arguments)));
    }

    if (!messenger.Post(kWireguardChannelName, message, call)) Fail("no handler on the channel");
    const std::vector<std::vector<uint8_t>> replies = messenger.RepliesTo(call);
    if (replies.empty()) Fail("no reply");
    const std::vector<uint8_t>& reply = replies.front();
    if (reply.empty()) continue;  // not implemented, or not a call at all
    CheckingResult result;
    if (!codec.DecodeReply(reply.data(), reply.size(), &result)) Fail("reply does not decode");
  }
  // Once the worker has stopped, every message has had exactly one reply.
  plugin.reset();
  for (const auto& [tag, reply] : messenger.WaitForReplies(0)) {
    if (messenger.RepliesTo(tag).size() != 1) Fail("not exactly one reply");
  }
  return 0;
}
