// The stand-in engine library reads the records the host hands it by byte
// offset (published_records.h), never through the host's declarations: the
// engine properties (runtime file paths), incoming messages and their
// response handles, and texture info with its pixel buffers. These tests
// hand it records built from the host's header, so a record declared wrongly
// on either side fails here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine_client/flutter_desktop_api.h"
#include "standins/engine/engine_controls.h"

namespace {

// A folder of its own for one test, made the working directory while the
// test runs and removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"orva-standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter_++);
    CreateDirectoryW(path_.c_str(), nullptr);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
    SetCurrentDirectoryW(path_.c_str());
  }
  ~ScratchFolder() {
    SetCurrentDirectoryW(previous_.c_str());
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    }
    RemoveDirectoryW(path_.c_str());
  }
  void Folder(const std::wstring& name) {
    CreateDirectoryW((path_ + L"\\" + name).c_str(), nullptr);
    created_.push_back(path_ + L"\\" + name);
  }
  void File(const std::wstring& name) {
    HANDLE file = CreateFileW((path_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    created_.push_back(path_ + L"\\" + name);
  }

 private:
  static inline int counter_ = 0;
  std::wstring path_;
  std::wstring previous_;
  std::vector<std::wstring> created_;
};

FlutterDesktopEngineRef CreateEngine(int argc = 0, const char** argv = nullptr) {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.entrypoint = "";
  properties.entrypoint_argc = argc;
  properties.entrypoint_argv = argv;
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

std::vector<uint8_t> ResponseOf(int64_t token) {
  std::vector<uint8_t> buffer(64);
  int64_t size = OrvaEngineResponse(token, buffer.data(), buffer.size());
  if (size < 0) return {0xEE};  // marks "no response yet"
  buffer.resize(static_cast<size_t>(size));
  return buffer;
}

TEST(EngineStart, ReadsTheRuntimeFilePathsFromItsProperties) {
  ScratchFolder folder;
  auto try_start = [] {
    FlutterDesktopEngineRef engine = CreateEngine();
    FlutterDesktopViewControllerRef controller =
        FlutterDesktopViewControllerCreate(100, 80, engine);
    // A failed controller has already destroyed the engine it was handed.
    if (controller == nullptr) return false;
    FlutterDesktopViewControllerDestroy(controller);
    return true;
  };
  EXPECT_FALSE(try_start());
  folder.Folder(L"data");
  folder.File(L"data\\flutter_assets");  // a file where the folder must be
  folder.File(L"data\\icudtl.dat");
  folder.File(L"data\\app.so");
  EXPECT_FALSE(try_start());
  ScratchFolder second;
  second.Folder(L"data");
  second.Folder(L"data\\flutter_assets");
  second.File(L"data\\icudtl.dat");
  second.File(L"data\\app.so");
  EXPECT_TRUE(try_start());
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
  EXPECT_EQ(ResponseOf(token), std::vector<uint8_t>({0xEE}));
  const uint8_t first[] = {0, 1};
  const uint8_t second[] = {1, 2, 3};
  FlutterDesktopMessengerSendResponse(messenger, received.handle, first, 2);
  FlutterDesktopMessengerSendResponse(messenger, received.handle, second, 3);
  EXPECT_EQ(OrvaEngineResponseCount(token), 2);
  EXPECT_EQ(ResponseOf(token), std::vector<uint8_t>({0, 1}));
  // An empty response is a response of zero bytes.
  int64_t empty = OrvaEngineDeliverMessage(messenger, "orva/test", nullptr, 0);
  EXPECT_TRUE(received.bytes.empty());
  FlutterDesktopMessengerSendResponse(messenger, received.handle, nullptr, 0);
  EXPECT_EQ(OrvaEngineResponseCount(empty), 1);
  EXPECT_TRUE(ResponseOf(empty).empty());
  // A handle that never belonged to a message is ignored.
  FlutterDesktopMessengerSendResponse(messenger, nullptr, first, 2);
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
  EXPECT_EQ(FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, nullptr), -1);
  FlutterDesktopTextureInfo unknown_kind{};
  unknown_kind.kind = static_cast<FlutterDesktopTextureKind>(7);
  EXPECT_EQ(FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, &unknown_kind), -1);
  FlutterDesktopTextureInfo short_record = surface;
  short_record.gpu_surface.struct_size = 8;
  EXPECT_EQ(FlutterDesktopTextureRegistrarRegisterExternalTexture(textures, &short_record), -1);

  EXPECT_TRUE(FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, pixel_id));
  EXPECT_TRUE(
      FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, surface_id));
  EXPECT_FALSE(FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(textures, 999999));
  OrvaEnginePumpMessages();
  EXPECT_EQ(log.requests, 2);
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(OrvaEngineTextureFramesPulled(pixel_id), 1);

  FlutterDesktopTextureRegistrarUnregisterExternalTexture(textures, pixel_id, Completed, &log);
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
