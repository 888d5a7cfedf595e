// External textures: registration with ids unique in the process, frame
// notifications that make the engine pull a frame (on the loop thread), and
// unregistration whose completion runs once, on the loop thread.
#include "standins/engine/engine_objects.h"

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

bool ValidTexture(const FlutterDesktopTextureInfo& info) {
  switch (info.kind) {
    case kFlutterDesktopPixelBufferTexture:
      return info.pixel_buffer.request != nullptr;
    case kFlutterDesktopGpuSurfaceTexture:
      return info.gpu_surface.struct_size >= sizeof(FlutterDesktopGpuSurfaceTextureConfig) &&
             info.gpu_surface.request != nullptr;
  }
  return false;
}

// Asks the texture's source for one frame, as a compositor would, and hands
// the frame straight back.
void PullFrame(const FlutterDesktopTextureInfo& info, int64_t texture_id) {
  const size_t width = 64, height = 64;
  if (info.kind == kFlutterDesktopPixelBufferTexture) {
    const FlutterDesktopPixelBuffer* frame =
        info.pixel_buffer.request(width, height, info.pixel_buffer.user_data);
    if (frame && frame->release) frame->release(frame->release_data);
  } else {
    const FlutterDesktopGpuSurfaceDescriptor* frame =
        info.gpu_surface.request(width, height, info.gpu_surface.user_data);
    if (frame && frame->release) frame->release(frame->release_data);
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
  if (!registrar || !info || !standin::ValidTexture(*info)) return -1;
  standin::TextureCounters& counters = standin::Counters();
  int64_t id;
  {
    std::lock_guard<std::mutex> guard(counters.lock);
    id = counters.next_id++;
    counters.frames_pulled[id] = 0;
  }
  std::lock_guard<std::mutex> guard(registrar->lock);
  registrar->textures[id] = *info;
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
    FlutterDesktopTextureInfo info;
    {
      std::lock_guard<std::mutex> guard(owner->lock);
      auto found = owner->textures.find(texture_id);
      if (found == owner->textures.end()) return;  // unregistered in the meantime
      info = found->second;
    }
    standin::PullFrame(info, texture_id);
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
