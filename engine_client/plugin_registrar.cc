// PluginRegistrar, PluginRegistrarWindows and the process-wide RegistrarCache.
#include "engine_client/plugin_registrar.h"

#include <utility>

namespace flutter {

Plugin::~Plugin() = default;

PluginRegistrar::PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar)
    : registrar_handle_(registrar),
      messenger_(std::make_unique<BinaryMessengerImpl>(
          FlutterDesktopPluginRegistrarGetMessenger(registrar))),
      texture_registrar_(std::make_unique<TextureRegistrarImpl>(
          FlutterDesktopRegistrarGetTextureRegistrar(registrar))) {}

PluginRegistrar::~PluginRegistrar() {
  // Plugins may still use the messenger while they are torn down.
  ClearPlugins();
  messenger_.reset();
}

void PluginRegistrar::AddPlugin(std::unique_ptr<Plugin> plugin) {
  if (plugin) plugins_.insert(std::move(plugin));
}

void PluginRegistrar::ClearPlugins() {
  // Moved out first, so a plugin's destructor sees a consistent registrar.
  std::set<std::unique_ptr<Plugin>> plugins = std::move(plugins_);
  plugins_.clear();
}

PluginRegistrarWindows::PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar)
    : PluginRegistrar(registrar) {
  FlutterDesktopViewRef view = FlutterDesktopPluginRegistrarGetView(registrar);
  if (view != nullptr) view_ = std::make_unique<FlutterView>(view);
}

PluginRegistrarWindows::~PluginRegistrarWindows() {
  ClearPlugins();
  view_.reset();
}

}  // namespace flutter

RegistrarCache& RegistrarCache::Instance() {
  // Created on first use (thread-safe) and never destroyed: destruction
  // handlers may still arrive while the process exits.
  static RegistrarCache* const cache = new RegistrarCache();
  return *cache;
}

flutter::PluginRegistrarWindows* RegistrarCache::GetRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  // A null handle has no registrar to wrap (an engine that is not running).
  if (registrar == nullptr) return nullptr;
  auto fresh = std::make_unique<flutter::PluginRegistrarWindows>(registrar);
  // A wrapper already cached for this handle wins; |fresh| is then dropped.
  auto entry = registrars_.try_emplace(registrar, std::move(fresh)).first;
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar,
                                                     &RegistrarCache::OnRegistrarDestroyed);
  return entry->second.get();
}

void RegistrarCache::OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef registrar) {
  // Taken out of the map before it is destroyed, so plugins being torn down
  // can still ask the cache for other registrars.
  auto node = Instance().registrars_.extract(registrar);
}
