// The log file for support over the fake platform: its lines, its turnover,
// its folder, its failures, and a whole session that leaves no key in any
// log. (Wine keeps no ACLs, so the folder's descriptor is checked here.)
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "codec/method_call.h"
#include "codec/method_result.h"
#include "wireguard_plugin/fake_wireguard_machine.h"
#include "wireguard_plugin/support_log.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace {

const char kLogFolder[] = "C:\\ProgramData\\ORVA VPN\\logs";
const std::string kLogFile = std::string(kLogFolder) + "\\plugin.log";
const char kStamp[] = "2026-12-07T03:04:05.067Z ";
const char kStartLine[] = "2026-12-07T03:04:05.067Z Program start: ORVA VPN 1.2.3, Windows 10.0.19045\r\n";

TEST(SupportLog, EachMessageBecomesStampedCrLfLines) {
  const struct {
    const char* line;
    const char* entry;
  } cases[] = {
      {"[WireGuardPlugin] one", "one\r\n"},
      {"[WireGuardPlugin] out: a\r\nb\nc\rd\r\n", "out: a\r\nb\r\nc\r\nd\r\n"},
      {"[WireGuardPlugin] two ends\n\n", "two ends\r\n"},
      {"[WireGuardPlugin] ", "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FakePluginEnv env;
    env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
    SupportLog log(env);
    log.Write("before the start: not kept");
    log.Start("1.2.3");
    log.Write(c.line);
    EXPECT_EQ(env.files[kLogFile],
              std::string(kStartLine) + kStamp + "[WireGuardPlugin] " + c.entry);
    EXPECT_TRUE(env.logs.empty());  // the debugger hears nothing from the file
  }
}

TEST(SupportLog, FolderAdmitsOnlySystemAndAdministrators) {
  FakePluginEnv env;
  env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
  SupportLog(env).Start("1.2.3");
  const std::string sddl = env.folder_sddl[kLogFolder];
  // A protected DACL ("P": nothing inherited from ProgramData) whose entries
  // all allow, and allow only LocalSystem and the Administrators group.
  ASSERT_EQ(sddl.rfind("D:P(", 0), 0u) << sddl;
  std::vector<std::string> trustees;
  for (size_t open = sddl.find('('); open != std::string::npos; open = sddl.find('(', open + 1)) {
    const std::string ace = sddl.substr(open + 1, sddl.find(')', open) - open - 1);
    EXPECT_EQ(ace.rfind("A;", 0), 0u) << ace;
    trustees.push_back(ace.substr(ace.find_last_of(';') + 1));
  }
  EXPECT_EQ(trustees, (std::vector<std::string>{"SY", "BA"}));
}

TEST(SupportLog, TurnsOverAtOneMebibyteKeepingOnePreviousFile) {
  FakePluginEnv env;
  env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
  env.files[kLogFile] = std::string(1000, 'o');  // from an earlier run
  env.files[kLogFile + ".1"] = "older still";
  SupportLog log(env);
  log.Start("1.2.3");
  const std::string piece(100 * 1024, 'x');
  std::vector<std::string> previous_files;
  for (int i = 0; i < 25; ++i) {
    log.Write(std::to_string(i) + piece);
    ASSERT_LE(env.files[kLogFile].size(), SupportLog::kMaxFileBytes);
    if (previous_files.empty() || previous_files.back() != env.files[kLogFile + ".1"]) {
      previous_files.push_back(env.files[kLogFile + ".1"]);
    }
  }
  // The earlier run's lines and the start line went with the first turnover;
  // each file holds whole entries; the second turnover replaced the first.
  ASSERT_EQ(previous_files.size(), 3u);
  EXPECT_EQ(previous_files[1].rfind(std::string(1000, 'o') + kStartLine, 0), 0u);
  EXPECT_EQ(previous_files[2].rfind(kStamp + std::string("10x"), 0), 0u);
  EXPECT_EQ(env.files[kLogFile].rfind(kStamp + std::string("20x"), 0), 0u);
}

TEST(SupportLog, ALogThatCannotBeWrittenCostsOneDebuggerLine) {
  const struct {
    const char* name;
    std::function<void(FakePluginEnv&)> fault;
    const char* line;
  } cases[] = {
      {"no ProgramData", [](FakePluginEnv& e) { e.shell_folders.clear(); },
       "[WireGuardPlugin] Log file cannot be written"},
      {"the folder cannot be made", [](FakePluginEnv& e) { e.blocked_folders = {kLogFolder}; },
       "[WireGuardPlugin] Log file cannot be written: C:\\ProgramData\\ORVA VPN\\logs\\plugin.log"},
      {"the file cannot be written", [](FakePluginEnv& e) { e.unwritable = {kLogFile}; },
       "[WireGuardPlugin] Log file cannot be written: C:\\ProgramData\\ORVA VPN\\logs\\plugin.log"},
      {"the turnover fails",
       [](FakePluginEnv& e) {
         e.files[kLogFile] = std::string(SupportLog::kMaxFileBytes, 'o');
         e.unreplaceable = {kLogFile + ".1"};
       },
       "[WireGuardPlugin] Log file cannot be written: C:\\ProgramData\\ORVA VPN\\logs\\plugin.log"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePluginEnv env;
    env.shell_folders[kCsidlCommonAppData] = "C:\\ProgramData";
    c.fault(env);
    SupportLog log(env);
    log.Start("1.2.3");
    for (int i = 0; i < 3; ++i) log.Write("[WireGuardPlugin] line");
    EXPECT_EQ(env.logs, std::vector<std::string>{c.line});
  }
}

// Signals each answer, whatever it is.
class SignallingResult : public flutter::MethodResult {
 public:
  explicit SignallingResult(std::promise<void>& answered) : answered_(answered) {}

 private:
  void OnSuccess(const flutter::EncodableValue*) override { answered_.set_value(); }
  void OnError(const std::string&, const std::string&, const flutter::EncodableValue*) override {
    answered_.set_value();
  }
  void OnNotImplemented() override { answered_.set_value(); }
  std::promise<void>& answered_;
};

// A whole session through the plugin's worker, as registration starts it:
// wireguard.exe echoes the private key it cannot parse, as WireGuard's
// configuration parser does. Neither the debugger output nor the file gets a
// key, and a log that cannot be written does not cost a single answer.
TEST(SupportLog, ASessionLeavesNoKeyInAnyLogAndIsAnsweredWithoutTheFile) {
  const std::string key = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
  const std::string psk = "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=";
  const std::string config = "[Interface]\nPrivateKey = " + key + "\n[Peer]\nPresharedKey=" + psk +
                             "\nEndpoint = 203.0.113.7:51820\n";
  const bool folder_blocked_cases[] = {false, true};
  for (bool folder_blocked : folder_blocked_cases) {
    SCOPED_TRACE(folder_blocked ? "the log folder cannot be made" : "the log is written");
    FakeWireguardMachine machine;
    if (folder_blocked) machine.blocked_folders = {kLogFolder};
    machine.install_run = MakeRun(1, "Key is not the correct length or format: `" + key + "'\r\n");
    machine.install_brings_tunnel_up = false;
    WireguardPlugin plugin(nullptr, machine);
    plugin.StartSupportLog("1.2.3");
    const char* methods[] = {"connect", "getStatus", "recreateTunnel", "getStats", "disconnect"};
    for (const char* method : methods) {
      SCOPED_TRACE(method);
      flutter::ValueMap arguments{{flutter::EncodableValue("config"), config}};
      std::promise<void> answered;
      plugin.EnqueueMethodCall(
          flutter::MethodCall(method, std::make_unique<flutter::EncodableValue>(arguments)),
          std::make_unique<SignallingResult>(answered));
      ASSERT_EQ(answered.get_future().wait_for(std::chrono::seconds(10)),
                std::future_status::ready);
    }
    plugin.Shutdown();

    EXPECT_EQ(machine.files.count(kLogFile), folder_blocked ? 0u : 1u);
    std::vector<std::string> logs = machine.logs;
    logs.push_back(machine.files[kLogFile]);
    for (const std::string& text : logs) {
      EXPECT_EQ(text.find(key), std::string::npos) << text;
      EXPECT_EQ(text.find(psk), std::string::npos) << text;
    }
    EXPECT_TRUE(machine.Logged("Command output: Key is not the correct length or format: "
                               "`(hidden)'\r\n"));
    if (folder_blocked) {
      EXPECT_TRUE(machine.Logged("Log file cannot be written: " + kLogFile));
    } else {
      EXPECT_EQ(machine.files[kLogFile].rfind(kStartLine, 0), 0u);
      EXPECT_NE(machine.files[kLogFile].find(
                    std::string(kStamp) + "[WireGuardPlugin] HandleMethodCall: disconnect\r\n"),
                std::string::npos);
    }
  }
}

}  // namespace
