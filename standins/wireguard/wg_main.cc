// Stand-in for WireGuard's wg.exe: reports the stand-in tunnels in the
// layout of `wg show`, refuses `wg set NAME down` as the real tool does, and
// misbehaves on request (README.md, "Fault switches").
//
//   wg [show]                 every tunnel, a blank line between them
//   wg show all               the same
//   wg show interfaces        the running tunnels' names on one line
//   wg show NAME              one tunnel
//   wg set NAME ...           argument check only; nothing can be changed
//
// Output lines end in CR LF, as a console program's text output does when
// piped on Windows. Errors go to standard error with exit code 1.
//
// In real mode (relay_client.h) every run after the fault switches is the
// real `wg` with the same arguments, its output and exit code unchanged.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "standins/wireguard/relay_client.h"
#include "standins/wireguard/standin_platform.h"
#include "standins/wireguard/tunnel_store.h"

using namespace wg_standin;

namespace {

constexpr char kUsage[] =
    "Usage: wg <cmd> [<args>]\n"
    "\n"
    "Available subcommands:\n"
    "  show: Shows the current configuration and device information\n"
    "  set: Change the current configuration, add peers, remove peers, or change peers\n"
    "\n"
    "This is a test stand-in: only the subcommands above are understood.\n";
constexpr char kShowUsage[] = "Usage: wg show { <interface> | all | interfaces }\n";
constexpr char kSetUsage[] =
    "Usage: wg set <interface> [listen-port <port>] [fwmark <mark>] "
    "[private-key <file path>] [peer <base64 public key> ...]\n";
// How long the "hang" fault sleeps unless told otherwise: ten minutes.
constexpr uint64_t kDefaultHangMs = 10ULL * 60 * 1000;
constexpr uint64_t kDefaultFloodBytes = 8ULL * 1024 * 1024;
constexpr uint64_t kDefaultHoldPipeMs = 60ULL * 1000;
constexpr char kHoldPipeSwitch[] = "--standin-hold-pipe";

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void Print(const std::string& text) { WriteRaw(STD_OUTPUT_HANDLE, WithCrLf(text)); }
void PrintError(const std::string& text) { WriteRaw(STD_ERROR_HANDLE, WithCrLf(text)); }

// The running tunnels, in name order, after letting any due service start.
std::vector<TunnelRecord> RunningTunnels(int64_t now_ms) {
  std::vector<TunnelRecord> tunnels;
  {
    StateLock lock;
    tunnels = LoadTunnels();
    if (AdvanceTunnels(&tunnels, now_ms)) SaveTunnels(tunnels);
  }
  tunnels.erase(
      std::remove_if(tunnels.begin(), tunnels.end(),
                     [](const TunnelRecord& t) { return t.phase != TunnelPhase::kRunning; }),
      tunnels.end());
  std::sort(tunnels.begin(), tunnels.end(),
            [](const TunnelRecord& a, const TunnelRecord& b) { return a.name < b.name; });
  return tunnels;
}

// The `wg show` block of a running tunnel, or no value when its service's
// configuration copy is gone or unusable. With WG_HIDE_KEYS=never in the
// environment, or the fault switch wg=show-keys (a product hands that
// variable to no child), the keys themselves stand for "(hidden)".
std::optional<std::string> ShowBlock(const TunnelRecord& tunnel, int64_t now_ms, bool show_keys) {
  const auto config = RunningConfig(tunnel.name);
  if (!config) return std::nullopt;
  const int64_t up_for = now_ms - tunnel.UpAtMs();
  std::string block =
      RenderInterface(DescribeTunnel(tunnel.name, *config, up_for > 0 ? up_for : 0));
  auto reveal = [&block, show_keys](const std::string& label, const std::string& key) {
    const size_t at = block.find("  " + label + ": (hidden)\n");
    if (show_keys && at != std::string::npos) block.replace(at + label.size() + 4, 8, key);
  };
  reveal("private key", config->private_key);
  for (const PeerConfig& peer : config->peers) {
    if (!peer.preshared_key.empty()) reveal("preshared key", peer.preshared_key);
  }
  return block;
}

bool ShowKeys(const FaultSwitches& faults) {
  const char* hide = std::getenv("WG_HIDE_KEYS");
  return faults.Has("wg", "show-keys") || (hide != nullptr && std::string(hide) == "never");
}

int ShowOne(const std::string& name, const FaultSwitches& faults) {
  const int64_t now = NowMs();
  const char* reason = "No such file or directory";
  for (const TunnelRecord& tunnel : RunningTunnels(now)) {
    if (tunnel.name != name) continue;
    if (faults.Has("wg", "permission-denied")) {
      reason = "Permission denied";
    } else if (auto block = ShowBlock(tunnel, now, ShowKeys(faults))) {
      Print(*block);
      return 0;
    }
    break;
  }
  PrintError(std::string("Unable to access interface: ") + reason + "\n");
  return 1;
}

int ShowAll(const FaultSwitches& faults) {
  const int64_t now = NowMs();
  int exit_code = 0;
  bool first = true;
  for (const TunnelRecord& tunnel : RunningTunnels(now)) {
    std::optional<std::string> block;
    if (!faults.Has("wg", "permission-denied")) block = ShowBlock(tunnel, now, ShowKeys(faults));
    if (!block) {
      const char* reason =
          faults.Has("wg", "permission-denied") ? "Permission denied" : "No such file or directory";
      PrintError("Unable to access interface " + tunnel.name + ": " + reason + "\n");
      exit_code = 1;
      continue;
    }
    Print((first ? "" : "\n") + *block);
    first = false;
  }
  return exit_code;
}

int ShowInterfaces() {
  std::string line;
  for (const TunnelRecord& tunnel : RunningTunnels(NowMs())) {
    line += (line.empty() ? "" : " ") + tunnel.name;
  }
  if (!line.empty()) Print(line + "\n");
  return 0;
}

int Show(const std::vector<std::string>& args, const FaultSwitches& faults) {
  if (args.size() <= 2 || (args.size() == 3 && args[2] == "all")) return ShowAll(faults);
  if (args.size() == 3 && args[2] == "interfaces") return ShowInterfaces();
  if (args.size() == 3) return ShowOne(args[2], faults);
  PrintError(kShowUsage);
  return 1;
}

int Set(const std::vector<std::string>& args) {
  if (args.size() < 4) {
    PrintError(kSetUsage);
    return 1;
  }
  static const char* const kKeywords[] = {"listen-port", "fwmark", "private-key", "peer"};
  const std::string& first = args[3];
  if (std::find(std::begin(kKeywords), std::end(kKeywords), first) == std::end(kKeywords)) {
    PrintError("Invalid argument: " + first + "\n");
    return 1;
  }
  PrintError("Unable to modify interface: Operation not supported\n");
  return 1;
}

// The "grandchild" fault: starts a copy of this program that inherits our
// standard handles and only sleeps, so whoever reads our output sees its
// pipe stay open long after we have exited.
void StartPipeHolder(uint64_t hold_ms) {
  wchar_t self[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return;
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + Widen(kHoldPipeSwitch) + L" " +
                         std::to_wstring(hold_ms);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &startup, &process)) {
    UniqueHandle thread(process.hThread), child(process.hProcess);
  }
}

