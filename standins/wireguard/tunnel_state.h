// The stand-in's record of installed tunnel services, shared by wireguard.exe
// (which installs and removes them) and wg.exe (which plays the tunnel
// service and reports the tunnels), and how a running tunnel looks at a
// given moment. Portable and header-only.
//
// State file format (UTF-8 text, "\n" line ends): a first line
// "# orva stand-in tunnels v1", then one line per tunnel with five fields
// separated by a tab:
//
//   NAME  PHASE  INSTALLED_MS  UP_DELAY_MS  CONFIG_PATH
//
// PHASE is "starting" (service installed, adapter not up yet), "running" or
// "failed" (the service could not read or use its configuration and
// stopped); INSTALLED_MS is milliseconds since 1970-01-01 UTC; the adapter
// comes up UP_DELAY_MS later. Lines that do not fit are skipped.
#ifndef ORVA_STANDINS_WIREGUARD_TUNNEL_STATE_H_
#define ORVA_STANDINS_WIREGUARD_TUNNEL_STATE_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standins/wireguard/tunnel_config.h"
#include "standins/wireguard/wg_text.h"

namespace wg_standin {

enum class TunnelPhase { kStarting, kRunning, kFailed };

struct TunnelRecord {
  std::string name;
  TunnelPhase phase = TunnelPhase::kStarting;
  int64_t installed_ms = 0;
  int64_t up_delay_ms = 0;
  std::string config_path;

  int64_t UpAtMs() const { return installed_ms + up_delay_ms; }
};

constexpr char kStateHeader[] = "# orva stand-in tunnels v1";

namespace state_detail {

inline const char* PhaseName(TunnelPhase phase) {
  switch (phase) {
    case TunnelPhase::kStarting:
      return "starting";
    case TunnelPhase::kRunning:
      return "running";
    case TunnelPhase::kFailed:
      return "failed";
  }
  return "failed";
}

inline std::optional<int64_t> ParseMs(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace state_detail

inline std::string SerializeTunnels(const std::vector<TunnelRecord>& tunnels) {
  std::string text = std::string(kStateHeader) + "\n";
  for (const TunnelRecord& t : tunnels) {
    text += t.name + "\t" + state_detail::PhaseName(t.phase) + "\t" +
            std::to_string(t.installed_ms) + "\t" + std::to_string(t.up_delay_ms) + "\t" +
            t.config_path + "\n";
  }
  return text;
}

inline std::vector<TunnelRecord> ParseTunnels(const std::string& text) {
  std::vector<TunnelRecord> tunnels;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    size_t from = 0;
    while (fields.size() < 4) {
      const size_t tab = line.find('\t', from);
      if (tab == std::string::npos) break;
      fields.push_back(line.substr(from, tab - from));
      from = tab + 1;
    }
    if (fields.size() != 4) continue;
    fields.push_back(line.substr(from));
    TunnelRecord record;
    record.name = fields[0];
    if (fields[1] == "starting") {
      record.phase = TunnelPhase::kStarting;
    } else if (fields[1] == "running") {
      record.phase = TunnelPhase::kRunning;
    } else if (fields[1] == "failed") {
      record.phase = TunnelPhase::kFailed;
    } else {
      continue;
    }
    const auto installed = state_detail::ParseMs(fields[2]);
    const auto delay = state_detail::ParseMs(fields[3]);
    if (!installed || !delay || record.name.empty() || fields[4].empty()) continue;
    record.installed_ms = *installed;
    record.up_delay_ms = *delay;
    record.config_path = fields[4];
    tunnels.push_back(record);
  }
  return tunnels;
}

// Peers re-key every two minutes, so the latest handshake is never older.
constexpr uint64_t kRekeySeconds = 120;

// What `wg show` reports for the tunnel |name| running |config|, |up_for_ms|
// after its adapter came up. Peers with an endpoint shake hands at once and
// carry traffic; peers without one (waiting to be contacted) show neither.
inline InterfaceView DescribeTunnel(const std::string& name, const TunnelConfig& config,
                                    uint64_t up_for_ms) {
  InterfaceView view;
  view.name = name;
  view.public_key = DerivePublicKey(config.private_key);
  view.listen_port = config.listen_port;
  uint64_t talking = 0;
  for (const PeerConfig& peer : config.peers) {
    if (!peer.endpoint.empty()) ++talking;
  }
  for (const PeerConfig& peer : config.peers) {
    PeerView shown;
    shown.public_key = peer.public_key;
    shown.has_preshared_key = !peer.preshared_key.empty();
    shown.endpoint = peer.endpoint;
    shown.allowed_ips = peer.allowed_ips;
    shown.persistent_keepalive = peer.persistent_keepalive;
    if (!peer.endpoint.empty()) {
      shown.has_handshake = true;
      shown.handshake_age_seconds = (up_for_ms / 1000) % kRekeySeconds;
      shown.transfer = TransferAfter(up_for_ms, talking);
    }
    view.peers.push_back(shown);
  }
  return view;
}

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_TUNNEL_STATE_H_
