// Object faces for the engine library's plugin registrar handles.
//
// PluginRegistrar owns a messenger and a texture registrar over a handle;
// PluginRegistrarWindows adds the engine's view. RegistrarCache keeps exactly
// one PluginRegistrarWindows per handle, from the first request until the
// engine library reports that registrar destroyed (when its engine shuts
// down).
#ifndef ORVA_ENGINE_CLIENT_PLUGIN_REGISTRAR_H_
#define ORVA_ENGINE_CLIENT_PLUGIN_REGISTRAR_H_

#include <map>
#include <memory>
#include <set>

#include "engine_client/binary_messenger.h"
#include "engine_client/binary_messenger_impl.h"
#include "engine_client/flutter_desktop_api.h"
#include "engine_client/flutter_view.h"
#include "engine_client/texture_registrar.h"
#include "engine_client/texture_registrar_impl.h"

namespace flutter {

// A plugin whose lifetime a registrar manages.
class Plugin {
 public:
  virtual ~Plugin();
};

class PluginRegistrar {
 public:
  // |registrar| is not owned: the engine library owns it.
  explicit PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar);

  // Destroys the plugins first, while the messenger and texture registrar
  // still exist.
  virtual ~PluginRegistrar();

  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_handle_; }
  BinaryMessenger* GetMessenger() const { return messenger_.get(); }
  TextureRegistrar* GetTextureRegistrar() const { return texture_registrar_.get(); }

  // Keeps |plugin| until ClearPlugins() or the registrar's destruction.
  void AddPlugin(std::unique_ptr<Plugin> plugin);

  // Destroys every plugin kept here.
  void ClearPlugins();

 private:
  FlutterDesktopPluginRegistrarRef registrar_handle_;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  std::unique_ptr<TextureRegistrarImpl> texture_registrar_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

class PluginRegistrarWindows : public PluginRegistrar {
 public:
  explicit PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar);

  // Plugins go first, then the view, then the base part.
  ~PluginRegistrarWindows() override;

  // The engine's view, or null for a headless engine.
  FlutterView* GetView() { return view_.get(); }

 private:
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

// The process-wide cache of registrar wrappers, one per registrar handle.
// Used on the platform thread only; just its creation is thread-safe.
class RegistrarCache {
 public:
  static RegistrarCache& Instance();

  RegistrarCache(const RegistrarCache&) = delete;
  RegistrarCache& operator=(const RegistrarCache&) = delete;

  // The wrapper for |registrar|, made on first request. It belongs to the
  // cache and lives until the engine library destroys the handle.
  flutter::PluginRegistrarWindows* GetRegistrar(FlutterDesktopPluginRegistrarRef registrar);

  // The engine library's destruction handler: forgets, and destroys, the
  // wrapper for |registrar| (nothing when there is none).
  static void OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef registrar);

 private:
  RegistrarCache() = default;

  std::map<FlutterDesktopPluginRegistrarRef, std::unique_ptr<flutter::PluginRegistrarWindows>>
      registrars_;
};

#endif  // ORVA_ENGINE_CLIENT_PLUGIN_REGISTRAR_H_
