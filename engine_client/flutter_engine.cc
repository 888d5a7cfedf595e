// FlutterEngine: starting an engine from a ProjectBundle, its registrars and
// the next-frame hook.
#include "engine_client/flutter_engine.h"

#include <iostream>
#include <utility>
#include <vector>

namespace flutter {

FlutterEngine::FlutterEngine(const ProjectBundle& project) {
  // The properties record and the argument array only need to live through
  // the create call.
  std::vector<const char*> arguments;
  arguments.reserve(project.entrypoint_arguments.size());
  for (const std::string& argument : project.entrypoint_arguments) {
    arguments.push_back(argument.c_str());
  }
  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = project.assets_path.c_str();
  properties.icu_data_path = project.icu_data_path.c_str();
  properties.aot_library_path = project.aot_library_path.c_str();
  properties.entrypoint = project.entrypoint.c_str();
  properties.entrypoint_argc = static_cast<int>(arguments.size());
  properties.entrypoint_argv = arguments.empty() ? nullptr : arguments.data();
  // The two option words go into the last two fields unchanged.
  properties.gpu_preference = static_cast<FlutterDesktopGpuPreference>(project.engine_options[0]);
  properties.ui_thread_policy =
      static_cast<FlutterDesktopUIThreadPolicy>(project.engine_options[1]);

  engine_handle_ = FlutterDesktopEngineCreate(&properties);
  messenger_ =
      std::make_unique<BinaryMessengerImpl>(FlutterDesktopEngineGetMessenger(engine_handle_));
}

FlutterEngine::~FlutterEngine() {
  if (engine_handle_ != nullptr && owns_engine_) FlutterDesktopEngineDestroy(engine_handle_);
  engine_handle_ = nullptr;
  next_frame_callback_ = nullptr;
  messenger_.reset();
}

FlutterDesktopEngineRef FlutterEngine::ReleaseEngineHandle() {
  owns_engine_ = false;
  return engine_handle_;
}

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  FlutterDesktopEngineSetNextFrameCallback(engine_handle_, &FlutterEngine::OnNextFrame, this);
}

void FlutterEngine::OnNextFrame(void* user_data) {
  auto* engine = static_cast<FlutterEngine*>(user_data);
  // Taken out before it runs, so it runs at most once even if it re-arms.
  std::function<void()> callback = std::move(engine->next_frame_callback_);
  engine->next_frame_callback_ = nullptr;
  if (callback) callback();
}

void FlutterEngine::ReloadSystemFonts() { FlutterDesktopEngineReloadSystemFonts(engine_handle_); }

BinaryMessenger* FlutterEngine::GetMessenger() { return messenger_.get(); }

FlutterDesktopPluginRegistrarRef FlutterEngine::GetRegistrarForPlugin(
    const std::string& plugin_name) {
  if (engine_handle_ == nullptr) {
    std::cerr << "Cannot get plugin registrar on an engine that isn't running; call Run first."
              << std::endl;
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_handle_, plugin_name.c_str());
}

}  // namespace flutter
