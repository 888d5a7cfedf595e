// WireguardPluginRegisterWithRegistrar: attaches the plugin to a running
// engine through the registrar the engine handed out for "WireguardPlugin".
#include "wireguard_plugin/plugin_registration.h"

#include <windows.h>

#include <iostream>
#include <memory>

#include "engine_client/plugin_registrar.h"
#include "wireguard_plugin/plugin_binding.h"
#include "wireguard_plugin/plugin_env.h"

namespace {

// Delivers the messages that other threads have sent to this thread's
// windows, without taking any posted message off the queue. The worker may be
// waiting for one (the environment broadcast after an installation) while
// this thread waits for the worker.
void DeliverSentMessages() {
  MSG message;
  // Any PeekMessage call delivers the pending sent messages first.
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// Lives in the registrar, which the engine library destroys when the engine
// shuts down (the window is being destroyed): the plugin's worker is stopped
// then, so that closing the window never waits for a tool run, a sleep or an
// installation, and no call outlives the engine.
class WorkerStopper : public flutter::Plugin {
 public:
  explicit WorkerStopper(WireguardPlugin* plugin) : plugin_(plugin) {}
  ~WorkerStopper() override {
    // A later registration may have replaced (and destroyed) our plugin.
    if (WireguardPluginHolder::Instance().plugin() == plugin_) {
      plugin_->Shutdown(&DeliverSentMessages);
    }
  }

 private:
  WireguardPlugin* plugin_;
};

}  // namespace

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
  std::unique_ptr<WireguardPlugin> plugin =
      CreateBoundWireguardPlugin(wrapper->GetMessenger(), SystemPluginEnv());
  // The log file's start line goes first, ahead of every call.
  plugin->StartSupportLog(ORVA_PROGRAM_VERSION);
  wrapper->AddPlugin(std::make_unique<WorkerStopper>(plugin.get()));
  WireguardPluginHolder::Instance().Store(std::move(plugin));
}
