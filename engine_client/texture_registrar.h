// External textures: native code hands frames to the UI. A texture is
// registered once, the engine pulls frames from it through the source's
// function, and the native side signals when a new frame is ready.
#ifndef ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_H_
#define ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <variant>

#include "engine_client/flutter_desktop_api.h"

namespace flutter {

// Frames as CPU pixel buffers. The function gets the size the engine wants
// and returns the current frame, or null when there is none.
struct PixelBufferSource {
  using CopyBufferCallback =
      std::function<const FlutterDesktopPixelBuffer*(size_t width, size_t height)>;
  explicit PixelBufferSource(CopyBufferCallback copy_buffer)
      : copy_buffer(std::move(copy_buffer)) {}
  CopyBufferCallback copy_buffer;
};

// Frames as GPU surfaces of one surface type.
struct GpuSurfaceSource {
  using ObtainDescriptorCallback =
      std::function<const FlutterDesktopGpuSurfaceDescriptor*(size_t width, size_t height)>;
  GpuSurfaceSource(FlutterDesktopGpuSurfaceType surface_type,
                   ObtainDescriptorCallback obtain_descriptor)
      : surface_type(surface_type), obtain_descriptor(std::move(obtain_descriptor)) {}
  FlutterDesktopGpuSurfaceType surface_type;
  ObtainDescriptorCallback obtain_descriptor;
};

// The caller owns a registered source and keeps it alive, at the same
// address, until the texture is removed: the engine keeps its address.
using TextureSource = std::variant<PixelBufferSource, GpuSurfaceSource>;

class TextureRegistrar {
 public:
  virtual ~TextureRegistrar();

  // Registers |source| and returns the texture's id, or -1 when |source| is
  // missing or unusable.
  virtual int64_t AddTexture(TextureSource* source) = 0;

  // Tells the engine that texture |texture_id| has a new frame.
  virtual bool NotifyFrameAvailable(int64_t texture_id) = 0;

  // Unregisters the texture; always returns true.
  virtual bool RemoveTexture(int64_t texture_id) = 0;

  // Unregisters the texture; a non-empty |on_removed| runs once, when the
  // engine reports the texture gone (possibly on another thread).
  virtual void RemoveTexture(int64_t texture_id, std::function<void()> on_removed) = 0;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_H_
