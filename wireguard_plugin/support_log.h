// SupportLog: the plugin's log file, the one a user can send to support.
//
// C:\ProgramData\ORVA VPN\logs\plugin.log (ProgramData as the shell reports
// it) gets every plugin log line behind its UTC time stamp, as UTF-8 text
// with CR LF line ends:
//
//   2026-12-07T03:04:05.067Z [WireGuardPlugin] HandleMethodCall: getStatus
//
// A message of several lines (a tool's output) keeps them; the lines after
// its first have no time stamp. Each start of the program writes one line
// first: "Program start: ORVA VPN <version>, Windows <version>" (without the
// Windows part when the system does not tell its version). When the
// next line would take the file past 1 MiB, the file becomes plugin.log.1
// (replacing the one before) and a new one begins; when that cannot be done
// (a viewer holds the file), the lines go on into the file and the turnover
// is tried again after kTurnoverRetryBytes more. One entry keeps at most its
// first 64 KiB. Lines come here with their keys hidden (key_redaction.h).
//
// The folder and the one above it are owned by the Administrators group and
// let only SYSTEM and Administrators in: the lines carry peers' public keys
// and endpoints.
//
// Writing never fails the caller: a log that cannot be written costs one
// debugger line, and after that the log is off for the rest of the run; a
// failed turnover costs one debugger line each time it is tried.
// Thread-safe; in the product only the plugin's worker thread writes.
#ifndef ORVA_WIREGUARD_PLUGIN_SUPPORT_LOG_H_
#define ORVA_WIREGUARD_PLUGIN_SUPPORT_LOG_H_

#include <cstdint>
#include <mutex>
#include <string>

#include "wireguard_plugin/plugin_env.h"

// The start of every plugin log line, in the debugger output and the file.
inline constexpr char kLogPrefix[] = "[WireGuardPlugin] ";

// |text| as a Windows text file holds it: every LF becomes CR LF (an existing
// CR LF therefore becomes CR CR LF); no other byte changes.
std::string WithCrLf(const std::string& text);

class SupportLog {
 public:
  // The size past which the file turns over.
  static constexpr uint64_t kMaxFileBytes = uint64_t{1} << 20;
  // The most one entry keeps. A tool that floods its output (up to 4 MiB)
  // would otherwise push the whole history, start line included, out of
  // both files at once; the rest of such an entry is noted as cut.
  static constexpr size_t kMaxEntryBytes = size_t{64} << 10;
  // How much more goes into the file before a failed turnover is tried again.
  static constexpr uint64_t kTurnoverRetryBytes = uint64_t{64} << 10;

  explicit SupportLog(PluginEnv& env) : env_(env) {}

  // Opens the log (making its protected folder as needed) and writes the
  // start line. Until then Write does nothing; later calls do nothing.
  void Start(const std::string& program_version);

  // Appends |line| (ANSI code page) with its time stamp, when the log is on.
  void Write(const std::string& line);

 private:
  enum class State { kOff, kOn, kFailed };

  // Appends one whole entry, turning the file over first when it would grow
  // past |turnover_at_|. Called under |mutex_|.
  void Append(const std::string& bytes);
  // The log cannot be written: one debugger line, then off.
  void Fail();

  PluginEnv& env_;
  mutable std::mutex mutex_;
  State state_ = State::kOff;
  std::string file_;
  uint64_t size_ = 0;
  uint64_t turnover_at_ = kMaxFileBytes;
};

#endif  // ORVA_WIREGUARD_PLUGIN_SUPPORT_LOG_H_
