// The plugin log and the command runner.
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

constexpr char kLogPrefix[] = "[WireGuardPlugin] ";

// The pause before the one more try of a start the system refused for the
// moment.
constexpr uint32_t kStartRetryPauseMs = 250;

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
  return CommandLine{"\"" + system_folder + "\\cmd.exe\" /s /c \"" + command + "\"",
                     PluginEnv::Console::kHidden};
}

}  // namespace

void WireguardPlugin::PluginLog(const std::string& message) {
  const std::string line = key_redactor_.Redact(kLogPrefix + message);
  env_.DebugOutput(line);
  support_log_.Write(line);
}

int WireguardPlugin::ExecuteCommand(const std::string& command, std::string& output) {
  PluginLog("Executing command: " + command);

  const std::optional<CommandLine> command_line = CommandLineFor(command, env_.SystemFolder());
  if (!command_line) {
    PluginLog("Failed to create process");
    return -1;
  }
  ProcessRun run = env_.RunHidden(command_line->text, command_line->console);
  if (run.failure == ProcessRun::Failure::kCreateProcess && IsTransientStartError(run.error)) {
    PluginLog("Failed to create process");
    PluginLog("CreateProcess error: " + std::to_string(run.error));
    PluginLog("Retrying process creation in " + std::to_string(kStartRetryPauseMs) + " ms");
    env_.Sleep(kStartRetryPauseMs);
    run = env_.RunHidden(command_line->text, command_line->console);
  }
  switch (run.failure) {
    case ProcessRun::Failure::kCreatePipe:
      PluginLog("Failed to create pipe");
      PluginLog("CreatePipe error: " + std::to_string(run.error));
      return -1;
    case ProcessRun::Failure::kSetHandleInformation:
      PluginLog("Failed to set handle information");
      PluginLog("SetHandleInformation error: " + std::to_string(run.error));
      return -1;
    case ProcessRun::Failure::kCreateProcess:
      PluginLog("Failed to create process");
      PluginLog("CreateProcess error: " + std::to_string(run.error));
      return -1;
    case ProcessRun::Failure::kNone:
      break;
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
