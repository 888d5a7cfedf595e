// Creates a channel-bound WireguardPlugin and keeps the registered one.
#include "wireguard_plugin/plugin_binding.h"

#include <utility>

#include "codec/method_channel.h"
#include "codec/standard_method_codec.h"

std::unique_ptr<WireguardPlugin> CreateBoundWireguardPlugin(flutter::BinaryMessenger* messenger,
                                                            PluginEnv& env) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::ForSerializer(nullptr);
  auto channel = std::make_unique<MethodCallChannel>(messenger, kWireguardChannelName, &codec);
  auto plugin = std::make_unique<WireguardPlugin>(std::move(channel), env);
  plugin->channel()->SetCallHandler(
      [link = plugin->link()](const flutter::MethodCall& call,
                              std::unique_ptr<flutter::MethodResult> result) {
        if (WireguardPlugin* target = link->load()) {
          target->EnqueueMethodCall(call, std::move(result));
        } else {
          result->NotImplemented();  // the plugin is gone: as for a channel without one
        }
      });
  return plugin;
}

WireguardPluginHolder& WireguardPluginHolder::Instance() {
  static WireguardPluginHolder holder;
  return holder;
}

void WireguardPluginHolder::Store(std::unique_ptr<WireguardPlugin> plugin) {
  std::unique_ptr<WireguardPlugin> previous = std::move(plugin_);
  plugin_ = std::move(plugin);
  // |previous| (and its channel) is destroyed here, after the swap.
}
