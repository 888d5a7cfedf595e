// The tunnel's configuration file under ProgramData and the user's Documents
// folder.
//
// The file is written as a Windows text file: every LF of the configuration
// text becomes CR LF (an existing CR LF therefore becomes CR CR LF); no other
// byte changes. It holds the tunnel's private key, so it gets a protected
// DACL that lets only SYSTEM (the tunnel service) and Administrators in.
//
// A save never touches the file in place: the new bytes go into a temporary
// file beside it, made with that DACL, flushed to the disk and then moved
// over the old file in one step. A save that fails at any point (a full
// disk, a crash, an antivirus in the way) leaves the previous configuration
// whole, which the tunnel service reads at its next start.
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// Protected DACL: full access for LocalSystem and the Administrators group,
// nothing inherited from ProgramData (which lets every user read).
constexpr char kConfigFileSddl[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string WithCrLf(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

}  // namespace

std::string WireguardPlugin::SaveConfigToFile(const std::string& config) {
  PluginLog("SaveConfigToFile called");
  // Its keys are hidden from the log before any tool can echo them.
  key_redactor_.Register(config);

  std::optional<std::string> program_data = env_.ShellFolder(kCsidlCommonAppData);
  if (!program_data) {
    PluginLog("Failed to get ProgramData path");
    return std::string();
  }
  PluginLog("ProgramData path: " + *program_data);

  const std::string folder = ConfigurationsFolder(*program_data);
  if (!env_.CreateDirectories(folder)) {
    // Something is in the way (a file of that name, no access): nothing can
    // be saved there.
    PluginLog("Failed to save config file");
    return std::string();
  }
  PluginLog("Config directory: " + folder);

  const std::string file = folder + "\\" + TunnelName() + ".conf";
  const std::string temporary = file + ".tmp";
  // One left by an interrupted save goes first: the temporary file must be
  // one we create, with our DACL, never one found there.
  env_.RemoveFile(temporary);
  if (env_.WriteFile(temporary, WithCrLf(config), kConfigFileSddl) !=
          PluginEnv::WriteOutcome::kWritten ||
      !env_.MoveFileOver(temporary, file)) {
    env_.RemoveFile(temporary);
    PluginLog("Failed to save config file");
    return std::string();
  }
  PluginLog("Config file saved successfully: " + file);
  return file;
}

PluginEnv::FolderName WireguardPlugin::GetDocumentsPath() {
  if (std::optional<PluginEnv::FolderName> documents = env_.ShellFolderName(kCsidlPersonal)) {
    PluginLog("Documents path: " + documents->ansi);
    return *documents;
  }
  // Despite the wording, no default folder is made up: the UI gets "".
  PluginLog("Failed to get Documents path, using default");
  return PluginEnv::FolderName();
}
