// Tests of HandleMethodCall: for each of the UI's methods, the answer (value,
// error code and Russian message, or not implemented) and the log lines, over
// a scripted machine.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/testing/recording_result.h"
#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

using flutter::EncodableValue;
using flutter::ValueList;
using flutter::ValueMap;

using Reply = flutter::testing::RecordedAnswers;
using Calls = std::vector<std::string>;

Reply Call(WireguardPlugin& plugin, const std::string& method,
           std::optional<EncodableValue> arguments = std::nullopt) {
  Reply reply;
  flutter::MethodCall call(method, arguments ? std::make_unique<EncodableValue>(*arguments)
                                             : std::unique_ptr<EncodableValue>());
  plugin.HandleMethodCall(call, std::make_unique<flutter::testing::RecordingResult>(&reply));
  return reply;
}

EncodableValue ConfigArguments(EncodableValue config) {
  return EncodableValue(ValueMap{{EncodableValue("config"), std::move(config)}});
}

const std::string kBadArguments = "Неверные аргументы";
const std::string kConfigMissing = "Конфигурация не предоставлена";
const std::string kConfigNotString = "Конфигурация должна быть строкой";

// Every argument error of "connect" and "recreateTunnel": the same code and
// message from both, but only "connect" logs its reason.
TEST(HandleMethodCall, ConnectAndRecreateTunnelRejectBadArguments) {
  const struct {
    std::string name;
    std::optional<EncodableValue> arguments;
    std::string message;
    std::string log_line;
  } cases[] = {
      {"absent", std::nullopt, kBadArguments, "Invalid arguments"},
      {"null", EncodableValue(), kBadArguments, "Invalid arguments"},
      {"a string", EncodableValue("[Interface]"), kBadArguments, "Invalid arguments"},
      {"a list", EncodableValue(ValueList{EncodableValue("config"), EncodableValue("x")}),
       kBadArguments, "Invalid arguments"},
      {"capitalised key", EncodableValue(ValueMap{{EncodableValue("Config"), EncodableValue("x")}}),
       kConfigMissing, "Config not provided"},
      {"integer config", ConfigArguments(EncodableValue(int32_t{42})), kConfigNotString,
       "Config is not a string"},
      {"null config", ConfigArguments(EncodableValue()), kConfigNotString,
       "Config is not a string"},
  };
  for (const std::string method : {"connect", "recreateTunnel"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(method + ": " + c.name);
      FakeWireguardMachine machine;
      WireguardPlugin plugin(nullptr, machine);
      const Reply reply = Call(plugin, method, c.arguments);
      EXPECT_EQ(reply.calls, Calls{"error"});
      EXPECT_EQ(reply.code, "INVALID_ARGUMENT");
      EXPECT_EQ(reply.message, c.message);
      EXPECT_FALSE(reply.value.has_value());
      std::vector<std::string> expected = {"HandleMethodCall: " + method,
                                           method + " method called"};
      if (method == "connect") expected.push_back(c.log_line);
      EXPECT_EQ(machine.Messages(), expected);
      EXPECT_TRUE(machine.runs.empty());
    }
  }
}

TEST(HandleMethodCall, ConnectPassesTheConfigAndLogsItsByteLength) {
  const struct {
    std::string config, length, saved;
  } cases[] = {
      {"", "0", ""}, {"# Сервер\n", "15", "# Сервер\r\n"},  // UTF-8 text counts bytes, not letters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    FakeWireguardMachine machine;
    WireguardPlugin plugin(nullptr, machine);
    const Reply reply = Call(plugin, "connect", ConfigArguments(EncodableValue(c.config)));
    EXPECT_EQ(reply.calls, Calls{"success"});
    EXPECT_EQ(reply.value, EncodableValue(true));
    EXPECT_TRUE(
        machine.LoggedInOrder({"Config received, length: " + c.length, "Starting ConnectVPN...",
                               "ConnectVPN called", "ConnectVPN result: true"}));
    EXPECT_EQ(machine.files[kConfigPath], c.saved);
  }
}

