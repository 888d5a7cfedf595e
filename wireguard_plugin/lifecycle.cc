// Tunnel lifecycle: bringing the "orva_divuv" tunnel up and down with
// wireguard.exe (the tunnel service) and wg.exe (the control tool).
//
// A tool run counts as accepted on exit code 0, or failing that when its
// output holds one of a few fixed words; the final answer always comes from a
// fresh status query after a fixed wait, because the tunnel service starts
// asynchronously. Every step runs once: there are no retry loops.
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

constexpr uint32_t kWaitAfterInstallMs = 1000;
constexpr uint32_t kWaitAfterUninstallMs = 300;
constexpr uint32_t kWaitAfterDownMs = 300;
constexpr uint32_t kWaitBeforeFinalStatusMs = 300;
constexpr uint32_t kWaitAfterRecreateDisconnectMs = 500;
constexpr uint32_t kWaitAfterRecreateUninstallMs = 300;

// Exit code 0 accepts a run; otherwise the first of |words| found in the
// output (case-sensitive) does.
bool RunAccepted(int result_code, const std::string& output,
                 std::initializer_list<const char*> words) {
  if (result_code == 0) return true;
  for (const char* word : words) {
    if (output.find(word) != std::string::npos) return true;
  }
  return false;
}

bool IsDownStatus(const std::string& status) {
  return status == "disconnected" || status == "not_installed";
}

// SaveConfigToFile, with a file-system error counted as a failed save.
std::string SaveConfig(WireguardPlugin& plugin, const std::string& config) {
  try {
    return plugin.SaveConfigToFile(config);
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace

bool WireguardPlugin::ConnectVPN(const std::string& config) {
  const ConnectOutcome outcome = Connect(config);
  return outcome == ConnectOutcome::kConnected || outcome == ConnectOutcome::kAlreadyConnected;
}

WireguardPlugin::ConnectOutcome WireguardPlugin::Connect(const std::string& config) {
  PluginLog("ConnectVPN called");
  if (!IsWireguardInstalled()) {
    PluginLog("WireGuard not installed");
    return ConnectOutcome::kFailed;
  }
  PluginLog("WireGuard is installed");

  std::string status = GetVPNStatus();
  PluginLog("Current status: " + status);
  if (status == "connected") {
    // The running tunnel is left alone, even when |config| differs from the
    // saved one: reconnecting with a new configuration is RecreateTunnel's job.
    PluginLog("Already connected");
    return ConnectOutcome::kAlreadyConnected;
  }

  const std::string config_path = SaveConfig(*this, config);
  if (config_path.empty()) {
    PluginLog("Failed to save config file");
    return ConnectOutcome::kNotSaved;
  }
  PluginLog("Config saved to: " + config_path);
  if (!env_.Exists(config_path)) {
    PluginLog("Config file does not exist after save");
    return ConnectOutcome::kNotSaved;
  }

  const std::string tool_path = GetWireguardDirectory() + "\\wireguard.exe";
  if (!env_.Exists(tool_path)) {
    PluginLog("wireguard.exe not found at: " + tool_path);
    return ConnectOutcome::kFailed;
  }

  // The configuration path goes on the command line in its long form:
  // wireguard.exe names the tunnel after the file and accepts only paths that
  // end in ".conf", which the 8.3 form of "orva_divuv.conf" does not.
  const std::string command =
      Quoted(GetShortPath(tool_path)) + " /installtunnelservice " + Quoted(config_path);
  PluginLog("Executing installtunnelservice command: " + command);
  std::string output;
  const int result_code = ExecuteCommand(command, output);
  PluginLog("installtunnelservice result code: " + std::to_string(result_code));
  if (!output.empty()) PluginLog("installtunnelservice output: " + output);
  if (!RunAccepted(result_code, output, {"successfully", "already", "installed"})) {
    PluginLog("Failed to install tunnel service");
    return ConnectOutcome::kFailed;
  }

  env_.Sleep(kWaitAfterInstallMs);
  status = GetVPNStatus();
  PluginLog("Current status after installtunnelservice: " + status);
  if (status == "connected") {
    PluginLog("Tunnel is connected!");
    return ConnectOutcome::kConnected;
  }
  // The service stays installed; a later disconnect or recreate removes it.
  PluginLog("Tunnel service installed but status is not connected: " + status);
  return ConnectOutcome::kFailed;
}

bool WireguardPlugin::DisconnectVPN() {
  if (!IsWireguardInstalled()) return false;
  PluginLog("DisconnectVPN called");

  const std::string tool_path = GetWireguardDirectory() + "\\wireguard.exe";
  if (env_.Exists(tool_path)) {
    const std::string command =
        Quoted(GetShortPath(tool_path)) + " /uninstalltunnelservice " + TunnelName();
    PluginLog("Executing uninstalltunnelservice command: " + command);
    std::string output;
    const int result_code = ExecuteCommand(command, output);
    PluginLog("uninstalltunnelservice result code: " + std::to_string(result_code));
    if (!output.empty()) PluginLog("uninstalltunnelservice output: " + output);
    if (RunAccepted(result_code, output, {"successfully", "removed", "uninstalled"})) {
      PluginLog("Tunnel service uninstalled successfully");
      env_.Sleep(kWaitAfterUninstallMs);
      const std::string status = GetVPNStatus();
      PluginLog("Status after uninstall: " + status);
      return IsDownStatus(status);
    }
  }

  // Fallback: ask the control tool to take the interface down.
  const std::string control_path = GetWireguardDirectory() + "\\wg.exe";
  if (env_.Exists(control_path)) {
    const std::string command =
        Quoted(GetShortPath(control_path)) + " set " + TunnelName() + " down 2>&1";
    std::string output;
    if (ExecuteCommand(command, output) >= 0) {
      PluginLog("wg set down command executed");
      env_.Sleep(kWaitAfterDownMs);
    }
  }
  env_.Sleep(kWaitBeforeFinalStatusMs);
  return IsDownStatus(GetVPNStatus());
}

bool WireguardPlugin::RecreateTunnel(const std::string& config) {
  PluginLog("RecreateTunnel called");
  if (!IsWireguardInstalled()) {
    PluginLog("WireGuard not installed, cannot recreate tunnel");
    return false;
  }

  PluginLog("Step 1: Disconnecting VPN...");
  DisconnectVPN();  // a failed disconnect does not stop the rebuild
  env_.Sleep(kWaitAfterRecreateDisconnectMs);

  // The old file stays until the new one replaces it in one step: a save
  // that fails leaves the service a configuration to read at its next start.
  PluginLog("Step 2: Keeping old config file until the new one replaces it...");

  PluginLog("Step 3: Uninstalling tunnel service...");
  const std::string tool_path = GetWireguardDirectory() + "\\wireguard.exe";
  if (env_.Exists(tool_path)) {
    const std::string command =
        Quoted(GetShortPath(tool_path)) + " /uninstalltunnelservice " + TunnelName();
    std::string output;
    ExecuteCommand(command, output);  // judged by the connect that follows
    env_.Sleep(kWaitAfterRecreateUninstallMs);
  }

  PluginLog("Step 4: Saving new config and connecting...");
  const ConnectOutcome outcome = Connect(config);
  if (outcome != ConnectOutcome::kAlreadyConnected) return outcome == ConnectOutcome::kConnected;
  // The old tunnel survived the teardown (its service could not be removed,
  // say), so the new configuration is not in force. It is still saved, so
  // that the file the service reads at its next start is the one the UI
  // sent.
  PluginLog("Old tunnel still connected, new config not applied");
  if (SaveConfig(*this, config).empty()) PluginLog("Failed to save config file");
  return false;
}
