// The stand-in engine library reads the records the host hands it by byte
// offset (published_records.h), never through the host's declarations:
// incoming messages and their response handles, and texture info with its
// pixel buffers. These tests hand it records built from the host's header, so
// a record declared wrongly on either side fails here. The engine properties
// are read on every start through the host's wrapper (engine_client's tests).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine_client/flutter_desktop_api.h"
#include "engine_client/testing/standin_support.h"

namespace {

FlutterDesktopEngineRef CreateEngine() {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.entrypoint = "";
  return FlutterDesktopEngineCreate(&properties);
}

// Records what a channel callback received.
struct Received {
  int calls = 0;
  std::vector<uint8_t> bytes;
  std::string channel;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
};

void Record(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* user_data) {
  auto* received = static_cast<Received*>(user_data);
  ++received->calls;
  received->channel = message->channel;
  received->bytes.assign(message->message, message->message + message->message_size);
  received->handle = message->response_handle;
}

TEST(Messenger, EachMessageKeepsItsFirstResponseAndCountsEveryOther) {
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  Received received;
  const uint8_t message[] = {7, 1, 2};
  EXPECT_EQ(OrvaEngineDeliverMessage(messenger, "orva/test", message, 3), 0);  // no callback yet
  FlutterDesktopMessengerSetCallback(messenger, "orva/test", Record, &received);
  int64_t token = OrvaEngineDeliverMessage(messenger, "orva/test", message, 3);
  ASSERT_GT(token, 0);
  EXPECT_EQ(received.calls, 1);
  EXPECT_EQ(received.channel, "orva/test");
  EXPECT_EQ(received.bytes, std::vector<uint8_t>({7, 1, 2}));
  EXPECT_EQ(OrvaEngineResponseCount(token), 0);
  EXPECT_TRUE(standin_support::ResponseTo(token).empty());
  const uint8_t first[] = {0, 1};
  const uint8_t second[] = {1, 2, 3};
  FlutterDesktopMessengerSendResponse(messenger, received.handle, first, 2);
  FlutterDesktopMessengerSendResponse(messenger, received.handle, second, 3);
  EXPECT_EQ(OrvaEngineResponseCount(token), 2);
  EXPECT_EQ(standin_support::ResponseTo(token), std::vector<uint8_t>({0, 1}));
  // An empty response is a response of zero bytes.
  int64_t empty = OrvaEngineDeliverMessage(messenger, "orva/test", nullptr, 0);
  EXPECT_TRUE(received.bytes.empty());
  FlutterDesktopMessengerSendResponse(messenger, received.handle, nullptr, 0);
  EXPECT_EQ(OrvaEngineResponseCount(empty), 1);
  EXPECT_TRUE(standin_support::ResponseTo(empty).empty());
  FlutterDesktopEngineDestroy(engine);
}

struct TextureLog {
  int requests = 0;
  int releases = 0;
  int completions = 0;
  uint8_t pixels[4] = {1, 2, 3, 4};
  FlutterDesktopPixelBuffer buffer{};
};

void ReleaseFrame(void* user_data) { ++static_cast<TextureLog*>(user_data)->releases; }

const FlutterDesktopPixelBuffer* ProvideFrame(size_t, size_t, void* user_data) {
  auto* log = static_cast<TextureLog*>(user_data);
  ++log->requests;
  log->buffer = {log->pixels, 1, 1, ReleaseFrame, log};
  return &log->buffer;
}

const FlutterDesktopGpuSurfaceDescriptor* NoSurface(size_t, size_t, void* user_data) {
  ++static_cast<TextureLog*>(user_data)->requests;
  return nullptr;
}

void Completed(void* user_data) { ++static_cast<TextureLog*>(user_data)->completions; }

TEST(Textures, RegisterNotifyAndUnregisterWithOneCompletion) {
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopTextureRegistrarRef textures = FlutterDesktopRegistrarGetTextureRegistrar(
      FlutterDesktopEngineGetPluginRegistrar(engine, "TexturePlugin"));
  TextureLog log;
  FlutterDesktopTextureInfo pixels{};
  pixels.kind = kFlutterDesktopPixelBufferTexture;
  pixels.pixel_buffer = {ProvideFrame, &log};
  FlutterDesktopTextureInfo surface{};
  surface.kind = kFlutterDesktopGpuSurfaceTexture;
  surface.gpu_surface = {32, kFlutterDesktopGpuSurfaceTypeNone, NoSurface, &log};
  int64_t pixel_id = FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, &pixels);
  int64_t surface_id = FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, &surface);
  EXPECT_GT(pixel_id, 0);
  EXPECT_GT(surface_id, 0);
  EXPECT_NE(pixel_id, surface_id);
  FlutterDesktopTextureInfo short_record = surface;
  short_record.gpu_surface.struct_size = 8;
  EXPECT_EQ(FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, &short_record), -1);

  EXPECT_TRUE(FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, pixel_id));
  EXPECT_TRUE(
      FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, surface_id));
  OrvaEnginePumpMessages();
  EXPECT_EQ(log.requests, 2);
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(OrvaEngineTextureFramesPulled(pixel_id), 1);

  FlutterDesktopTextureRegistrarUnregisterExternalTexture(textures, pixel_id, Completed, &log);
  // An id the library never gave out still completes, once.
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(textures, 424242, Completed, &log);
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(textures, surface_id, nullptr, nullptr);
  OrvaEnginePumpMessages();
  EXPECT_EQ(log.completions, 2);
  EXPECT_FALSE(FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, pixel_id));
  OrvaEnginePumpMessages();
  EXPECT_EQ(log.completions, 2);
  EXPECT_EQ(log.requests, 2);
  FlutterDesktopEngineDestroy(engine);
}

}  // namespace
