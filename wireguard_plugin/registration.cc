// WireguardPluginRegisterWithRegistrar: attaches the plugin to a running
// engine through the registrar the engine handed out for "WireguardPlugin".
#include "wireguard_plugin/plugin_registration.h"

#include "engine_client/plugin_registrar.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/plugin_env.h"

void WireguardPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  flutter::PluginRegistrarWindows* wrapper = RegistrarCache::Instance().GetRegistrar(registrar);
  WireguardPluginHolder::Instance().Store(
      CreateBoundWireguardPlugin(wrapper->GetMessenger(), SystemPluginEnv()));
}
