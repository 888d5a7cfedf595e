// Real mode of the stand-in tools. A Windows program under Wine can start a
// Linux program but gets back neither its output nor its exit code, so when
// a run has set up a real tunnel it leaves <state>\relay.txt ("PORT TOKEN")
// and a relay on 127.0.0.1:PORT runs WireGuard's own tools for us in the
// run's client network namespace (README.md, "Real mode"). Without that file the
// tools stay simulated.
#ifndef ORVA_STANDINS_WIREGUARD_RELAY_CLIENT_H_
#define ORVA_STANDINS_WIREGUARD_RELAY_CLIENT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wg_standin {

struct RelayAddress {
  uint16_t port = 0;
  std::string token;
};

// The relay this run configured, or no value (simulated mode).
std::optional<RelayAddress> ConfiguredRelay();

struct RelayReply {
  int exit_code = 1;
  std::string out;
  std::string err;
};

// Sends |verb| and |args| to the relay and waits for the tool's answer; on a
// relay that cannot be reached or answers garbage, exit code 1 and a line on
// standard error saying so.
RelayReply RunThroughRelay(const RelayAddress& relay, const std::string& verb,
                           const std::vector<std::string>& args);

// Writes the reply's output and error unchanged and returns its exit code.
int ForwardReply(const RelayReply& reply);

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_RELAY_CLIENT_H_
