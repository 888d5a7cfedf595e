// The log file for support over the fake platform: its lines, its turnover,
// its folder, its failures, and a whole session that leaves no key in any
// log. (Wine keeps no ACLs, so the folder's descriptor is checked here.)
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/support_log.h"
#include "wireguard_plugin/testing/channel_messenger.h"

namespace {

const char kLogFolder[] = "C:\\ProgramData\\ORVA VPN\\logs";
const std::string kLogFile = std::string(kLogFolder) + "\\plugin.log";
const std::string kCannotWrite = "[WireGuardPlugin] Log file cannot be written: " + kLogFile;
const char kStamp[] = "2026-12-07T03:04:05.067Z ";
const std::string kStartLine =
    kStamp + std::string("Program start: ORVA VPN 1.2.3, Windows 10.0.19045\r\n");

struct LogTest : ::testing::Test {
  LogTest() { env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData"; }
  FakePluginEnv env;
  SupportLog log{env};
};

TEST_F(LogTest, EachMessageBecomesStampedCrLfLinesInAProtectedFolder) {
  log.Write("before the start: not kept");
  log.Start("1.2.3");
  const std::string lines[] = {"one", "out: a\r\nb\nc\rd\r\n", "two ends\n\n",
                               std::string("bin: \0\x01\t\x7F\xC3\xA9", 11)};
  for (const std::string& line : lines) log.Write(line);
  EXPECT_EQ(env.files[kLogFile], kStartLine + kStamp + "one\r\n" + kStamp +
                                     "out: a\r\nb\r\nc\r\nd\r\n" + kStamp + "two ends\r\n" +
                                     kStamp + "bin: \\x00\\x01\t\\x7F\xC3\xA9\r\n");
  EXPECT_TRUE(env.logs.empty());
  // Both folders owned by Administrators; only LocalSystem and
  // Administrators, nothing inherited from ProgramData, handed down.
  for (const char* folder : {"C:\\ProgramData\\ORVA VPN", kLogFolder}) {
    EXPECT_EQ(env.folder_sddl[folder], "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)") << folder;
  }
}

TEST_F(LogTest, AStartWithoutTheWindowsVersionLeavesItOut) {
  env.windows_version.reset();
  log.Start("1.2.3");
  EXPECT_EQ(env.files[kLogFile], kStamp + std::string("Program start: ORVA VPN 1.2.3\r\n"));
}

TEST_F(LogTest, TurnsOverAtOneMebibyteKeepingOnePreviousFile) {
  env.files[kLogFile] = std::string(500 * size_t{1024}, 'o');  // from an earlier run
  log.Start("1.2.3");
  for (int i = 0; i < 35; ++i) {
    log.Write(std::to_string(i) + std::string(50 * size_t{1024}, 'x'));
    ASSERT_LE(env.files[kLogFile].size(), SupportLog::kMaxFileBytes);
  }
  // Whole entries, twenty to a full file; the second turnover replaced the first.
  EXPECT_EQ(std::count(env.events.begin(), env.events.end(),
                       "replace " + kLogFile + " " + kLogFile + ".1"),
            2);
  EXPECT_EQ(env.files[kLogFile + ".1"].rfind(kStamp + std::string("10x"), 0), 0u);
  EXPECT_EQ(env.files[kLogFile].rfind(kStamp + std::string("30x"), 0), 0u);
}

TEST_F(LogTest, AFloodOfToolOutputKeepsItsBeginningAndTheHistoryBeforeIt) {
  log.Start("1.2.3");
  log.Write("before");
  // 4 MiB of a two-byte UTF-8 character, one of which straddles the cut.
  std::string flood = "out: " + std::string(SupportLog::kMaxEntryBytes - 35, 'f');
  for (int i = 0; i < (2 << 20); ++i) flood += "\xC3\xA9";
  log.Write(flood);
  log.Write("after");
  const std::string& file = env.files[kLogFile];
  EXPECT_EQ(file.rfind(kStartLine + kStamp + "before\r\n" + kStamp + "out: fff", 0), 0u);
  const size_t note = file.find("\r\n(4194302 more bytes of this message not kept here)\r\n");
  ASSERT_NE(note, std::string::npos);
  EXPECT_EQ(file.substr(note - 4, 4), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(file.substr(file.size() - 7), "after\r\n");
  EXPECT_EQ(env.files.count(kLogFile + ".1"), 0u);
}

// A viewer holding the file keeps it from turning over: the lines go on into
// it, and the turnover is tried again after 64 KiB more, one debugger line
// for each failure.
TEST_F(LogTest, AFailedTurnoverKeepsTheLogOnAndIsTriedAgainLater) {
  env.files[kLogFile] = std::string(SupportLog::kMaxFileBytes - 100, 'o');
  env.unreplaceable = {kLogFile + ".1"};
  log.Start("1.2.3");
  const std::string entry(30 * size_t{1024}, 'x');
  for (int i = 0; i < 5; ++i) log.Write(entry);
  const std::vector<std::string> failures(
      3, "[WireGuardPlugin] Log file cannot be turned over: " + kLogFile);
  EXPECT_EQ(env.logs, failures);
  EXPECT_EQ(env.files[kLogFile].size(), SupportLog::kMaxFileBytes - 100 + kStartLine.size() +
                                            5 * (kStamp + entry + "\r\n").size());
  env.unreplaceable.clear();
  log.Write(entry);
  log.Write(entry);  // 64 KiB after the last try
  EXPECT_EQ(env.files[kLogFile], kStamp + entry + "\r\n");
  EXPECT_EQ(env.logs, failures);
}

TEST(SupportLog, ALogThatCannotBeWrittenCostsOneDebuggerLine) {
  const std::function<void(FakePluginEnv&)> faults[] = {
      [](FakePluginEnv& e) { e.blocked_folders = {"C:\\ProgramData\\ORVA VPN"}; },
      [](FakePluginEnv& e) { e.blocked_folders = {kLogFolder}; },
      [](FakePluginEnv& e) { e.unwritable = {kLogFile}; },
  };
  for (const auto& fault : faults) {
    FakePluginEnv env;
    env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
    fault(env);
    SupportLog log(env);
    log.Start("1.2.3");
    for (int i = 0; i < 3; ++i) log.Write("line");
    EXPECT_EQ(env.logs, std::vector<std::string>{kCannotWrite});
  }
}

// A whole session through the channel and the plugin's worker, the log
// started as registration starts it.
// wireguard.exe echoes the key it cannot parse, as WireGuard's configuration
// parser does. No log gets a key, and a log that cannot be written does not
// cost a single answer.
TEST(SupportLogSession, LeavesNoKeyInAnyLogAndIsAnsweredWithoutTheFile) {
  const std::string key = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
  const std::string psk = "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=";
  const std::string config = "[Interface]\nPrivateKey = " + key + "\n[Peer]\nPresharedKey=" + psk +
                             "\nEndpoint = 203.0.113.7:51820\n";
  for (bool folder_blocked : {false, true}) {
    SCOPED_TRACE(folder_blocked ? "the log folder cannot be made" : "the log is written");
    FakeWireguardMachine machine;
    if (folder_blocked) machine.blocked_folders = {kLogFolder};
    machine.install_run = MakeRun(1, "Key is not the correct length or format: `" + key + "'\r\n");
    machine.install_brings_tunnel_up = false;
    ChannelMessenger messenger;
    std::unique_ptr<WireguardPlugin> plugin = CreateBoundWireguardPlugin(&messenger, machine);
    plugin->StartSupportLog("1.2.3");
    for (const char* method :
         {"connect", "getStatus", "recreateTunnel", "getStats", "disconnect"}) {
      flutter::ValueMap arguments{{flutter::EncodableValue("config"), config}};
      const auto message = flutter::StandardMethodCodec::ForSerializer(nullptr).EncodeCall(
          flutter::MethodCall(method, std::make_unique<flutter::EncodableValue>(arguments)));
      ASSERT_EQ(messenger.Deliver(kWireguardChannelName, *message).size(), 1u) << method;
    }
    plugin->Shutdown();

    EXPECT_EQ(machine.files.count(kLogFile), folder_blocked ? 0u : 1u);
    std::vector<std::string> logs = machine.logs;
    logs.push_back(machine.files[kLogFile]);
    for (const std::string& text : logs) {
      EXPECT_TRUE(text.find(key) == std::string::npos && text.find(psk) == std::string::npos)
          << text;
    }
    EXPECT_TRUE(
        machine.Logged("Command output: Key is not the correct length or format: "
                       "`(hidden)'\r\n"));
    EXPECT_EQ(std::count(machine.logs.begin(), machine.logs.end(), kCannotWrite),
              folder_blocked ? 1 : 0);
    const std::string last_call =
        kStamp + std::string("[WireGuardPlugin] HandleMethodCall: disconnect");
    if (!folder_blocked) {
      EXPECT_EQ(machine.files[kLogFile].rfind(kStartLine, 0), 0u);
      EXPECT_NE(machine.files[kLogFile].find(last_call), std::string::npos);
    }
  }
}

}  // namespace