void Flood(uint64_t bytes) {
  std::string line = "  transfer: flood of output from the stand-in wg.exe ";
  line.resize(78, '.');
  line += "\r\n";
  std::string block;
  while (block.size() < 64 * 1024) block += line;
  for (uint64_t done = 0; done < bytes;) {
    const uint64_t chunk = std::min<uint64_t>(block.size(), bytes - done);
    WriteRaw(STD_OUTPUT_HANDLE, block.substr(0, static_cast<size_t>(chunk)));
    done += chunk;
  }
}

std::string BinaryGarbage() {
  std::string bytes("interface: \0\xff\xfe\xc3\x28\x80\r\n", 17);
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string("\xed\xa0\x80\xf8\x88\x80\x80\x80\0\0\n", 11);
  return bytes;
}

}  // namespace

int main() {
  const std::vector<std::string> args = CommandLineArguments();
  if (args.size() == 3 && args[1] == kHoldPipeSwitch) {
    SleepMs(std::strtoull(args[2].c_str(), nullptr, 10));
    return 0;
  }

  const FaultSwitches faults = LoadFaults();
  // A slow machine: every run takes MS ms longer, then answers normally.
  if (faults.Has("wg", "slow")) SleepMs(faults.NumberOr("wg", "slow", 3000));
  if (faults.Has("wg", "hang")) {
    SleepMs(faults.NumberOr("wg", "hang", kDefaultHangMs));
    return 1;
  }
  if (faults.Has("wg", "crash")) {
    ExitProcess(0xC0000005);  // what an access violation leaves as exit code
  }
  if (faults.Has("wg", "flood")) {
    Flood(faults.NumberOr("wg", "flood", kDefaultFloodBytes));
    return 0;
  }
  if (faults.Has("wg", "binary")) {
    WriteRaw(STD_OUTPUT_HANDLE, BinaryGarbage());
    return 0;
  }
  if (faults.Has("wg", "grandchild")) {
    StartPipeHolder(faults.NumberOr("wg", "grandchild", kDefaultHoldPipeMs));
  }

  if (const auto relay = ConfiguredRelay()) {
    return ForwardReply(RunThroughRelay(
        *relay, "wg", std::vector<std::string>(args.begin() + (args.empty() ? 0 : 1), args.end())));
  }
  if (args.size() <= 1 || args[1] == "show") return Show(args, faults);
  if (args[1] == "set") return Set(args);
  if (args[1] == "--help" || args[1] == "-h" || args[1] == "help") {
    Print(kUsage);
    return 0;
  }
  PrintError("Invalid subcommand: `" + args[1] + "'\n");
  PrintError(kUsage);
  return 1;
}
