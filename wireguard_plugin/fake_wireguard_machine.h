// FakeWireguardMachine: a FakePluginEnv dressed as a Windows machine with
// WireGuard for Windows in "C:\Program Files\WireGuard", for the tests of the
// tunnel lifecycle, the installer and the dispatcher.
//
// Its wireguard.exe and wg.exe are scripted: "show" reports the tunnel as up
// or down, the tunnel service commands answer with scripted runs and move the
// tunnel as WireGuard would. Helpers read the plugin's log back without the
// "[WireGuardPlugin] " prefix.
#ifndef ORVA_WIREGUARD_PLUGIN_FAKE_WIREGUARD_MACHINE_H_
#define ORVA_WIREGUARD_PLUGIN_FAKE_WIREGUARD_MACHINE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "codec/method_channel.h"  // WireguardPlugin(nullptr, ...) needs the complete type
#include "wireguard_plugin/fake_plugin_env.h"

inline const std::string kWireguardFolder = "C:\\Program Files\\WireGuard";
inline const std::string kTunnelToolPath = kWireguardFolder + "\\wireguard.exe";
inline const std::string kControlToolPath = kWireguardFolder + "\\wg.exe";
inline const std::string kTunnelToolShortPath = "C:\\PROGRA~1\\WIREGU~1\\WIREGU~1.EXE";
inline const std::string kControlToolShortPath = "C:\\PROGRA~1\\WIREGU~1\\wg.exe";
inline const std::string kProgramData = "C:\\ProgramData";
inline const std::string kConfigPath =
    "C:\\ProgramData\\WireGuard\\Configurations\\orva_divuv.conf";
// The 8.3 form that a tunnel could never be installed from.
inline const std::string kConfigShortPath = "C:\\PROGRA~3\\WIREGU~1\\CONFIG~1\\ORVA_D~1.CON";

inline ProcessRun MakeRun(uint32_t exit_code, std::string output = std::string()) {
  ProcessRun run;
  run.exit_code = exit_code;
  run.output = std::move(output);
  return run;
}

inline ProcessRun FailedStart() {
  ProcessRun run;
  run.status = Status::Failed(Status::Step::kCreateProcess, 2);
  return run;
}

class FakeWireguardMachine : public FakePluginEnv {
 public:
  // --- The tunnel as wg.exe reports it.
  bool tunnel_up = false;
  // When not empty, each "show" answers with the front entry (and drops it)
  // instead of |tunnel_up|.
  std::deque<bool> next_show_up;
  std::string transfer_line;  // e.g. "  transfer: 12 B received, 34 B sent"

  // --- Answers of the tunnel service commands.
  ProcessRun install_run = MakeRun(0);
  bool install_brings_tunnel_up = true;  // when the install run is answered
  ProcessRun uninstall_run = MakeRun(0);
  bool uninstall_takes_tunnel_down = true;
  ProcessRun down_run = MakeRun(0);

  FakeWireguardMachine() {
    paths = {kTunnelToolPath, kControlToolPath};
    shell_folders[kCsidlCommonAppData] = kProgramData;
    short_names[kTunnelToolPath] = kTunnelToolShortPath;
    short_names[kControlToolPath] = kControlToolShortPath;
    short_names[kConfigPath] = kConfigShortPath;
    on_run = [this](const std::string& command_line) { return Answer(command_line); };
  }

  void RemoveWireguard() {
    paths.erase(kTunnelToolPath);
    paths.erase(kControlToolPath);
  }

  // Command lines of the runs whose text contains |part|.
  std::vector<std::string> RunsContaining(const std::string& part) const {
    std::vector<std::string> found;
    for (const std::string& run : runs) {
      if (run.find(part) != std::string::npos) found.push_back(run);
    }
    return found;
  }

  // The plugin's log messages, without the line prefix.
  std::vector<std::string> Messages() const {
    static const std::string kPrefix = "[WireGuardPlugin] ";
    std::vector<std::string> messages;
    for (const std::string& line : logs) {
      messages.push_back(line.rfind(kPrefix, 0) == 0 ? line.substr(kPrefix.size()) : line);
    }
    return messages;
  }

  bool Logged(const std::string& message) const {
    const std::vector<std::string> messages = Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  // Succeeds when |expected| appear in the log in this order (other lines may
  // stand between them).
  testing::AssertionResult LoggedInOrder(const std::vector<std::string>& expected) const {
    const std::vector<std::string> messages = Messages();
    auto at = messages.begin();
    for (const std::string& line : expected) {
      at = std::find(at, messages.end(), line);
      if (at == messages.end()) {
        testing::AssertionResult failure = testing::AssertionFailure();
        failure << "missing, or out of order: \"" << line << "\"\nlog:";
        for (const std::string& message : messages) failure << "\n  " << message;
        return failure;
      }
      ++at;
    }
    return testing::AssertionSuccess();
  }

  // The messages logged after the first occurrence of |line|.
  std::vector<std::string> MessagesAfter(const std::string& line) const {
    const std::vector<std::string> messages = Messages();
    auto at = std::find(messages.begin(), messages.end(), line);
    if (at == messages.end()) return {"<" + line + " not logged>"};
    return std::vector<std::string>(at + 1, messages.end());
  }

 private:
  ProcessRun Answer(const std::string& command_line) {
    auto has = [&](const char* part) { return command_line.find(part) != std::string::npos; };
    if (has("/installtunnelservice")) {
      if (install_brings_tunnel_up) tunnel_up = true;
      return install_run;
    }
    if (has("/uninstalltunnelservice")) {
      if (uninstall_takes_tunnel_down) tunnel_up = false;
      return uninstall_run;
    }
    if (has(" down")) return down_run;
    if (has(" show")) {
      bool up = tunnel_up;
      if (!next_show_up.empty()) {
        up = next_show_up.front();
        next_show_up.pop_front();
      }
      // A tunnel that is down: a failed run without any status marker.
      if (!up) return MakeRun(1);
      std::string output =
          "interface: orva_divuv\r\n  public key: 9bV0oM2nq1cVqX5s0m7hXJm0bd2S5cUYcMhG0WlqS2Y=\r\n";
      if (!transfer_line.empty()) output += transfer_line + "\r\n";
      return MakeRun(0, output);
    }
    return MakeRun(0);
  }
};

#endif  // ORVA_WIREGUARD_PLUGIN_FAKE_WIREGUARD_MACHINE_H_
