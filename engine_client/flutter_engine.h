// An engine started from a ProjectBundle, with its messenger. It is the
// program's PluginRegistry and runs a one-shot callback on the next frame.
#ifndef ORVA_ENGINE_CLIENT_FLUTTER_ENGINE_H_
#define ORVA_ENGINE_CLIENT_FLUTTER_ENGINE_H_

#include <functional>
#include <memory>
#include <string>

#include "engine_client/binary_messenger.h"
#include "engine_client/binary_messenger_impl.h"
#include "engine_client/flutter_desktop_api.h"
#include "engine_client/plugin_registry.h"
#include "engine_client/project_bundle.h"

namespace flutter {

class FlutterEngine : public PluginRegistry {
 public:
  // Starts the engine. A failed start leaves a null handle, which the
  // engine library is then given unchanged.
  explicit FlutterEngine(const ProjectBundle& project);

  // Destroys the engine only while this object still owns its handle.
  ~FlutterEngine() override;

  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  // Hands the engine handle to the caller (a view controller), which from
  // now on owns it; this object keeps using the handle but never destroys it.
  FlutterDesktopEngineRef ReleaseEngineHandle();

  // Runs |callback| once, after the next frame is rendered. Arming again
  // before that frame replaces the earlier callback.
  void SetNextFrameCallback(std::function<void()> callback);

  void ReloadSystemFonts();

  // The engine's own messenger (plugins use their registrar's messenger).
  BinaryMessenger* GetMessenger();

  FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& plugin_name) override;

 private:
  static void OnNextFrame(void* user_data);

  FlutterDesktopEngineRef engine_handle_ = nullptr;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_FLUTTER_ENGINE_H_
