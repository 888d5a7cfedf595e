// The plugin log, the command runner and the one more try of a start.
//
// PluginLog writes one "[WireGuardPlugin] " line, its keys hidden, to the
// debugger output and to the log file for support.
// ExecuteCommand decides whether a command needs the command interpreter,
// has the platform run it as a hidden child with its output captured, and
// logs the outcome; the process handling itself (pipes, the reader, the
// bounds, termination) lives behind PluginEnv::RunHidden.
#include <optional>
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// The pause before the one more try of a start the system refused for the
// moment.
constexpr uint32_t kStartRetryPauseMs = 250;

// True for the system errors with which a process start is refused for the
// moment rather than for good, so that one more try after a short pause may
// succeed. ERROR_INTERNAL_ERROR (1359) is what Wine answers when the new
// process ended during its own start-up, before it ran any of its code: on
// a loaded machine about one start in two thousand. ERROR_NOT_ENOUGH_MEMORY
// (8), ERROR_NO_SYSTEM_RESOURCES (1450) and ERROR_COMMITMENT_LIMIT (1455)
// are shortages of the moment. Everything else (a missing file or folder,
// a denied access, a bad image: 2, 3, 5, 193, ...) fails the same way again.
bool IsTransientStartError(uint32_t error) {
  return error == 1359 || error == 8 || error == 1450 || error == 1455;
}

// Redirections, pipes and command chains only mean something to cmd.exe.
// These are plain substring tests: quotes are not considered.
bool NeedsInterpreter(const std::string& command) {
  return command.find("&&") != std::string::npos ||
         command.find_first_of("|><") != std::string::npos;
}

// cmd.exe /c strips the first and last double quote of a command holding
// more than two of them (our status command holds four), and /s makes it do
// so always; the outer pair added here is therefore the pair it strips, and
// the command runs exactly as written.
//
// A trailing " 2>&1" asks only for what the runner does anyway (standard
// output and standard error share one pipe), so a command whose only
// interpreter syntax it is runs directly, without it: one process instead of
// the interpreter, its console host and the tool.
//
// The interpreter is named by its full path in the system folder: for a bare
// name, process creation looks in the executable's folder and the working
// folder first, and a cmd.exe placed there would run with our administrator
// rights. Without a system folder the command is not run at all.
struct CommandLine {
  std::string text;
  PluginEnv::Console console;
};
std::optional<CommandLine> CommandLineFor(const std::string& command,
                                          const std::string& system_folder) {
  static const std::string kMergeStreams = " 2>&1";
  if (command.size() >= kMergeStreams.size() &&
      command.compare(command.size() - kMergeStreams.size(), kMergeStreams.size(), kMergeStreams) ==
          0) {
    std::string direct = command.substr(0, command.size() - kMergeStreams.size());
    if (!NeedsInterpreter(direct)) return CommandLine{direct, PluginEnv::Console::kNone};
  }
  if (!NeedsInterpreter(command)) return CommandLine{command, PluginEnv::Console::kNone};
  if (system_folder.empty()) return std::nullopt;
  return CommandLine{Quoted(system_folder + "\\cmd.exe") + " /s /c " + Quoted(command),
                     PluginEnv::Console::kHidden};
}

// The first log line of a start that failed at |step|.
const char* StartFailureLine(Status::Step step) {
  if (step == Status::Step::kCreatePipe) return "Failed to create pipe";
  if (step == Status::Step::kSetHandleInformation) return "Failed to set handle information";
  return "Failed to create process";
}

}  // namespace

void WireguardPlugin::PluginLog(const std::string& message) {
  const std::string line = key_redactor_.Redact(kLogPrefix + message);
  env_.DebugOutput(line);
  support_log_.Write(line);
}

void WireguardPlugin::LogFailure(const std::string& line, const Status& status) {
  PluginLog(line);
  PluginLog(std::string(status.what()) + " error: " + std::to_string(status.error()));
}

Status WireguardPlugin::StartWithOneRetry(const std::function<Status()>& start,
                                          const std::string& failed, const std::string& retrying) {
  const Status status = start();
  if (status.step() != Status::Step::kCreateProcess || !IsTransientStartError(status.error())) {
    return status;
  }
  LogFailure(failed, status);
  PluginLog("Retrying " + retrying + " in " + std::to_string(kStartRetryPauseMs) + " ms");
  env_.Sleep(kStartRetryPauseMs);
  return start();
}

int WireguardPlugin::ExecuteCommand(const std::string& command, std::string& output) {
  PluginLog("Executing command: " + command);

  const std::optional<CommandLine> command_line = CommandLineFor(command, env_.SystemFolder());
  if (!command_line) {
    PluginLog(StartFailureLine(Status::Step::kCreateProcess));
    return -1;
  }
  ProcessRun run;
  const Status started = StartWithOneRetry(
      [&] {
        run = env_.RunHidden(command_line->text, command_line->console);
        return run.status;
      },
      StartFailureLine(Status::Step::kCreateProcess), "process creation");
  if (!started.ok()) {
    LogFailure(StartFailureLine(started.step()), started);
    return -1;
  }

  if (run.interrupted) {
    PluginLog("Command interrupted: the program is closing");
    return -1;
  }
  output = std::move(run.output);
  if (run.terminated) PluginLog("Command timeout, terminating process");
  PluginLog("Command result code: " + std::to_string(run.exit_code));
  if (!output.empty()) PluginLog("Command output: " + output);
  // Exit codes of 0x80000000 and above (crashes) come back negative.
  return static_cast<int>(run.exit_code);
}
