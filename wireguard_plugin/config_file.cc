// The tunnel's configuration file under ProgramData and the user's Documents
// folder.
//
// The file is written as a Windows text file: every LF of the configuration
// text becomes CR LF (an existing CR LF therefore becomes CR CR LF); no other
// byte changes. It holds the tunnel's private key, so it gets a protected
// DACL that lets only SYSTEM (the tunnel service) and Administrators in.
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
  const std::string bytes = WithCrLf(config);
  PluginEnv::WriteOutcome outcome = env_.WriteFile(file, bytes, kConfigFileSddl);
  if (outcome == PluginEnv::WriteOutcome::kProtectionFailed) {
    // An existing file whose access cannot be narrowed (written, say, by an
    // earlier version with the folder's inherited access, which lets every
    // local user read it) is replaced by a new one created with the
    // protected descriptor. The key never goes into the old file.
    PluginLog("Config file access cannot be restricted, replacing the file");
    outcome = env_.RemoveFile(file) ? PluginEnv::WriteOutcome::kOpenFailed
                                    : env_.WriteFile(file, bytes, kConfigFileSddl);
  }
  if (outcome != PluginEnv::WriteOutcome::kWritten) {
    // Not opened, or opened but not completely written: either way the
    // tunnel service would read something other than what the UI sent.
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
