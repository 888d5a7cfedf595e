// Tunnel lifecycle: bringing the "orva_divuv" tunnel up and down with
// wireguard.exe (the tunnel service) and wg.exe (the control tool).
//
// A tool run counts as accepted on exit code 0, or failing that when its
// output holds one of a few fixed words; the final answer always comes from a
// fresh status query after a fixed wait, because the tunnel service starts
// asynchronously. Every step runs once: there are no retry loops.
#include <cstdint>
#include <initializer_list>
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

bool IsDownStatus(TunnelStatus status) {
  return status == TunnelStatus::kDisconnected || status == TunnelStatus::kNotInstalled;
}

std::string UninstallCommand(const WireguardTool& wireguard) {
  return wireguard.Quoted() + " /uninstalltunnelservice " + TunnelName();
}

// Runs a tunnel service command of wireguard.exe (|action|: its switch
// without the slash) with its log lines, and returns its result code.
int RunServiceCommand(WireguardPlugin& plugin, const std::string& action,
                      const std::string& command, std::string& output) {
  plugin.PluginLog("Executing " + action + " command: " + command);
  const int result_code = plugin.ExecuteCommand(command, output);
  plugin.PluginLog(action + " result code: " + std::to_string(result_code));
  if (!output.empty()) plugin.PluginLog(action + " output: " + output);
  return result_code;
}

}  // namespace

WireguardPlugin::ConnectOutcome WireguardPlugin::Connect(const std::string& config) {
  PluginLog("ConnectVPN called");
  if (!IsWireguardInstalled()) {
    PluginLog("WireGuard not installed");
    return ConnectOutcome::kFailed;
  }
  PluginLog("WireGuard is installed");

  TunnelStatus status = GetVPNStatus();
  PluginLog(std::string("Current status: ") + StatusWord(status));
  if (status == TunnelStatus::kConnected) {
    // The running tunnel is left alone, even when |config| differs from the
    // saved one: reconnecting with a new configuration is RecreateTunnel's job.
    PluginLog("Already connected");
    return ConnectOutcome::kAlreadyConnected;
  }

  const std::string config_path = SaveConfigToFile(config);
  if (config_path.empty()) {
    PluginLog("Failed to save config file");
    return ConnectOutcome::kNotSaved;
  }
  PluginLog("Config saved to: " + config_path);
  if (!env_.Exists(config_path)) {
    PluginLog("Config file does not exist after save");
    return ConnectOutcome::kNotSaved;
  }

  const WireguardTool wireguard = FindTool(kWireguardTool);
  if (!wireguard.found) {
    PluginLog("wireguard.exe not found at: " + wireguard.path);
    return ConnectOutcome::kFailed;
  }

  // The configuration path goes on the command line in its long form:
  // wireguard.exe names the tunnel after the file and accepts only paths that
  // end in ".conf", which the 8.3 form of "orva_divuv.conf" does not.
  std::string output;
  const int result_code = RunServiceCommand(
      *this, "installtunnelservice",
      wireguard.Quoted() + " /installtunnelservice " + Quoted(config_path), output);
  if (!RunAccepted(result_code, output, {"successfully", "already", "installed"})) {
    PluginLog("Failed to install tunnel service");
    return ConnectOutcome::kFailed;
  }

  env_.Sleep(kWaitAfterInstallMs);
  status = GetVPNStatus();
  PluginLog(std::string("Current status after installtunnelservice: ") + StatusWord(status));
  if (status == TunnelStatus::kConnected) {
    PluginLog("Tunnel is connected!");
    return ConnectOutcome::kConnected;
  }
  // The service stays installed; a later disconnect or recreate removes it.
  PluginLog(std::string("Tunnel service installed but status is not connected: ") +
            StatusWord(status));
  return ConnectOutcome::kFailed;
}

bool WireguardPlugin::DisconnectVPN() {
  if (!IsWireguardInstalled()) return false;
  PluginLog("DisconnectVPN called");

  const WireguardTools tools = FindTools();
  if (tools.wireguard.found) {
    std::string output;
    const int result_code = RunServiceCommand(*this, "uninstalltunnelservice",
                                              UninstallCommand(tools.wireguard), output);
    if (RunAccepted(result_code, output, {"successfully", "removed", "uninstalled"})) {
      PluginLog("Tunnel service uninstalled successfully");
      env_.Sleep(kWaitAfterUninstallMs);
      const TunnelStatus status = GetVPNStatus();
      PluginLog(std::string("Status after uninstall: ") + StatusWord(status));
      return IsDownStatus(status);
    }
  }

  // Fallback: ask the control tool to take the interface down.
  if (tools.wg.found) {
    std::string output;
    if (ExecuteCommand(tools.wg.Quoted() + " set " + TunnelName() + " down 2>&1", output) >= 0) {
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
  const WireguardTool wireguard = FindTool(kWireguardTool);
  if (wireguard.found) {
    std::string output;
    ExecuteCommand(UninstallCommand(wireguard), output);  // judged by the connect that follows
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
  if (SaveConfigToFile(config).empty()) PluginLog("Failed to save config file");
  return false;
}
