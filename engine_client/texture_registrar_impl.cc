// TextureRegistrarImpl: registers TextureSources with the engine library.
#include "engine_client/texture_registrar_impl.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

namespace flutter {

TextureRegistrarImpl::TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef registrar)
    : registrar_(registrar) {}

TextureRegistrarImpl::~TextureRegistrarImpl() = default;

int64_t TextureRegistrarImpl::AddTexture(TextureSource* source) {
  FlutterDesktopTextureInfo info;
  std::memset(&info, 0, sizeof(info));
  if (source != nullptr && source->index() == 0) {
    info.kind = kFlutterDesktopPixelBufferTexture;
    info.pixel_buffer.request = &TextureRegistrarImpl::ForwardPixelBufferRequest;
    info.pixel_buffer.user_data = source;
  } else if (source != nullptr && source->index() == 1) {
    info.kind = kFlutterDesktopGpuSurfaceTexture;
    info.gpu_surface.struct_size = sizeof(FlutterDesktopGpuSurfaceTextureConfig);
    info.gpu_surface.surface_type = std::get<GpuSurfaceSource>(*source).surface_type;
    info.gpu_surface.request = &TextureRegistrarImpl::ForwardSurfaceRequest;
    info.gpu_surface.user_data = source;
  } else {
    std::cerr << "Attempting to register unknown texture variant." << std::endl;
    return -1;
  }
  return FlutterDesktopTextureRegistrarRegisterExternalTexture(registrar_, &info);
}

bool TextureRegistrarImpl::NotifyFrameAvailable(int64_t texture_id) {
  return FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(registrar_, texture_id);
}

bool TextureRegistrarImpl::RemoveTexture(int64_t texture_id) {
  RemoveTexture(texture_id, nullptr);
  return true;
}

void TextureRegistrarImpl::RemoveTexture(int64_t texture_id, std::function<void()> on_removed) {
  if (!on_removed) {
    FlutterDesktopTextureRegistrarUnregisterExternalTexture(registrar_, texture_id, nullptr,
                                                            nullptr);
    return;
  }
  auto* heap_callback = new std::function<void()>(std::move(on_removed));
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(
      registrar_, texture_id, &TextureRegistrarImpl::ForwardUnregistered, heap_callback);
}

const FlutterDesktopPixelBuffer* TextureRegistrarImpl::ForwardPixelBufferRequest(size_t width,
                                                                                 size_t height,
                                                                                 void* user_data) {
  auto* source = static_cast<TextureSource*>(user_data);
  auto* pixels = source != nullptr ? std::get_if<PixelBufferSource>(source) : nullptr;
  if (pixels == nullptr || !pixels->copy_buffer) return nullptr;
  return pixels->copy_buffer(width, height);
}

const FlutterDesktopGpuSurfaceDescriptor* TextureRegistrarImpl::ForwardSurfaceRequest(
    size_t width, size_t height, void* user_data) {
  auto* source = static_cast<TextureSource*>(user_data);
  auto* surface = source != nullptr ? std::get_if<GpuSurfaceSource>(source) : nullptr;
  if (surface == nullptr || !surface->obtain_descriptor) return nullptr;
  return surface->obtain_descriptor(width, height);
}

void TextureRegistrarImpl::ForwardUnregistered(void* user_data) {
  std::unique_ptr<std::function<void()>> callback(static_cast<std::function<void()>*>(user_data));
  if (callback && *callback) (*callback)();
}

}  // namespace flutter
