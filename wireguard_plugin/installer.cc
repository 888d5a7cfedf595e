// WireGuard installer: finding the installer shipped beside the executable and
// running it silently.
//
// The installer is either a Windows Installer package (run through msiexec)
// or a setup program (run with silent switches). Its exit code is not read:
// whether WireGuard ended up installed is decided by polling the detection
// afterwards.
#include <cstdint>
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// Tried in this order, first in the "wireguard" sub-folder, then in the
// application folder itself.
constexpr const char* kInstallerNames[] = {
    "wireguard-installer.msi", "wireguard_installer.msi", "WireGuard-installer.msi",
    "wireguard_installer.exe", "wireguard-installer.exe", "WireGuard-installer.exe",
    "wireguard.exe",
};

constexpr uint32_t kInstallerTimeoutMs = 300000;
constexpr int kVerificationAttempts = 20;
constexpr uint32_t kVerificationWaitMs = 500;
constexpr uint32_t kWaitAfterConfirmedMs = 1000;
constexpr char kStartFailed[] = "Failed to start installer process";

// Lower-cases ASCII letters only, byte by byte, leaving code-page bytes alone.
std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsPackage(const std::string& installer_path) {
  return AsciiLower(installer_path).find(".msi") != std::string::npos;
}

// msiexec.exe is named by its full path in the system folder, so that no
// msiexec.exe beside our executable or in the working folder runs instead.
// DO_NOT_LAUNCH=1 keeps WireGuard's package from opening WireGuard's own
// manager window when it finishes: the installation stays silent, and no
// second program starts managing tunnels beside ours. The setup program's
// switches stay as they are.
std::string InstallerCommandLine(const std::string& installer_path,
                                 const std::string& system_folder) {
  if (IsPackage(installer_path)) {
    return Quoted(system_folder + "\\msiexec.exe") + " /i " + Quoted(installer_path) +
           " /quiet /norestart DO_NOT_LAUNCH=1";
  }
  return Quoted(installer_path) + " /S /SILENT /VERYSILENT";
}

}  // namespace

std::string WireguardPlugin::FindWireguardInstaller() {
  const std::string executable = env_.ModuleFileName();
  const size_t separator = executable.find_last_of("\\/");
  if (!executable.empty() && separator != std::string::npos) {
    const std::string app_folder = executable.substr(0, separator);
    for (const std::string& folder : {app_folder + "\\wireguard", app_folder}) {
      for (const char* name : kInstallerNames) {
        std::string candidate = folder + "\\" + name;
        if (env_.Exists(candidate)) {
          PluginLog("Found installer at: " + candidate);
          return candidate;
        }
      }
    }
  }
  PluginLog("WireGuard installer not found in application directory");
  return std::string();
}

bool WireguardPlugin::InstallWireguard() {
  PluginLog("InstallWireguard called");
  const std::string installer = FindWireguardInstaller();
  if (installer.empty() || !env_.Exists(installer)) {
    PluginLog("WireGuard installer not found");
    return false;
  }
  PluginLog("Found installer at: " + installer);

  const std::string system_folder = env_.SystemFolder();
  if (IsPackage(installer) && system_folder.empty()) {
    PluginLog(kStartFailed);
    return false;
  }
  // The "started" line is written as soon as the installer runs, not when
  // the wait for it (up to five minutes) is over.
  const std::string command_line = InstallerCommandLine(installer, system_folder);
  const auto started = [this] {
    PluginLog("Installer process started, waiting for completion...");
  };
  const Status run = StartWithOneRetry(
      [&] { return env_.RunInstaller(command_line, kInstallerTimeoutMs, started); }, kStartFailed,
      "installer start");
  if (run.step() == Status::Step::kTimedOut) {
    // The installer keeps running on its own; nothing is verified.
    PluginLog("Installer timeout");
    return false;
  }
  if (!run.ok()) {
    LogFailure(kStartFailed, run);
    return false;
  }
  PluginLog("Installer completed");

  // Running programs (and the detection's environment lookups) learn about
  // the new program folder through the broadcast; it is repeated while the
  // installation settles.
  env_.BroadcastEnvironmentChange();
  for (int attempt = 0; attempt < kVerificationAttempts; ++attempt) {
    env_.Sleep(kVerificationWaitMs);
    if (attempt == 5 || attempt == 10) env_.BroadcastEnvironmentChange();
    if (IsWireguardInstalled()) {
      PluginLog("WireGuard installed successfully");
      env_.Sleep(kWaitAfterConfirmedMs);
      return true;
    }
  }
  PluginLog("WireGuard installation verification failed");
  return false;
}
