// WireguardPlugin: the application's own plugin. It drives WireGuard for
// Windows to bring one tunnel ("orva_divuv") up and down and reports its
// status and traffic, answering the UI's calls on "com.orva_divuv/wireguard".
//
// The plugin keeps no state between calls: every operation reads the
// machine's state afresh through its PluginEnv. Calls arrive on the engine's
// platform thread and are answered from the plugin's own worker thread, one
// at a time in arrival order, so the window never waits on WireGuard's
// tools; the worker touches nothing of the engine library but the replies.
// A read-only call queued behind others may take the answer of a later run
// of an identical call (see HandleQueuedCall in dispatch.cc).
//
// The operations are spread over files by concern:
//   command_runner.cc  PluginLog, ExecuteCommand, StartWithOneRetry
//   key_redaction.cc   the keys hidden from every log line (KeyRedactor)
//   support_log.cc     the log file for support (SupportLog)
//   detection.cc       IsWireguardInstalled, GetWireguardDirectory, FindTools
//   config_file.cc     SaveConfigToFile, GetDocumentsPath
//   status.cc          GetVPNStatus, GetTransferStats
//   lifecycle.cc       ConnectVPN, DisconnectVPN, RecreateTunnel
//   installer.cc       FindWireguardInstaller, InstallWireguard
//   dispatch.cc        the method table, HandleMethodCall, HandleQueuedCall
//   registration.cc    WireguardPluginRegisterWithRegistrar and the plugin holder
//   wireguard_plugin.cc  construction, the worker queue and shutdown
#ifndef ORVA_WIREGUARD_PLUGIN_WIREGUARD_PLUGIN_H_
#define ORVA_WIREGUARD_PLUGIN_WIREGUARD_PLUGIN_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "wireguard_plugin/call_worker.h"
#include "wireguard_plugin/key_redaction.h"
#include "wireguard_plugin/plugin_env.h"
#include "wireguard_plugin/support_log.h"

namespace flutter {
class MethodCall;
class MethodResult;
}  // namespace flutter
class MethodCallChannel;

// The one tunnel this program manages, and the name of its configuration
// file and tunnel service.
inline constexpr char kTunnelName[] = "orva_divuv";
inline std::string TunnelName() { return kTunnelName; }

// |text| in double quotes, as one word of a command line.
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The tunnel's state as the UI learns it.
enum class TunnelStatus { kConnected, kDisconnected, kNotInstalled, kUnknown };

// The word the channel carries, and log lines show, for |status|.
inline const char* StatusWord(TunnelStatus status) {
  static constexpr const char* kWords[] = {"connected", "disconnected", "not_installed", "unknown"};
  return kWords[static_cast<int>(status)];
}

// One of WireGuard's tools in the folder it is taken from.
struct WireguardTool {
  std::string path;        // its full path
  std::string short_path;  // its short (8.3) form, or |path| where there is none
  bool found = false;      // the file exists
  // The short path as a command line's program word.
  std::string Quoted() const { return ::Quoted(short_path); }
};

// The file names of WireGuard's two tools.
inline constexpr char kWgTool[] = "wg.exe";
inline constexpr char kWireguardTool[] = "wireguard.exe";

// WireGuard's tools as one operation finds them (WireguardPlugin::FindTools):
// the folder is looked up once, and each tool tested for and shortened there.
struct WireguardTools {
  WireguardTool wg;         // wg.exe, the control tool
  WireguardTool wireguard;  // wireguard.exe, which runs the tunnel service
};

// Received and sent byte counters of the tunnel.
struct TransferStats {
  int64_t rx = 0;
  int64_t tx = 0;
};

class WireguardPlugin {
 public:
  // |channel| may be null (tests that call operations directly). |env| must
  // outlive the plugin.
  WireguardPlugin(std::unique_ptr<MethodCallChannel> channel, PluginEnv& env);
  virtual ~WireguardPlugin();

  WireguardPlugin(const WireguardPlugin&) = delete;
  WireguardPlugin& operator=(const WireguardPlugin&) = delete;

  MethodCallChannel* channel() const { return channel_.get(); }

  // A pointer to this plugin that turns null when the plugin goes, for
  // holders that may outlive it (the channel's handler stays installed in
  // the messenger after the channel is gone).
  using Link = std::shared_ptr<std::atomic<WireguardPlugin*>>;
  const Link& link() const { return link_; }

