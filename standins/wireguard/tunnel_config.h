// Reads a WireGuard tunnel configuration (the INI-like .conf text) into what
// the stand-in tunnel service needs to describe the running tunnel:
//
//   [Interface]              keys are case-insensitive; "#" starts a comment
//   PrivateKey = <base64>    required: without it the tunnel cannot start
//   ListenPort = 51820       optional, 1..65535; default kDefaultListenPort
//   [Peer]                   any number of peers
//   PublicKey = <base64>     required for each peer
//   PresharedKey, Endpoint, AllowedIPs (comma list), PersistentKeepalive
//                            (seconds, 0..65535, or "off")
//
// Other keys (Address, DNS, MTU, ...) are accepted and ignored. Portable and
// header-only so that its tests also run outside Windows.
#ifndef ORVA_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_
#define ORVA_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wg_standin {

constexpr uint16_t kDefaultListenPort = 51820;

struct PeerConfig {
  std::string public_key;
  std::string preshared_key;
  std::string endpoint;
  std::vector<std::string> allowed_ips;
  uint32_t persistent_keepalive = 0;
};

struct TunnelConfig {
  std::string private_key;
  uint16_t listen_port = kDefaultListenPort;
  std::vector<PeerConfig> peers;
};

namespace config_detail {

inline std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A decimal number from 0 to |max|, or no value.
inline std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > max) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace config_detail

// The configuration in |text|, or no value when the tunnel could not start
// from it; |error| then says why (for the stand-in's own diagnostics).
inline std::optional<TunnelConfig> ParseTunnelConfig(const std::string& text,
                                                     std::string* error = nullptr) {
  using namespace config_detail;
  auto fail = [error](const std::string& why) -> std::optional<TunnelConfig> {
    if (error) *error = why;
    return std::nullopt;
  };
  enum class Section { kNone, kInterface, kPeer } section = Section::kNone;
  TunnelConfig config;
  size_t start = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;  // UTF-8 byte order mark
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t comment = line.find('#');
    if (comment != std::string::npos) line.erase(comment);
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      const std::string name = Lower(line);
      if (name == "[interface]") {
        section = Section::kInterface;
      } else if (name == "[peer]") {
        section = Section::kPeer;
        config.peers.emplace_back();
      } else {
        return fail("unknown section " + line);
      }
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return fail("line without '=': " + line);
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string value = Trim(line.substr(equals + 1));
    if (section == Section::kInterface) {
      if (key == "privatekey") {
        config.private_key = value;
      } else if (key == "listenport") {
        const auto port = ParseNumber(value, 65535);
        if (!port || *port == 0) return fail("invalid ListenPort " + value);
        config.listen_port = static_cast<uint16_t>(*port);
      }
    } else if (section == Section::kPeer) {
      PeerConfig& peer = config.peers.back();
      if (key == "publickey") {
        peer.public_key = value;
      } else if (key == "presharedkey") {
        peer.preshared_key = value;
      } else if (key == "endpoint") {
        peer.endpoint = value;
      } else if (key == "allowedips") {
        size_t from = 0;
        while (from <= value.size()) {
          size_t comma = value.find(',', from);
          if (comma == std::string::npos) comma = value.size();
          const std::string ip = Trim(value.substr(from, comma - from));
          if (!ip.empty()) peer.allowed_ips.push_back(ip);
          from = comma + 1;
        }
      } else if (key == "persistentkeepalive") {
        const auto seconds =
            Lower(value) == "off" ? std::optional<uint32_t>(0) : ParseNumber(value, 65535);
        if (!seconds) return fail("invalid PersistentKeepalive " + value);
        peer.persistent_keepalive = *seconds;
      }
    } else {
      return fail("key outside a section: " + line);
    }
  }
  if (config.private_key.empty()) return fail("no PrivateKey in [Interface]");
  for (const PeerConfig& peer : config.peers) {
    if (peer.public_key.empty()) return fail("a [Peer] without PublicKey");
  }
  return config;
}

// What WireGuard's own parser (`wg setconf`, as `wg-quick up` runs it) says
// about |text| on standard error, or nothing when it takes the text. Lines
// end at LF; '#' starts a comment; every blank is dropped; names compare
// without regard to case; the first line it cannot use ends the parse:
//   Line unrecognized: `LINE'                    (a name out of its section)
//   Key is not the correct length or format: `VALUE'
// followed by "Configuration parsing error". The [Interface] names that
// wg-quick handles itself (Address, DNS, MTU, ...) never reach the parser.
inline std::string WgParserComplaint(const std::string& text) {
  using config_detail::Lower;
  static const std::vector<std::string> kNames[] = {
      {"address", "dns", "mtu", "table", "preup", "postup", "predown", "postdown", "saveconfig"},
      {"privatekey", "listenport", "fwmark"},
      {"publickey", "presharedkey", "allowedips", "endpoint", "persistentkeepalive"}};
  size_t section = 3;  // none yet; 1 [Interface], 2 [Peer]
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line;
    for (size_t i = start; i < end && text[i] != '#'; ++i) {
      if (!std::isspace(static_cast<unsigned char>(text[i]))) line += text[i];
    }
    start = end + 1;
    const std::string lower = Lower(line);
    const std::string name = lower.substr(0, lower.find('='));
    const std::string value = line.substr(std::min(line.size(), name.size() + 1));
    if (line.empty() || (section == 1 && std::count(kNames[0].begin(), kNames[0].end(), name))) {
      continue;
    }
    if (lower == "[interface]" || lower == "[peer]") {
      section = lower == "[peer]" ? 2 : 1;
    } else if (section > 2 || name == lower ||
               !std::count(kNames[section].begin(), kNames[section].end(), name)) {
      return "Line unrecognized: `" + line + "'\nConfiguration parsing error\n";
    } else if (name.find("key") != std::string::npos &&
               (value.size() != 44 || value.back() != '=' ||
                value.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                        "0123456789+/") != 43)) {
      return "Key is not the correct length or format: `" + value +
             "'\nConfiguration parsing error\n";
    }
  }
  return std::string();
}

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_
