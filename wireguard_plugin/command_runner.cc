// The plugin log and the command runner.
//
// PluginLog writes one "[WireGuardPlugin] " line to the debugger output.
// ExecuteCommand decides whether a command needs the command interpreter,
// has the platform run it as a hidden child with its output captured, and
// logs the outcome; the process handling itself (pipes, the reader, the
// bounds, termination) lives behind PluginEnv::RunHidden.
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

constexpr char kLogPrefix[] = "[WireGuardPlugin] ";

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
std::string CommandLineFor(const std::string& command) {
  static const std::string kMergeStreams = " 2>&1";
  if (command.size() >= kMergeStreams.size() &&
      command.compare(command.size() - kMergeStreams.size(), kMergeStreams.size(),
                      kMergeStreams) == 0) {
    std::string direct = command.substr(0, command.size() - kMergeStreams.size());
    if (!NeedsInterpreter(direct)) return direct;
  }
  if (!NeedsInterpreter(command)) return command;
  return "cmd.exe /s /c \"" + command + "\"";
}

}  // namespace

void WireguardPlugin::PluginLog(const std::string& message) {
  env_.DebugOutput(kLogPrefix + message);
}

int WireguardPlugin::ExecuteCommand(const std::string& command, std::string& output) {
  PluginLog("Executing command: " + command);

  ProcessRun run = env_.RunHidden(CommandLineFor(command));
  switch (run.failure) {
    case ProcessRun::Failure::kCreatePipe:
      PluginLog("Failed to create pipe");
      return -1;
    case ProcessRun::Failure::kSetHandleInformation:
      PluginLog("Failed to set handle information");
      return -1;
    case ProcessRun::Failure::kCreateProcess:
      PluginLog("Failed to create process");
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
