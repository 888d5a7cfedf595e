// Text that the stand-in wg.exe prints, in the layout of WireGuard's own
// `wg show`: byte counts (B below 1024, else two decimals in base 1024 with
// KiB/MiB/GiB/TiB), durations ("1 minute, 5 seconds"), handshake ages
// ("Now", "... ago") and the interface/peer block with its two-space indent.
// Portable and header-only so that its tests also run outside Windows.
#ifndef ORVA_STANDINS_WIREGUARD_WG_TEXT_H_
#define ORVA_STANDINS_WIREGUARD_WG_TEXT_H_

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wg_standin {

inline std::string FormatBytes(uint64_t bytes) {
  constexpr uint64_t kKiB = 1024ULL;
  char buffer[64];
  if (bytes < kKiB) {
    std::snprintf(buffer, sizeof buffer, "%u B", static_cast<unsigned>(bytes));
  } else if (bytes < kKiB * kKiB) {
    std::snprintf(buffer, sizeof buffer, "%.2f KiB", static_cast<double>(bytes) / kKiB);
  } else if (bytes < kKiB * kKiB * kKiB) {
    std::snprintf(buffer, sizeof buffer, "%.2f MiB", static_cast<double>(bytes) / (kKiB * kKiB));
  } else if (bytes < kKiB * kKiB * kKiB * kKiB) {
    std::snprintf(buffer, sizeof buffer, "%.2f GiB",
                  static_cast<double>(bytes) / (kKiB * kKiB * kKiB));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f TiB",
                  static_cast<double>(bytes) / (kKiB * kKiB * kKiB * kKiB));
  }
  return buffer;
}

// "1 year, 2 days, 3 hours, 4 minutes, 5 seconds" with zero parts left out;
// an empty text for 0 seconds.
inline std::string FormatDuration(uint64_t seconds) {
  struct Unit {
    const char* name;
    uint64_t seconds;
  };
  static const Unit kUnits[] = {{"year", 365ULL * 24 * 60 * 60},
                                {"day", 24ULL * 60 * 60},
                                {"hour", 60ULL * 60},
                                {"minute", 60ULL},
                                {"second", 1ULL}};
  std::string text;
  for (const Unit& unit : kUnits) {
    const uint64_t count = seconds / unit.seconds;
    seconds %= unit.seconds;
    if (count == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(count) + " " + unit.name + (count == 1 ? "" : "s");
  }
  return text;
}

// How long ago a handshake was, as `wg show` words it.
inline std::string FormatAgo(uint64_t seconds) {
  return seconds == 0 ? "Now" : FormatDuration(seconds) + " ago";
}

inline std::string Base64Encode(const std::vector<uint8_t>& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    const uint32_t chunk = (uint32_t{bytes[i]} << 16) |
                           (left > 1 ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (left > 2 ? uint32_t{bytes[i + 2]} : 0);
    text += kAlphabet[(chunk >> 18) & 63];
    text += kAlphabet[(chunk >> 12) & 63];
    text += left > 1 ? kAlphabet[(chunk >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[chunk & 63] : '=';
  }
  return text;
}

// A stable stand-in for the public key that belongs to |private_key|: 32
// bytes mixed from the key text, base64 like a real key. Not cryptography;
// it only has to look like a key and be the same on every run.
inline std::string DerivePublicKey(const std::string& private_key) {
  std::vector<uint8_t> key;
  for (uint64_t lane = 0; lane < 4; ++lane) {
    uint64_t hash = 1469598103934665603ULL ^ (lane * 0x9E3779B97F4A7C15ULL);
    for (unsigned char c : private_key) {
      hash ^= c;
      hash *= 1099511628211ULL;
    }
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 32;
    for (int byte = 0; byte < 8; ++byte) key.push_back(static_cast<uint8_t>(hash >> (8 * byte)));
  }
  return Base64Encode(key);
}

struct Transfer {
  uint64_t received = 0;
  uint64_t sent = 0;
};

// Traffic of a peer that has been talking for |elapsed_ms|: one handshake
// (92 bytes in, 148 out) at once, then quadratic growth, so that a UI
// polling every second sees B, KiB after 2 s, MiB after about 46 s, GiB
// after about half an hour. |share| divides the traffic among peers.
inline Transfer TransferAfter(uint64_t elapsed_ms, uint64_t share = 1) {
  if (share == 0) share = 1;
  const uint64_t ms = elapsed_ms > 30ULL * 24 * 3600 * 1000 ? 30ULL * 24 * 3600 * 1000 : elapsed_ms;
  Transfer transfer;
  transfer.received = 92 + ms * ms / 2000 / share;
  transfer.sent = 148 + ms * ms / 5000 / share;
  return transfer;
}

// What `wg show` prints about one peer; empty or zero fields are left out.
struct PeerView {
  std::string public_key;
  bool has_preshared_key = false;
  std::string endpoint;
  std::vector<std::string> allowed_ips;
  bool has_handshake = false;
  uint64_t handshake_age_seconds = 0;
  Transfer transfer;
  uint32_t persistent_keepalive = 0;
};

struct InterfaceView {
  std::string name;
  std::string public_key;
  bool has_private_key = true;
  uint16_t listen_port = 0;
  std::vector<PeerView> peers;
};

// The block `wg show NAME` prints, lines ended by "\n".
inline std::string RenderInterface(const InterfaceView& view) {
  std::string text = "interface: " + view.name + "\n";
  if (!view.public_key.empty()) text += "  public key: " + view.public_key + "\n";
  if (view.has_private_key) text += "  private key: (hidden)\n";
  if (view.listen_port != 0) text += "  listening port: " + std::to_string(view.listen_port) + "\n";
  for (const PeerView& peer : view.peers) {
    text += "\npeer: " + peer.public_key + "\n";
    if (peer.has_preshared_key) text += "  preshared key: (hidden)\n";
    if (!peer.endpoint.empty()) text += "  endpoint: " + peer.endpoint + "\n";
    text += "  allowed ips: ";
    if (peer.allowed_ips.empty()) text += "(none)";
    for (size_t i = 0; i < peer.allowed_ips.size(); ++i) {
      text += (i ? ", " : "") + peer.allowed_ips[i];
    }
    text += "\n";
    if (peer.has_handshake) {
      text += "  latest handshake: " + FormatAgo(peer.handshake_age_seconds) + "\n";
    }
    if (peer.transfer.received != 0 || peer.transfer.sent != 0) {
      text += "  transfer: " + FormatBytes(peer.transfer.received) + " received, " +
              FormatBytes(peer.transfer.sent) + " sent\n";
    }
    if (peer.persistent_keepalive != 0) {
      text += "  persistent keepalive: every " + FormatDuration(peer.persistent_keepalive) + "\n";
    }
  }
  return text;
}

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_WG_TEXT_H_
