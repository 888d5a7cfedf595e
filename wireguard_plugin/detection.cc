// Where WireGuard for Windows is: whether it is installed at all, the folder
// its tools are taken from, and the short (8.3) form of a path for command
// lines. Nothing is cached: every call probes the machine afresh.
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
  for (const char* path : kProbePaths) {
    if (env_.Exists(path)) {
      PluginLog(std::string("WireGuard found at: ") + path);
      return true;
    }
  }

  if (std::optional<std::string> program_files = env_.ShellFolder(kCsidlProgramFiles)) {
    std::string path = *program_files + "\\WireGuard\\wireguard.exe";
    if (env_.Exists(path)) {
      PluginLog("WireGuard found at: " + path);
      return true;
    }
  }

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

std::string WireguardPlugin::GetShortPath(const std::string& path) {
  return env_.ShortPathName(path).value_or(path);
}