  // Copies |call| and queues it, with |result|, for the worker thread, which
  // answers it (HandleQueuedCall) after every call queued before. Returns at
  // once; after Shutdown the call is dropped unanswered.
  void EnqueueMethodCall(const flutter::MethodCall& call,
                         std::unique_ptr<flutter::MethodResult> result);

  // The program is closing: the tool run, sleep or installer wait in
  // progress ends at once (an installer itself runs on), calls not yet
  // started are dropped, and the running call winds down before this
  // returns. |while_waiting| runs on the caller's thread meanwhile (see
  // CallWorker::Stop). The destructor does the same; later calls do nothing.
  void Shutdown(const std::function<void()>& while_waiting = {});

  // Starts the log file for support (see support_log.h) on the worker
  // thread, ahead of every call queued later: the window's thread never
  // waits on the disk. Without it the plugin logs to the debugger only.
  void StartSupportLog(const std::string& program_version);

  // Routes one call by its method name and answers it exactly once.
  void HandleMethodCall(const flutter::MethodCall& call,
                        std::unique_ptr<flutter::MethodResult> result);

  // Command runner and log.
  void PluginLog(const std::string& message);
  int ExecuteCommand(const std::string& command, std::string& output);

  // Detection and tool paths.
  bool IsWireguardInstalled();
  std::string GetWireguardDirectory();
  // One tool (kWgTool, kWireguardTool), or both, in WireGuard's folder.
  WireguardTool FindTool(const char* name);
  WireguardTools FindTools();

  // Configuration file and folders.
  std::string SaveConfigToFile(const std::string& config);
  // The user's Documents folder: |utf8| goes to the UI, |ansi| into log
  // lines; both empty when the folder cannot be had.
  PluginEnv::FolderName GetDocumentsPath();

  // Status and statistics.
  TunnelStatus GetVPNStatus();
  TransferStats GetTransferStats();

  // Tunnel lifecycle. Connect is ConnectVPN's steps, telling a tunnel that
  // was up before anything ran (nothing saved, nothing run) from one this
  // call brought up, and a failure with the configuration saved from one
  // without. IsUp: the tunnel is up afterwards (kConnected, kAlreadyConnected).
  enum class ConnectOutcome { kFailed, kNotSaved, kConnected, kAlreadyConnected };
  static bool IsUp(ConnectOutcome outcome) {
    return outcome == ConnectOutcome::kConnected || outcome == ConnectOutcome::kAlreadyConnected;
  }
  ConnectOutcome Connect(const std::string& config);
  bool ConnectVPN(const std::string& config) { return IsUp(Connect(config)); }
  bool DisconnectVPN();
  bool RecreateTunnel(const std::string& config);

  // Installer.
  std::string FindWireguardInstaller();
  bool InstallWireguard();

 private:
  // Runs |start| once more, after a pause, when the system refused it for
  // the moment (see command_runner.cc); the refusal is logged with |failed|,
  // and the pause as "Retrying |retrying| in 250 ms".
  Status StartWithOneRetry(const std::function<Status()>& start, const std::string& failed,
                           const std::string& retrying);
  // |name| in |folder|: tested for, and shortened where it is.
  WireguardTool FindTool(const std::string& folder, const char* name);
  // Logs |line| and, on the next line, the failed step's error number.
  void LogFailure(const std::string& line, const Status& status);

  // Answers the call that arrived as number |arrival| on the worker, by
  // running its method as HandleMethodCall does or with a shared answer
  // (see dispatch.cc). The worker's one exception guard: an exception would
  // end the program, so the call gets its method's failure answer instead
  // (if it was not answered yet) and the exception is logged.
  void HandleQueuedCall(const flutter::MethodCall& call, uint64_t arrival,
                        std::unique_ptr<flutter::MethodResult> result);

  Link link_;
  std::unique_ptr<MethodCallChannel> channel_;
  PluginEnv& env_;
  KeyRedactor key_redactor_;
  SupportLog support_log_{env_};
  std::atomic<uint64_t> arrivals_{0};  // calls enqueued so far
  // The answers of the latest runs of read-only calls (the worker's own).
  struct SharedRun {
    std::string method;
    flutter::EncodableValue arguments;  // null also for a call without any
    uint64_t began;                     // calls enqueued when the run began
    flutter::EncodableValue answer;     // its success value
  };
  std::vector<SharedRun> shared_runs_;
  // Declared last: destroyed (stopped) first, while everything a running
  // call uses still exists.
  CallWorker worker_;
};

#endif  // ORVA_WIREGUARD_PLUGIN_WIREGUARD_PLUGIN_H_
