// The tunnel's configuration file under ProgramData and the user's Documents
// folder.
//
// The file is written as a Windows text file: every LF of the configuration
// text becomes CR LF (an existing CR LF therefore becomes CR CR LF); no other
// byte changes. It holds the tunnel's private key, so it gets a protected
// DACL that lets only SYSTEM (the tunnel service) and Administrators in. Its
// folder and the one above are made, or taken over, owned by Administrators
// with such a DACL: ProgramData lets every user make folders, and a folder's
// owner could change the file inside.
//
// A save never touches the file in place: the new bytes go into a new
// temporary file beside it (orva_divuv.conf.<random>.tmp: nothing planted
// can be in its way), made with that DACL, flushed to the disk and then
// moved over the old file in one step. A save that fails at any point (a
// full disk, a crash, an antivirus in the way) leaves the previous
// configuration whole, which the tunnel service reads at its next start.
#include <cstdio>
#include <random>
#include <string>

#include "wireguard_plugin/wireguard_plugin.h"

namespace {

// Protected DACL: full access for LocalSystem and the Administrators group,
// nothing inherited from ProgramData (which lets every user read). Its
// folders get kProtectedFolderSddl.
constexpr char kConfigFileSddl[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string RandomHex() {
  std::random_device random;
  char text[17];
  std::snprintf(text, sizeof(text), "%08x%08x", random(), random());
  return text;
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

  const std::string wireguard = *program_data + "\\WireGuard";
  const std::string folder = wireguard + "\\Configurations";
  if (!env_.CreateProtectedFolder(wireguard, kProtectedFolderSddl) ||
      !env_.CreateProtectedFolder(folder, kProtectedFolderSddl)) {
    // Something is in the way (a file of that name, a link that cannot be
    // removed, no access): nothing can be saved there.
    PluginLog("Failed to save config file");
    return std::string();
  }
  PluginLog("Config directory: " + folder);

  std::string file = folder + "\\" + TunnelName() + ".conf";
  const std::string temporary = file + "." + RandomHex() + ".tmp";
  if (!env_.WriteFile(temporary, WithCrLf(config), kConfigFileSddl).ok() ||
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
