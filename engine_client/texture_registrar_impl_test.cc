// TextureRegistrarImpl against the fake engine library: the texture record
// the engine receives for each kind of source, and the one-shot completion
// of a removal.
#include "engine_client/texture_registrar_impl.h"

#include <gtest/gtest.h>

#include "engine_client/testing/fake_engine_library.h"

namespace flutter {
namespace {

TEST(TextureRegistrarImplTest, MissingSourceIsRefusedWithoutCallingTheEngine) {
  FlutterDesktopTextureRegistrar engine;
  TextureRegistrarImpl registrar(&engine);

  testing::internal::CaptureStderr();
  EXPECT_EQ(registrar.AddTexture(nullptr), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Attempting to register unknown texture variant.\n");
  EXPECT_EQ(engine.register_calls, 0);
}

TEST(TextureRegistrarImplTest, PixelBufferSourceIsRegisteredAndServesFrames) {
  FlutterDesktopTextureRegistrar engine;
  TextureRegistrarImpl registrar(&engine);
  FlutterDesktopPixelBuffer frame = {};
  size_t asked_width = 0, asked_height = 0;
  TextureSource source = PixelBufferSource([&](size_t width, size_t height) {
    asked_width = width;
    asked_height = height;
    return &frame;
  });

  const int64_t id = registrar.AddTexture(&source);

  EXPECT_EQ(id, 41);
  ASSERT_EQ(engine.register_calls, 1);
  const FlutterDesktopTextureInfo& info = engine.last_registered;
  EXPECT_EQ(info.kind, kFlutterDesktopPixelBufferTexture);
  ASSERT_NE(info.pixel_buffer.request, nullptr);
  EXPECT_EQ(info.pixel_buffer.request(640, 480, info.pixel_buffer.user_data), &frame);
  EXPECT_EQ(asked_width, 640u);
  EXPECT_EQ(asked_height, 480u);
}

TEST(TextureRegistrarImplTest, GpuSurfaceSourceCarriesItsTypeAndSize) {
  FlutterDesktopTextureRegistrar engine;
  TextureRegistrarImpl registrar(&engine);
  FlutterDesktopGpuSurfaceDescriptor descriptor = {};
  TextureSource source = GpuSurfaceSource(static_cast<FlutterDesktopGpuSurfaceType>(3),
                                          [&](size_t, size_t) { return &descriptor; });

  registrar.AddTexture(&source);

  const FlutterDesktopTextureInfo& info = engine.last_registered;
  EXPECT_EQ(info.kind, kFlutterDesktopGpuSurfaceTexture);
  EXPECT_EQ(info.gpu_surface.struct_size, 32u);
  EXPECT_EQ(info.gpu_surface.surface_type, 3);
  ASSERT_NE(info.gpu_surface.request, nullptr);
  EXPECT_EQ(info.gpu_surface.request(1, 1, info.gpu_surface.user_data), &descriptor);
}

TEST(TextureRegistrarImplTest, RemovalCompletionRunsOnceWhenTheEngineReportsIt) {
  FlutterDesktopTextureRegistrar engine;
  TextureRegistrarImpl registrar(&engine);

  // Without a completion: true even for an id never registered, and nothing
  // for the engine to call back.
  EXPECT_TRUE(registrar.RemoveTexture(99));
  ASSERT_EQ(engine.unregistrations.size(), 1u);
  EXPECT_EQ(engine.unregistrations[0].texture_id, 99);
  EXPECT_EQ(engine.unregistrations[0].callback, nullptr);

  int completions = 0;
  registrar.RemoveTexture(41, [&] { ++completions; });
  ASSERT_EQ(engine.unregistrations.size(), 2u);
  EXPECT_EQ(completions, 0);
  fake_engine::CompleteUnregistration(engine, 1);
  EXPECT_EQ(completions, 1);
}

}  // namespace
}  // namespace flutter
