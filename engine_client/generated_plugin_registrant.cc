// The external plugins, in the order they are registered with the engine.
#include "engine_client/generated_plugin_registrant.h"

#include "engine_client/external_plugins.h"

namespace {

struct ExternalPlugin {
  const char* name;
  void (*register_with_registrar)(FlutterDesktopPluginRegistrarRef registrar);
};

const ExternalPlugin kExternalPlugins[] = {
    {"ConnectivityPlusWindowsPlugin", &ConnectivityPlusWindowsPluginRegisterWithRegistrar},
    {"FlutterSecureStorageWindowsPlugin", &FlutterSecureStorageWindowsPluginRegisterWithRegistrar},
    {"PermissionHandlerWindowsPlugin", &PermissionHandlerWindowsPluginRegisterWithRegistrar},
    {"UrlLauncherWindows", &UrlLauncherWindowsRegisterWithRegistrar},
};

}  // namespace

void RegisterGeneratedPlugins(flutter::PluginRegistry* registry) {
  if (registry == nullptr) return;
  for (const ExternalPlugin& plugin : kExternalPlugins) {
    plugin.register_with_registrar(registry->GetRegistrarForPlugin(plugin.name));
  }
}
