// Stand-in for WireGuard's wireguard.exe, limited to its two tunnel-service
// commands:
//
//   wireguard /installtunnelservice PATH    PATH ends in .conf or .conf.dpapi;
//                                           the tunnel is named after the file
//   wireguard /uninstalltunnelservice NAME
//   wireguard                               the manager window (recorded only)
//
// Installing records the tunnel in the shared state and returns at once,
// without reading the file; the tunnel's service (played by wg.exe) reads it
// when the adapter comes up, 300 ms later by default. Success prints nothing
// and exits 0; errors go to standard error as "YYYY/MM/DD HH:MM:SS Error:
// MESSAGE" (local time) with exit code 1.
//
// In real mode (relay_client.h) the same checks come first; then installing
// brings the tunnel up with the real `wg-quick up` in the run's client
// namespace and uninstalling takes it down with `wg-quick down`, their output
// and exit code given back unchanged.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "standins/wireguard/relay_client.h"
#include "standins/wireguard/standin_platform.h"
#include "standins/wireguard/tunnel_config.h"
#include "standins/wireguard/tunnel_name.h"
#include "standins/wireguard/tunnel_store.h"

using namespace wg_standin;

namespace {

constexpr uint64_t kDefaultUpDelayMs = 300;

int Fail(const std::string& message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u/%02u/%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  WriteRaw(STD_ERROR_HANDLE, std::string(stamp) + "Error: " + message + "\n");
  return 1;
}

// Service names, and so tunnel names, are compared without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string FullPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  wchar_t full[4096];
  const DWORD length = GetFullPathNameW(wide.c_str(), 4096, full, nullptr);
  return length > 0 && length < 4096 ? Narrow(full) : path;
}

int InstallTunnel(const std::string& path, const FaultSwitches& faults,
                  const std::optional<RelayAddress>& relay) {
  if (faults.Has("wireguard", "deny-install")) return Fail("Access is denied.");
  const TunnelNameResult name = TunnelNameFromPath(path);
  if (!name.error.empty()) return Fail(name.error);
  // As in real mode, where wg-quick brings the tunnel up at once: WireGuard's
  // parser echoes what it cannot use, and nothing is installed.
  if (faults.Has("wireguard", "parse-check")) {
    const std::string complaint =
        WgParserComplaint(ReadWholeFile(Widen(path)).value_or(std::string()));
    if (!complaint.empty()) {
      WriteRaw(STD_ERROR_HANDLE, complaint);
      return 1;
    }
  }

  StateLock lock;
  std::vector<TunnelRecord> tunnels = LoadTunnels();
  const int64_t now = NowMs();
  if (AdvanceTunnels(&tunnels, now)) SaveTunnels(tunnels);
  auto existing = std::find_if(tunnels.begin(), tunnels.end(),
                               [&](const TunnelRecord& t) { return SameName(t.name, name.name); });
  if (existing != tunnels.end()) {
    // A service still starting was just started by someone else: that is
    // taken as success. A stopped (failed) one is replaced.
    if (existing->phase == TunnelPhase::kStarting) return 0;
    if (existing->phase == TunnelPhase::kRunning) {
      return Fail("Tunnel already installed and running");
    }
    DeleteRunningCopy(existing->name);
    tunnels.erase(existing);
  }
  TunnelRecord record;
  record.name = name.name;
  record.phase = TunnelPhase::kStarting;
  record.installed_ms = now;
  record.up_delay_ms =
      static_cast<int64_t>(faults.NumberOr("wireguard", "slow-start", kDefaultUpDelayMs));
  record.config_path = FullPath(path);
  int exit_code = 0;
  if (relay) {
    // The real service reads the file as it starts; one it cannot read makes
    // a service that stopped at once, as in simulated mode.
    record.up_delay_ms = 0;
    record.phase = TunnelPhase::kFailed;
    if (const auto text = ReadWholeFile(Widen(record.config_path))) {
      exit_code = ForwardReply(RunThroughRelay(*relay, "up", {record.name, *text}));
      // wg-quick takes down whatever it set up when a step fails: no service.
      if (exit_code != 0) return exit_code;
      record.phase = TunnelPhase::kRunning;
    }
  }
  tunnels.push_back(record);
  if (!SaveTunnels(tunnels)) return Fail("Access is denied.");
  return exit_code;
}

int UninstallTunnel(const std::string& name, const FaultSwitches& faults,
                    const std::optional<RelayAddress>& relay) {
  if (faults.Has("wireguard", "deny-uninstall")) return Fail("Access is denied.");
  StateLock lock;
  std::vector<TunnelRecord> tunnels = LoadTunnels();
  auto existing = std::find_if(tunnels.begin(), tunnels.end(),
                               [&](const TunnelRecord& t) { return SameName(t.name, name); });
  if (existing == tunnels.end()) {
    return Fail("The specified service does not exist as an installed service.");
  }
  // The service goes whatever the real tool says, as a deleted service does.
  const int exit_code = relay && existing->phase == TunnelPhase::kRunning
                            ? ForwardReply(RunThroughRelay(*relay, "down", {existing->name}))
                            : 0;
  DeleteRunningCopy(existing->name);
  tunnels.erase(existing);
  if (!SaveTunnels(tunnels)) return Fail("Access is denied.");
  return exit_code;
}

// Without arguments the real wireguard.exe opens WireGuard's manager window,
// which WireGuard's package also launches when it finishes unless told
// DO_NOT_LAUNCH=1. The stand-in shows nothing: it appends a line to
// <state>\manager-launches.txt, so that a test can tell whether it was
// launched, and exits 0.
int RecordManagerLaunch() {
  StateLock lock;
  const std::wstring record = StateFolder() + L"\\manager-launches.txt";
  const std::string before = ReadWholeFile(record).value_or(std::string());
  return ReplaceFile(record, before + "manager window launched\n") ? 0 : 1;
}

}  // namespace

int main() {
  const std::vector<std::string> args = CommandLineArguments();
  if (args.size() == 1) return RecordManagerLaunch();
  const FaultSwitches faults = LoadFaults();
  const std::optional<RelayAddress> relay = ConfiguredRelay();
  if (args.size() == 3 && args[1] == "/installtunnelservice") {
    return InstallTunnel(args[2], faults, relay);
  }
  if (args.size() == 3 && args[1] == "/uninstalltunnelservice") {
    return UninstallTunnel(args[2], faults, relay);
  }
  WriteRaw(STD_ERROR_HANDLE,
           "Usage: wireguard.exe /installtunnelservice CONFIG_PATH\n"
           "       wireguard.exe /uninstalltunnelservice TUNNEL_NAME\n"
           "(test stand-in: no other command is available)\n");
  return 1;
}
