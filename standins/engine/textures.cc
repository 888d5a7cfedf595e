// External textures: registration with ids unique in the process, frame
// notifications that make the engine pull a frame (on the loop thread), and
// unregistration whose completion runs once, on the loop thread.
#include "standins/engine/engine_objects.h"
#include "standins/engine/published_records.h"

namespace standin {
namespace {

struct TextureCounters {
  std::mutex lock;
  int64_t next_id = 1;
  std::map<int64_t, int64_t> frames_pulled;
};

TextureCounters& Counters() {
  static TextureCounters* counters = new TextureCounters();
  return *counters;
}

namespace pub = published;

using FrameRequest = const void* (*)(size_t, size_t, void*);
using ReleaseCallback = void (*)(void*);

// Reads the host's texture record by the library's layout; false when it
// describes nothing the library can pull frames from.
bool ReadTextureSource(const void* info, TextureSource* source) {
  const unsigned char* config = static_cast<const unsigned char*>(info) + pub::kTextureConfig;
  source->kind = pub::Read<int32_t>(info, pub::kTextureKind);
  switch (source->kind) {
    case 0:
      source->request = pub::Read<FrameRequest>(config, pub::kPixelConfigRequest);
      source->user_data = pub::Read<void*>(config, pub::kPixelConfigUserData);
      return source->request != nullptr;
    case 1:
      if (pub::Read<size_t>(config, pub::kGpuConfigStructSize) < pub::kGpuConfigRecordSize) {
        return false;
      }
      source->surface_type = pub::Read<int32_t>(config, pub::kGpuConfigSurfaceType);
      source->request = pub::Read<FrameRequest>(config, pub::kGpuConfigRequest);
      source->user_data = pub::Read<void*>(config, pub::kGpuConfigUserData);
      return source->request != nullptr;
  }
  return false;
}

// Asks the texture's source for one frame, as a compositor would, and hands
// the frame straight back through the frame record's release callback.
void PullFrame(const TextureSource& source, int64_t texture_id) {
  const size_t width = 64, height = 64;
  const void* frame = source.request(width, height, source.user_data);
  if (frame) {
    const bool pixels = source.kind == 0;
    auto release =
        pub::Read<ReleaseCallback>(frame, pixels ? pub::kPixelBufferRelease : pub::kSurfaceRelease);
    void* context = pub::Read<void*>(
        frame, pixels ? pub::kPixelBufferReleaseContext : pub::kSurfaceReleaseContext);
    if (release) release(context);
  }
  TextureCounters& counters = Counters();
  std::lock_guard<std::mutex> guard(counters.lock);
  ++counters.frames_pulled[texture_id];
}

}  // namespace

int64_t TextureFramesPulled(int64_t texture_id) {
  TextureCounters& counters = Counters();
  std::lock_guard<std::mutex> guard(counters.lock);
  auto found = counters.frames_pulled.find(texture_id);
  return found == counters.frames_pulled.end() ? 0 : found->second;
}

}  // namespace standin

using standin::CountCall;

extern "C" {

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, const FlutterDesktopTextureInfo* info) {
  CountCall(__func__);
  standin::TextureSource source;
  if (!registrar || !info || !standin::ReadTextureSource(info, &source)) return -1;
  standin::TextureCounters& counters = standin::Counters();
  int64_t id;
  {
    std::lock_guard<std::mutex> guard(counters.lock);
    id = counters.next_id++;
    counters.frames_pulled[id] = 0;
  }
  std::lock_guard<std::mutex> guard(registrar->lock);
  registrar->textures[id] = source;
  return id;
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id) {
  CountCall(__func__);
  if (!registrar || !registrar->engine || registrar->engine->shut_down) return false;
  {
    std::lock_guard<std::mutex> guard(registrar->lock);
    if (registrar->textures.count(texture_id) == 0) return false;
  }
  FlutterDesktopTextureRegistrar* owner = registrar;
  registrar->engine->tasks.Post([owner, texture_id] {
    standin::TextureSource source;
    {
      std::lock_guard<std::mutex> guard(owner->lock);
      auto found = owner->textures.find(texture_id);
      if (found == owner->textures.end()) return;  // unregistered in the meantime
      source = found->second;
    }
    standin::PullFrame(source, texture_id);
  });
  return true;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id,
    FlutterDesktopOnTextureUnregistered callback, void* user_data) {
  CountCall(__func__);
  if (!registrar) return;
  {
    std::lock_guard<std::mutex> guard(registrar->lock);
    registrar->textures.erase(texture_id);
  }
  // Whether or not it existed, the texture is gone now: report it once.
  if (callback && registrar->engine) {
    registrar->engine->tasks.Post([callback, user_data] { callback(user_data); });
  } else if (callback) {
    callback(user_data);
  }
}

}  // extern "C"
