// The tunnel's status and its traffic counters, both read from the output of
// `wg.exe show "orva_divuv"`.
//
// Status: a fixed list of case-sensitive marker tests over the whole output,
// first hit wins. "interface:" counts only where it begins a line, as in the
// tool's report of a running tunnel ("interface: orva_divuv"): the tool's
// error for a tunnel that does not exist, "Unable to access interface: No
// such file or directory", also holds the word, and must not read as
// connected, or connecting would be skipped as "Already connected".
// Counters: the first line holding "transfer:" that yields two values, e.g.
//     transfer: 56.59 KiB received, 3.73 MiB sent
// Each value is read together with the unit word after it (B, KiB, MiB, GiB,
// TiB; base 1024; no unit means bytes) and converted to whole bytes,
// rounded to the nearest byte, so the UI gets 57948 and 3911188 here.
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

bool Contains(const std::string& text, const char* what) {
  return text.find(what) != std::string::npos;
}

// True when |text| has a line (after a line feed, or at the very start)
// beginning with |what|.
bool HasLineStartingWith(const std::string& text, const std::string& what) {
  for (size_t at = 0; at < text.size();) {
    if (text.compare(at, what.size(), what) == 0) return true;
    const size_t line_end = text.find('\n', at);
    if (line_end == std::string::npos) break;
    at = line_end + 1;
  }
  return false;
}

std::string StatusCommand(const WireguardTool& wg) {
  return wg.Quoted() + " show " + Quoted(TunnelName()) + " 2>&1";
}

// The multiplier of a unit word as wg prints it, or 0 when |word| is none.
int64_t UnitMultiplier(std::string word) {
  while (!word.empty() && (word.back() == ',' || word.back() == ';')) word.pop_back();
  if (word == "B") return 1;
  if (word == "KiB") return int64_t{1} << 10;
  if (word == "MiB") return int64_t{1} << 20;
  if (word == "GiB") return int64_t{1} << 30;
  if (word == "TiB") return int64_t{1} << 40;
  return 0;
}

// A decimal value as wg prints it: digits, optionally a point and up to six
// more digits, optionally a trailing comma. Kept exact as whole and fraction.
struct Decimal {
  int64_t whole = 0;
  int64_t fraction = 0;        // the digits after the point as an integer
  int64_t fraction_scale = 1;  // 10 to the number of those digits
};

constexpr size_t kMaxWholeDigits = 18;    // below 10^18: fits in int64
constexpr size_t kMaxFractionDigits = 6;  // keeps fraction * 2^40 in int64

std::optional<Decimal> ParseDecimal(std::string token) {
  while (!token.empty() && token.back() == ',') token.pop_back();
  const size_t point = token.find('.');
  const std::string whole = token.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : token.substr(point + 1);
  if (whole.empty() || whole.size() > kMaxWholeDigits) return std::nullopt;
  if (point != std::string::npos && (fraction.empty() || fraction.size() > kMaxFractionDigits)) {
    return std::nullopt;
  }
  Decimal value;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    value.whole = value.whole * 10 + (c - '0');
  }
  for (char c : fraction) {
    if (c < '0' || c > '9') return std::nullopt;
    value.fraction = value.fraction * 10 + (c - '0');
    value.fraction_scale *= 10;
  }
  return value;
}

// |value| * |multiplier| rounded to the nearest byte, or nothing when the
// result would not fit in 64 bits.
std::optional<int64_t> ToBytes(const Decimal& value, int64_t multiplier) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (value.whole > (kMax - multiplier) / multiplier) return std::nullopt;
  const int64_t whole = value.whole * multiplier;
  const int64_t part =
      (value.fraction * multiplier + value.fraction_scale / 2) / value.fraction_scale;
  if (part > kMax - whole) return std::nullopt;
  return whole + part;
}