TEST(HandleMethodCall, ConnectWithoutWireguardAnswersNotInstalled) {
  FakeWireguardMachine machine;
  machine.RemoveWireguard();
  WireguardPlugin plugin(nullptr, machine);

  const Reply reply = Call(plugin, "connect", ConfigArguments(EncodableValue("cfg")));
  // The envelope (code, message, no details) is pinned byte for byte by
  // PluginChannel.AnswersEncodedCallsWithEncodedReplies.
  EXPECT_EQ(reply.calls, Calls{"error"});
  EXPECT_EQ(reply.code, "NOT_INSTALLED");
  EXPECT_TRUE(
      machine.LoggedInOrder({"Config received, length: 3",
                             "WireGuard not installed - user should install via installer"}));
  EXPECT_FALSE(machine.Logged("Starting ConnectVPN..."));
}

TEST(HandleMethodCall, ConnectThatFailsIsCheckedAgainstTheStatus) {
  {
    SCOPED_TRACE("the tunnel came up anyway");
    FakeWireguardMachine machine;
    machine.install_brings_tunnel_up = false;
    // Down before the install, still down one second after it, up when the
    // dispatcher asks.
    machine.next_show_up = {false, false, true};
    WireguardPlugin plugin(nullptr, machine);
    const Reply reply = Call(plugin, "connect", ConfigArguments(EncodableValue("cfg")));
    EXPECT_EQ(reply.calls, Calls{"success"});
    EXPECT_EQ(reply.value, EncodableValue(true));
    EXPECT_TRUE(
        machine.LoggedInOrder({"ConnectVPN result: false", "Tunnel is actually connected"}));
  }
  // Down after the install, or nothing saved: the message says which.
  const struct {
    const char* name;
    const char* blocked_folder;
    const char* line;
    const char* log;
  } downs[] = {
      {"the tunnel is down", "", "Конфигурация 'orva_divuv' сохранена.\n",
       "Connection activation failed, but config is saved"},
      {"the save failed", "C:\\ProgramData\\WireGuard\\Configurations",
       "Не удалось сохранить конфигурацию 'orva_divuv'.\n",
       "Connection activation failed, and config is not saved"},
  };
  for (const auto& c : downs) {
    SCOPED_TRACE(c.name);
    FakeWireguardMachine machine;
    machine.install_run = MakeRun(1, "Error: Access is denied.");
    machine.install_brings_tunnel_up = false;
    machine.blocked_folders = {c.blocked_folder};
    WireguardPlugin plugin(nullptr, machine);
    const Reply reply = Call(plugin, "connect", ConfigArguments(EncodableValue("cfg")));
    EXPECT_EQ(reply.calls, Calls{"error"});
    EXPECT_EQ(reply.code, "ACTIVATION_FAILED");
    EXPECT_EQ(reply.message, std::string("Не удалось автоматически активировать туннель.\n\n") +
                                 c.line +
                                 "Попробуйте подключиться снова.\n\n"
                                 "Если проблема сохраняется:\n"
                                 "1. Откройте WireGuard GUI\n"
                                 "2. Найдите конфигурацию 'orva_divuv'\n"
                                 "3. Нажмите 'Activate' для активации туннеля");
    EXPECT_FALSE(reply.value.has_value());
    EXPECT_TRUE(machine.LoggedInOrder({"ConnectVPN result: false", c.log}));
    EXPECT_FALSE(machine.Logged("Tunnel is actually connected"));
  }
}

