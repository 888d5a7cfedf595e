// Engines and their plugin registrars.
//
// An engine starts when it is created; whether it can really run (its
// runtime files exist) is decided when a view controller is created for it.
// Shutting an engine down ends its messenger's availability and destroys its
// registrars, running their destruction handlers in creation order.
#include <cstdio>

#include "standins/engine/engine_objects.h"
#include "standins/engine/published_records.h"

namespace standin {
namespace {

struct LastProperties {
  std::mutex lock;
  int32_t argument_count = 0;
  bool argument_array_was_null = true;
  int32_t options[2] = {0, 0};
};

LastProperties& TheLastProperties() {
  static LastProperties* last = new LastProperties();
  return *last;
}

std::wstring CopyWide(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

void ShutDownEngine(FlutterDesktopEngine* engine) {
  if (!engine || engine->shut_down) return;
  engine->shut_down = true;
  SetMessengerAvailable(engine->messenger, false);
  // A handler may ask its registrar for things while it runs, so registrars
  // stay allocated until the engine itself is destroyed.
  for (auto& registrar : engine->registrars) {
    if (registrar->on_destroyed) registrar->on_destroyed(registrar.get());
  }
}

void DestroyEngine(FlutterDesktopEngine* engine) {
  ShutDownEngine(engine);
  // Replies and completions still queued run now, each exactly once.
  engine->tasks.RunAll();
  DetachMessenger(engine->messenger);
  engine->messenger = nullptr;
  delete engine;
}

void RunNextFrameCallback(FlutterDesktopEngine* engine) {
  FlutterDesktopOnNextFrame callback = engine->next_frame_callback;
  void* user_data = engine->next_frame_user_data;
  engine->next_frame_callback = nullptr;
  engine->next_frame_user_data = nullptr;
  if (callback) callback(user_data);
}

}  // namespace standin

using standin::CountCall;

extern "C" {

int32_t OrvaEngineLastArgumentCount(void) {
  standin::LastProperties& last = standin::TheLastProperties();
  std::lock_guard<std::mutex> guard(last.lock);
  return last.argument_count;
}

int32_t OrvaEngineLastEngineOption(int32_t index) {
  standin::LastProperties& last = standin::TheLastProperties();
  std::lock_guard<std::mutex> guard(last.lock);
  return index == 0 || index == 1 ? last.options[index] : -1;
}

bool OrvaEngineLastArgumentArrayWasNull(void) {
  standin::LastProperties& last = standin::TheLastProperties();
  std::lock_guard<std::mutex> guard(last.lock);
  return last.argument_array_was_null;
}

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  CountCall(__func__);
  if (!properties) {
    std::fprintf(stderr, "flutter_windows (stand-in): engine properties missing\n");
    return nullptr;
  }
  // Read by the library's own layout, not through the host's declaration.
  namespace pub = standin::published;
  const auto argument_count = pub::Read<int32_t>(properties, pub::kPropertiesArgumentCount);
  const auto arguments = pub::Read<const char**>(properties, pub::kPropertiesArguments);
  const auto entrypoint = pub::Read<const char*>(properties, pub::kPropertiesEntrypoint);
  {
    standin::LastProperties& last = standin::TheLastProperties();
    std::lock_guard<std::mutex> guard(last.lock);
    last.argument_count = argument_count;
    last.argument_array_was_null = arguments == nullptr;
    last.options[0] = pub::Read<int32_t>(properties, pub::kPropertiesGpuPreference);
    last.options[1] = pub::Read<int32_t>(properties, pub::kPropertiesUiThreadPolicy);
  }
  auto* engine = new FlutterDesktopEngine();
  engine->messenger = standin::NewMessenger(engine);
  engine->texture_registrar.engine = engine;
  engine->assets_path =
      standin::CopyWide(pub::Read<const wchar_t*>(properties, pub::kPropertiesAssetsPath));
  engine->icu_data_path =
      standin::CopyWide(pub::Read<const wchar_t*>(properties, pub::kPropertiesIcuDataPath));
  engine->aot_library_path =
      standin::CopyWide(pub::Read<const wchar_t*>(properties, pub::kPropertiesAotLibraryPath));
  engine->entrypoint = entrypoint ? entrypoint : "";
  if (arguments) {
    for (int32_t i = 0; i < argument_count; ++i) {
      engine->entrypoint_arguments.push_back(arguments[i] ? arguments[i] : "");
    }
  }
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  CountCall(__func__);
  if (!engine) return false;
  if (engine->controller) {
    // Owned by its view controller: FlutterDesktopViewControllerDestroy ends it.
    std::fprintf(stderr, "flutter_windows (stand-in): engine is owned by a view controller\n");
    return false;
  }
  standin::DestroyEngine(engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  CountCall(__func__);
  return engine ? engine->messenger : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  CountCall(__func__);
  if (!engine || !plugin_name) return nullptr;
  standin::RecordRegistrarRequest(plugin_name);
  if (engine->shut_down) return nullptr;
  for (auto& registrar : engine->registrars) {
    if (registrar->plugin_name == plugin_name) return registrar.get();
  }
  auto registrar = std::make_unique<FlutterDesktopPluginRegistrar>();
  registrar->engine = engine;
  registrar->plugin_name = plugin_name;
  engine->registrars.push_back(std::move(registrar));
  return engine->registrars.back().get();
}

void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              FlutterDesktopOnNextFrame callback, void* user_data) {
  CountCall(__func__);
  if (!engine) return;
  engine->next_frame_callback = callback;
  engine->next_frame_user_data = user_data;
  // A running UI keeps producing frames; the armed callback gets one soon.
  if (callback && engine->controller) standin::RequestFrame(engine->controller);
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  CountCall(__func__);
  if (engine && engine->controller) standin::RequestFrame(engine->controller);
}

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar) {
  CountCall(__func__);
  return registrar && registrar->engine ? registrar->engine->messenger : nullptr;
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  CountCall(__func__);
  return registrar && registrar->engine ? &registrar->engine->texture_registrar : nullptr;
}

FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef registrar) {
  CountCall(__func__);
  if (!registrar || !registrar->engine || !registrar->engine->controller) return nullptr;
  return standin::ControllerView(registrar->engine->controller);
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar, FlutterDesktopOnPluginRegistrarDestroyed callback) {
  CountCall(__func__);
  if (registrar) registrar->on_destroyed = callback;
}

}  // extern "C"