// Every readable value of one line, in order, in bytes.
std::vector<int64_t> ValuesOfLine(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream words(line);
  for (std::string word; words >> word;) tokens.push_back(word);

  std::vector<int64_t> values;
  for (size_t i = 0; i < tokens.size(); ++i) {
    std::optional<Decimal> value = ParseDecimal(tokens[i]);
    if (!value) continue;
    int64_t multiplier = 1;
    if (i + 1 < tokens.size()) {
      if (int64_t unit = UnitMultiplier(tokens[i + 1])) {
        multiplier = unit;
        ++i;  // the unit word belongs to this value
      }
    }
    if (std::optional<int64_t> bytes = ToBytes(*value, multiplier)) values.push_back(*bytes);
  }
  return values;
}

}  // namespace

TunnelStatus WireguardPlugin::GetVPNStatus() {
  PluginLog("GetVPNStatus called");
  // Logs why, then ", status: " and the status's word.
  const auto judged = [this](const char* why, TunnelStatus status) {
    PluginLog(std::string(why) + ", status: " + StatusWord(status));
    return status;
  };

  if (!IsWireguardInstalled())
    return judged("WireGuard not installed", TunnelStatus::kNotInstalled);
  const WireguardTool wg = FindTool(kWgTool);
  if (!wg.found) return judged("wg.exe not found", TunnelStatus::kNotInstalled);
  PluginLog("Using short path: " + wg.short_path);

  const std::string command = StatusCommand(wg);
  PluginLog("Executing status command: " + command);
  std::string output;
  int result = ExecuteCommand(command, output);
  if (result < 0) {
    PluginLog("Failed to execute status command, trying 'wg show all'");
    result = ExecuteCommand(wg.Quoted() + " show all 2>&1", output);
    if (result < 0) return judged("Failed to execute 'wg show all'", TunnelStatus::kUnknown);
  }
  PluginLog("Status command result code: " + std::to_string(result));

  if (!output.empty()) {
    PluginLog("Status command output: " + output);
    if (Contains(output, "Permission denied")) {
      PluginLog("Permission denied - interface likely exists and is active");
      if (Contains(output, kTunnelName)) {
        PluginLog("Interface name found in error message, assuming connected");
        return TunnelStatus::kConnected;
      }
    }
    const struct {
      bool found;
      const char* why;
    } markers[] = {
        {HasLineStartingWith(output, "interface:"), "Found 'interface:' in output"},
        {Contains(output, kTunnelName), "Found interface name in output"},
        {(Contains(output, "public key:") || Contains(output, "PublicKey:")) &&
             (Contains(output, "listening port:") || Contains(output, "listening-port:")),
         "Found public key and listening port"},
        {Contains(output, "peer:") && Contains(output, "allowed ips:"),
         "Found peer with allowed ips"},
        {Contains(output, "latest handshake"), "Found 'latest handshake'"},
    };
    for (const auto& marker : markers) {
      if (marker.found) return judged(marker.why, TunnelStatus::kConnected);
    }
  }
  return judged("No connection indicators found", TunnelStatus::kDisconnected);
}

TransferStats WireguardPlugin::GetTransferStats() {
  TransferStats stats;
  if (!IsWireguardInstalled()) {
    PluginLog("WireGuard not installed, returning 0 stats");
    return stats;
  }
  const WireguardTool wg = FindTool(kWgTool);
  if (!wg.found) {
    PluginLog("wg.exe not found, returning 0 stats");
    return stats;
  }
  const std::string command = StatusCommand(wg);
  PluginLog("Executing stats command: " + command);

  std::string output;
  if (ExecuteCommand(command, output) < 0 || output.empty()) {
    PluginLog("getStats: command failed or empty output, returning 0 stats");
    return stats;
  }
  PluginLog("getStats output: " + output);

  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!Contains(line, "transfer:")) continue;
    std::vector<int64_t> values = ValuesOfLine(line);  // a CR at the end is whitespace
    if (values.size() < 2) continue;
    stats.rx = values[0];
    stats.tx = values[1];
    PluginLog("Parsed transfer stats: rx=" + std::to_string(stats.rx) +
              " bytes, tx=" + std::to_string(stats.tx) + " bytes");
    break;
  }
  return stats;
}
