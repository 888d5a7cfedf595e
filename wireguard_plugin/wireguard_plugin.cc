#include "wireguard_plugin/wireguard_plugin.h"

#include <utility>

#include "codec/method_channel.h"

WireguardPlugin::WireguardPlugin(std::unique_ptr<MethodCallChannel> channel, PluginEnv& env)
    : channel_(std::move(channel)), env_(env) {}

WireguardPlugin::~WireguardPlugin() = default;