TEST(HandleMethodCall, FalseOutcomesAreSuccessValues) {
  FakeWireguardMachine machine;
  machine.RemoveWireguard();
  WireguardPlugin plugin(nullptr, machine);
  const struct {
    std::string method;
    std::optional<EncodableValue> arguments;
    EncodableValue value;
    std::vector<std::string> log;
  } cases[] = {
      {"isWireguardInstalled",
       EncodableValue("ignored"),
       EncodableValue(false),
       {"isWireguardInstalled result: false"}},
      {"disconnect", std::nullopt, EncodableValue(false), {"disconnect method called"}},
      {"installWireguard",
       std::nullopt,
       EncodableValue(false),
       {"installWireguard method called", "InstallWireguard called",
        "installWireguard result: false"}},
      {"recreateTunnel",
       ConfigArguments(EncodableValue("cfg")),
       EncodableValue(false),
       {"RecreateTunnel called", "WireGuard not installed, cannot recreate tunnel",
        "recreateTunnel result: false"}},
      {"getStatus",
       std::nullopt,
       EncodableValue("not_installed"),
       {"getStatus result: not_installed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    const Reply reply = Call(plugin, c.method, c.arguments);
    EXPECT_EQ(reply.calls, Calls{"success"});
    EXPECT_EQ(reply.value, c.value);
    EXPECT_TRUE(machine.LoggedInOrder(c.log));
  }
  // Without WireGuard nothing is run or waited for; RecreateTunnel does not
  // even begin its steps.
  EXPECT_TRUE(machine.runs.empty());
  EXPECT_TRUE(machine.sleeps.empty());
  EXPECT_FALSE(machine.Logged("Step 1: Disconnecting VPN..."));
}

TEST(HandleMethodCall, SuccessfulOperationsAnswerTheirValues) {
  FakeWireguardMachine machine;
  machine.shell_folders[5] = "C:\\users\\\xC8\xE2\xE0\xED";  // code page 1251
  machine.shell_folders_utf8[5] = "C:\\users\\Иван";
  WireguardPlugin plugin(nullptr, machine);

  EXPECT_EQ(Call(plugin, "isWireguardInstalled").value, EncodableValue(true));
  EXPECT_EQ(Call(plugin, "connect", ConfigArguments(EncodableValue("cfg"))).value,
            EncodableValue(true));
  EXPECT_EQ(Call(plugin, "getStatus").value, EncodableValue("connected"));
  EXPECT_EQ(Call(plugin, "recreateTunnel", ConfigArguments(EncodableValue("new"))).value,
            EncodableValue(true));
  EXPECT_TRUE(machine.Logged("recreateTunnel result: true"));
  EXPECT_EQ(Call(plugin, "disconnect").value, EncodableValue(true));
  EXPECT_EQ(Call(plugin, "getStatus").value, EncodableValue("disconnected"));
  EXPECT_EQ(Call(plugin, "getDocumentsPath").value, EncodableValue("C:\\users\\Иван"));
  EXPECT_TRUE(machine.Logged("getDocumentsPath result: C:\\users\\\xC8\xE2\xE0\xED"));
}

// The zeros without WireGuard are pinned byte for byte by
// PluginChannel.AnswersEncodedCallsWithEncodedReplies.
TEST(HandleMethodCall, GetStatsAnswersTwoInt64Counters) {
  FakeWireguardMachine machine;
  machine.tunnel_up = true;
  machine.transfer_line = "  transfer: 12 B received, 34 B sent";
  WireguardPlugin plugin(nullptr, machine);
  const Reply reply = Call(plugin, "getStats");
  EXPECT_EQ(reply.calls, Calls{"success"});
  // 64-bit even when the numbers would fit in 32 bits.
  EXPECT_EQ(reply.value,
            EncodableValue(ValueMap{{EncodableValue("rx"), EncodableValue(int64_t{12})},
                                    {EncodableValue("tx"), EncodableValue(int64_t{34})}}));
  EXPECT_TRUE(machine.Logged("getStats method called"));
}

TEST(HandleMethodCall, UnknownOrMiscasedNamesAreNotImplemented) {
  for (const std::string method : {"Connect", "GETSTATUS", "connect ", ""}) {
    SCOPED_TRACE(method);
    FakeWireguardMachine machine;
    WireguardPlugin plugin(nullptr, machine);
    const Reply reply = Call(plugin, method, ConfigArguments(EncodableValue("cfg")));
    EXPECT_EQ(reply.calls, Calls{"not_implemented"});
    EXPECT_EQ(machine.Messages(), (std::vector<std::string>{"HandleMethodCall: " + method,
                                                            "Method not implemented: " + method}));
    EXPECT_TRUE(machine.runs.empty());
  }
}

}  // namespace
