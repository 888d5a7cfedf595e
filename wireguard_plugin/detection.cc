// Where WireGuard for Windows is: whether it is installed at all, the folder
// its tools are taken from, and the tools there with the short (8.3) form of
// their paths for command lines. Nothing is cached: every call probes the
// machine afresh.
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// Probed in this order; the first one present wins.
constexpr const char* kProbePaths[] = {
    "C:\\Program Files\\WireGuard\\wireguard.exe",
    "C:\\Program Files (x86)\\WireGuard\\wireguard.exe",
    "C:\\Program Files\\WireGuard\\wg.exe",
    "C:\\Program Files (x86)\\WireGuard\\wg.exe",
};

constexpr char kRegistryKey[] = "SOFTWARE\\WireGuard";
constexpr char kDefaultDirectory[] = "C:\\Program Files\\WireGuard";

}  // namespace

bool WireguardPlugin::IsWireguardInstalled() {
  const auto found = [this](const std::string& path) {
    if (!env_.Exists(path)) return false;
    PluginLog("WireGuard found at: " + path);
    return true;
  };
  for (const char* path : kProbePaths) {
    if (found(path)) return true;
  }
  const std::optional<std::string> program_files = env_.ShellFolder(kCsidlProgramFiles);
  if (program_files && found(*program_files + "\\WireGuard\\wireguard.exe")) return true;

  if (env_.MachineKeyExists(kRegistryKey)) {
    PluginLog("WireGuard found in registry");
    return true;
  }

  PluginLog("WireGuard not found");
  return false;
}

std::string WireguardPlugin::GetWireguardDirectory() {
  if (std::optional<std::string> program_files = env_.EnvironmentVariable("PROGRAMFILES")) {
    std::string folder = *program_files + "\\WireGuard";
    if (env_.Exists(folder)) return folder;
  }
  return kDefaultDirectory;
}

WireguardTool WireguardPlugin::FindTool(const std::string& folder, const char* name) {
  WireguardTool tool;
  tool.path = folder + "\\" + name;
  tool.found = env_.Exists(tool.path);
  tool.short_path = tool.found ? env_.ShortPathName(tool.path).value_or(tool.path) : tool.path;
  return tool;
}

WireguardTool WireguardPlugin::FindTool(const char* name) {
  return FindTool(GetWireguardDirectory(), name);
}

WireguardTools WireguardPlugin::FindTools() {
  const std::string folder = GetWireguardDirectory();
  return {FindTool(folder, kWgTool), FindTool(folder, kWireguardTool)};
}
