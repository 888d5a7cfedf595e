// WireguardPluginRegisterWithRegistrar: attaches the plugin to a running
// engine through the registrar the engine handed out for "WireguardPlugin".
#include "wireguard_plugin/plugin_registration.h"

#include <iostream>

#include "engine_client/plugin_registrar.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/plugin_env.h"

void WireguardPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  flutter::PluginRegistrarWindows* wrapper = RegistrarCache::Instance().GetRegistrar(registrar);
  if (wrapper == nullptr) {
    // No registrar (an engine that is not running): the window still comes
    // up, only without the plugin.
    std::cerr << "WireguardPlugin: no plugin registrar from the engine; the plugin is not "
                 "registered."
              << std::endl;
    return;
  }
  WireguardPluginHolder::Instance().Store(
      CreateBoundWireguardPlugin(wrapper->GetMessenger(), SystemPluginEnv()));
}
