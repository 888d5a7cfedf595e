// The objects behind the engine library's opaque handles, and the internal
// operations the library's files share.
//
// Threads: engines, registrars, view controllers and textures are used on the
// thread that created the engine (the thread running the window's message
// loop). Only the messenger's reference count, availability lock and
// response path may be used from other threads; whatever they must call back
// is posted to the engine's task queue and runs on the loop thread.
#ifndef ORVA_STANDINS_ENGINE_ENGINE_OBJECTS_H_
#define ORVA_STANDINS_ENGINE_ENGINE_OBJECTS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/text.h"
#include "engine_client/flutter_desktop_api.h"
#include "standins/engine/engine_controls.h"
#include "standins/engine/task_queue.h"

struct FlutterDesktopMessenger {
  // The engine holds one reference; every AddRef adds one. The object is
  // freed when the count reaches zero, possibly after its engine is gone.
  std::atomic<int32_t> references{1};
  // Held by FlutterDesktopMessengerLock; availability changes only under it.
  std::recursive_mutex availability_lock;
  std::atomic<bool> available{true};
  // Channel callbacks, set on the loop thread, read when delivering.
  struct ChannelCallback {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  std::mutex callbacks_lock;
  std::map<std::string, ChannelCallback> callbacks;
  // Null once the engine has been destroyed (guarded by availability_lock).
  FlutterDesktopEngine* engine = nullptr;
};

namespace standin {
// A registered texture as the library read it from the host's record.
struct TextureSource {
  int32_t kind = -1;  // 0 pixel buffer, 1 GPU surface
  int32_t surface_type = 0;
  // Both request kinds have the shape (width, height, user data) -> record.
  const void* (*request)(size_t width, size_t height, void* user_data) = nullptr;
  void* user_data = nullptr;
};
}  // namespace standin

struct FlutterDesktopTextureRegistrar {
  FlutterDesktopEngine* engine = nullptr;
  // Frame notifications may come from any thread.
  std::mutex lock;
  std::map<int64_t, standin::TextureSource> textures;
};

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopEngine* engine = nullptr;
  std::string plugin_name;
  FlutterDesktopOnPluginRegistrarDestroyed on_destroyed = nullptr;
};

struct FlutterDesktopEngine {
  FlutterDesktopMessenger* messenger = nullptr;
  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  std::string entrypoint;
  std::vector<std::string> entrypoint_arguments;
  // Work that must run on the loop thread: replies to sent messages, texture
  // frame pulls and unregistration completions.
  standin::TaskQueue tasks;
  // In creation order; destruction handlers run in that order at shut-down.
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;
  FlutterDesktopTextureRegistrar texture_registrar;
  FlutterDesktopOnNextFrame next_frame_callback = nullptr;
  void* next_frame_user_data = nullptr;
  FlutterDesktopViewController* controller = nullptr;
  bool shut_down = false;
  int64_t frames_rendered = 0;
};

namespace standin {

// Counts one call of an exported function (see OrvaEngineCallCount).
void CountCall(const char* function_name);
int32_t CallCount(const char* function_name);
void RecordRegistrarRequest(const std::string& plugin_name);
std::string RegistrarRequests();
void ResetRecords();

// Messenger internals (messenger.cc).
FlutterDesktopMessenger* NewMessenger(FlutterDesktopEngine* engine);
void SetMessengerAvailable(FlutterDesktopMessenger* messenger, bool available);
// Drops the engine's reference; the messenger lives on while others hold it.
void DetachMessenger(FlutterDesktopMessenger* messenger);
// Called once, from whichever thread sent it, with the token of a message
// whose first response has just arrived.
using ResponseListener = std::function<void(int64_t token)>;
// Delivers a message to the channel's callback as the UI would and returns
// its token, or 0 when nothing was delivered (no callback on the channel, or
// the messenger is no longer available). The callback runs before return.
int64_t DeliverMessage(FlutterDesktopMessenger* messenger, const std::string& channel,
                       const uint8_t* bytes, size_t size, ResponseListener listener);
int32_t ResponseCount(int64_t token);
// Copies the first response of |token|; false when there is none yet.
bool CopyResponse(int64_t token, std::vector<uint8_t>* response);
// Forgets a message; later responses to it are dropped.
void ForgetMessage(int64_t token);

// Engine internals (engine.cc).
// Ends availability and runs the registrars' destruction handlers; once.
void ShutDownEngine(FlutterDesktopEngine* engine);
void DestroyEngine(FlutterDesktopEngine* engine);
// Runs and disarms the next-frame callback, if one is armed.
void RunNextFrameCallback(FlutterDesktopEngine* engine);

// View internals (view_controller.cc).
void RequestFrame(FlutterDesktopViewController* controller);
void RenderFrameNow(FlutterDesktopViewController* controller);
FlutterDesktopViewRef ControllerView(FlutterDesktopViewController* controller);

// Texture internals (textures.cc).
int64_t TextureFramesPulled(int64_t texture_id);

// Runtime files (runtime_files.cc): empty when all are present, otherwise a
// line naming the first missing one.
std::string MissingRuntimeFile(const FlutterDesktopEngine& engine);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_ENGINE_OBJECTS_H_
