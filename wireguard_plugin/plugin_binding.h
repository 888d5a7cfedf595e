// Binding a WireguardPlugin to a messenger, and the process-wide slot that
// keeps the registered plugin alive.
//
// Both are free of the engine library so that the whole road of a call
// (encoded message in, encoded reply out) can be exercised over any
// BinaryMessenger; registration.cc adds the registrar lookup on Windows.
#ifndef ORVA_WIREGUARD_PLUGIN_PLUGIN_BINDING_H_
#define ORVA_WIREGUARD_PLUGIN_PLUGIN_BINDING_H_

#include <memory>

#include "wireguard_plugin/plugin_env.h"
#include "wireguard_plugin/wireguard_plugin.h"

namespace flutter {
class BinaryMessenger;
}  // namespace flutter

// The method channel the UI calls the plugin on.
inline constexpr char kWireguardChannelName[] = "com.orva_divuv/wireguard";

// Creates a plugin whose channel "com.orva_divuv/wireguard" uses the shared
// standard method codec over |messenger|, and installs the channel's handler,
// which queues every call for the plugin's worker (EnqueueMethodCall). The
// handler reaches the plugin through its link(): once the plugin is gone,
// calls are answered "not implemented", as on a channel without a plugin.
std::unique_ptr<WireguardPlugin> CreateBoundWireguardPlugin(flutter::BinaryMessenger* messenger,
                                                            PluginEnv& env);

// The process-wide owning slot for the registered plugin. Storing a plugin
// destroys the one stored before, after the new one is in place; the slot's
// plugin is destroyed at process exit.
class WireguardPluginHolder {
 public:
  static WireguardPluginHolder& Instance();

  void Store(std::unique_ptr<WireguardPlugin> plugin);
  WireguardPlugin* plugin() const { return plugin_.get(); }

 private:
  std::unique_ptr<WireguardPlugin> plugin_;
};

#endif  // ORVA_WIREGUARD_PLUGIN_PLUGIN_BINDING_H_
