// The tunnel records and running copies in the stand-in's state folder.
#include "standins/wireguard/tunnel_store.h"

#include "standins/wireguard/standin_platform.h"

namespace wg_standin {
namespace {

std::wstring StateFile() { return StateFolder() + L"\\tunnels.txt"; }

std::wstring RunningCopyPath(const std::string& name) {
  return StateFolder() + L"\\" + Widen(name) + L".running.conf";
}

}  // namespace

std::vector<TunnelRecord> LoadTunnels() {
  const auto text = ReadWholeFile(StateFile());
  return text ? ParseTunnels(*text) : std::vector<TunnelRecord>{};
}

bool SaveTunnels(const std::vector<TunnelRecord>& tunnels) {
  return ReplaceFile(StateFile(), SerializeTunnels(tunnels));
}

bool AdvanceTunnels(std::vector<TunnelRecord>* tunnels, int64_t now_ms) {
  bool changed = false;
  for (TunnelRecord& tunnel : *tunnels) {
    if (tunnel.phase != TunnelPhase::kStarting || now_ms < tunnel.UpAtMs()) continue;
    const auto text = ReadWholeFile(Widen(tunnel.config_path));
    const bool usable =
        text && ParseTunnelConfig(*text) && ReplaceFile(RunningCopyPath(tunnel.name), *text);
    tunnel.phase = usable ? TunnelPhase::kRunning : TunnelPhase::kFailed;
    changed = true;
  }
  return changed;
}

std::optional<TunnelConfig> RunningConfig(const std::string& name) {
  const auto text = ReadWholeFile(RunningCopyPath(name));
  if (!text) return std::nullopt;
  return ParseTunnelConfig(*text);
}

void DeleteRunningCopy(const std::string& name) { DeleteFileW(RunningCopyPath(name).c_str()); }

}  // namespace wg_standin
