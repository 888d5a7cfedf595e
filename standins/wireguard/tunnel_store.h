// The installed tunnel services as kept in the state folder: the state file
// (format in tunnel_state.h) and, for each running tunnel, the copy of the
// configuration its service read when it started (NAME.running.conf).
// Callers hold a StateLock around a load, change and save.
#ifndef ORVA_STANDINS_WIREGUARD_TUNNEL_STORE_H_
#define ORVA_STANDINS_WIREGUARD_TUNNEL_STORE_H_

#include <optional>
#include <string>
#include <vector>

#include "standins/wireguard/tunnel_config.h"
#include "standins/wireguard/tunnel_state.h"

namespace wg_standin {

std::vector<TunnelRecord> LoadTunnels();
bool SaveTunnels(const std::vector<TunnelRecord>& tunnels);

// Plays the tunnel services: every tunnel still starting whose adapter delay
// has passed by |now_ms| reads its configuration file now; a readable, usable
// file makes it running (its text kept as the running copy), anything else
// makes it failed for good. Returns true when a record changed.
bool AdvanceTunnels(std::vector<TunnelRecord>* tunnels, int64_t now_ms);

// The configuration a running tunnel started with, or no value.
std::optional<TunnelConfig> RunningConfig(const std::string& name);

// Forgets the running copy of |name| (the service was removed).
void DeleteRunningCopy(const std::string& name);

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_TUNNEL_STORE_H_
