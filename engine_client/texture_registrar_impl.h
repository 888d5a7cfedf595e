// TextureRegistrar over the engine library's texture registrar handle.
#ifndef ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_IMPL_H_
#define ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_IMPL_H_

#include "engine_client/flutter_desktop_api.h"
#include "engine_client/texture_registrar.h"

namespace flutter {

class TextureRegistrarImpl : public TextureRegistrar {
 public:
  // |registrar| is not owned.
  explicit TextureRegistrarImpl(FlutterDesktopTextureRegistrarRef registrar);
  ~TextureRegistrarImpl() override;

  TextureRegistrarImpl(const TextureRegistrarImpl&) = delete;
  TextureRegistrarImpl& operator=(const TextureRegistrarImpl&) = delete;

  int64_t AddTexture(TextureSource* source) override;
  bool NotifyFrameAvailable(int64_t texture_id) override;
  bool RemoveTexture(int64_t texture_id) override;
  void RemoveTexture(int64_t texture_id, std::function<void()> on_removed) override;

  // The functions handed to the engine library. |user_data| is the
  // registered TextureSource, respectively the heap copy of a completion.
  static const FlutterDesktopPixelBuffer* ForwardPixelBufferRequest(size_t width, size_t height,
                                                                    void* user_data);
  static const FlutterDesktopGpuSurfaceDescriptor* ForwardSurfaceRequest(size_t width,
                                                                         size_t height,
                                                                         void* user_data);
  static void ForwardUnregistered(void* user_data);

 private:
  FlutterDesktopTextureRegistrarRef registrar_;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_TEXTURE_REGISTRAR_IMPL_H_
