// The stand-in engine library through its C interface, as the product and
// its tests rely on it: start-up refusal, messenger responses and
// availability, replies to sent messages, registrars, the view and its
// frames, textures and DPI.
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

TEST(EngineStart, RefusesToRunWithoutItsRuntimeFiles) {
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
  EXPECT_FALSE(try_start());
  second.File(L"data\\icudtl.dat");
  EXPECT_FALSE(try_start());
  second.Folder(L"data\\app.so");  // a folder where the file must be
  EXPECT_FALSE(try_start());
  ScratchFolder third;
  third.Folder(L"data");
  third.Folder(L"data\\flutter_assets");
  third.File(L"data\\icudtl.dat");
  third.File(L"data\\app.so");
  EXPECT_TRUE(try_start());
  EXPECT_FALSE(FlutterDesktopViewControllerCreate(100, 80, nullptr));
  EXPECT_FALSE(FlutterDesktopEngineCreate(nullptr));
  EXPECT_FALSE(FlutterDesktopEngineDestroy(nullptr));
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

TEST(Messenger, CallbacksAreReplacedAndRemovedPerChannel) {
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  Received old_handler, new_handler, other_channel;
  FlutterDesktopMessengerSetCallback(messenger, "a", Record, &old_handler);
  FlutterDesktopMessengerSetCallback(messenger, "b", Record, &other_channel);
  FlutterDesktopMessengerSetCallback(messenger, "a", Record, &new_handler);
  EXPECT_GT(OrvaEngineDeliverMessage(messenger, "a", nullptr, 0), 0);
  EXPECT_EQ(old_handler.calls, 0);
  EXPECT_EQ(new_handler.calls, 1);
  EXPECT_EQ(other_channel.calls, 0);
  FlutterDesktopMessengerSetCallback(messenger, "a", nullptr, nullptr);
  FlutterDesktopMessengerSetCallback(messenger, "never-set", nullptr, nullptr);
  EXPECT_EQ(OrvaEngineDeliverMessage(messenger, "a", nullptr, 0), 0);
  EXPECT_EQ(new_handler.calls, 1);
  EXPECT_GT(OrvaEngineDeliverMessage(messenger, "b", nullptr, 0), 0);
  EXPECT_EQ(other_channel.calls, 1);
  FlutterDesktopEngineDestroy(engine);
}

TEST(Messenger, AvailabilityEndsAtShutDownAndReferencesOutliveTheEngine) {
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  Received received;
  FlutterDesktopMessengerSetCallback(messenger, "c", Record, &received);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger), messenger);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerUnlock(messenger);

  int64_t token = OrvaEngineDeliverMessage(messenger, "c", nullptr, 0);
  OrvaEngineSetMessengerAvailable(messenger, false);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  const uint8_t reply[] = {0, 0};
  FlutterDesktopMessengerSendResponse(messenger, received.handle, reply, 2);
  EXPECT_EQ(OrvaEngineResponseCount(token), 0);  // dropped: nobody to answer
  EXPECT_EQ(OrvaEngineDeliverMessage(messenger, "c", nullptr, 0), 0);
  OrvaEngineSetMessengerAvailable(messenger, true);
  FlutterDesktopMessengerSendResponse(messenger, received.handle, reply, 2);
  EXPECT_EQ(OrvaEngineResponseCount(token), 1);

  // A reply that keeps a reference can still ask after the engine is gone.
  EXPECT_EQ(FlutterDesktopMessengerAddRef(messenger), messenger);
  int64_t late = OrvaEngineDeliverMessage(messenger, "c", nullptr, 0);
  OrvaEngineShutDown(engine);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerSendResponse(messenger, received.handle, reply, 2);
  FlutterDesktopMessengerUnlock(locked);
  EXPECT_EQ(OrvaEngineResponseCount(late), 0);
  FlutterDesktopMessengerRelease(messenger);
}

struct ReplyLog {
  int calls = 0;
  size_t size = 99;
};

void LogReply(const uint8_t*, size_t size, void* user_data) {
  auto* log = static_cast<ReplyLog*>(user_data);
  ++log->calls;
  log->size = size;
}

TEST(Messenger, SentMessagesGetOneEmptyReplyOnTheLoopThreadOrNone) {
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  const uint8_t message[] = {1};
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger, "ui", message, 1));
  ReplyLog answered;
  EXPECT_TRUE(
      FlutterDesktopMessengerSendWithReply(messenger, "ui", message, 1, LogReply, &answered));
  EXPECT_EQ(answered.calls, 0);  // not from inside the send
  OrvaEnginePumpMessages();
  EXPECT_EQ(answered.calls, 1);
  EXPECT_EQ(answered.size, 0u);
  OrvaEnginePumpMessages();
  EXPECT_EQ(answered.calls, 1);

  ReplyLog pending_at_exit;
  EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(messenger, "ui", message, 1, LogReply,
                                                   &pending_at_exit));
  ReplyLog refused;
  OrvaEngineSetMessengerAvailable(messenger, false);
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger, "ui", message, 1));
  EXPECT_FALSE(
      FlutterDesktopMessengerSendWithReply(messenger, "ui", message, 1, LogReply, &refused));
  FlutterDesktopEngineDestroy(engine);
  EXPECT_EQ(pending_at_exit.calls, 1);  // promised, so delivered before the engine ends
  OrvaEnginePumpMessages();
  EXPECT_EQ(refused.calls, 0);
}

std::vector<std::string> g_destroyed;
FlutterDesktopPluginRegistrarRef g_first_registrar = nullptr;

void NoteDestroyed(FlutterDesktopPluginRegistrarRef registrar) {
  g_destroyed.push_back(registrar == g_first_registrar ? "first" : "other");
}

TEST(Registrars, OnePerNameDestroyedWithTheEngine) {
  OrvaEngineResetRecords();
  g_destroyed.clear();
  FlutterDesktopEngineRef engine = CreateEngine();
  g_first_registrar =
      FlutterDesktopEngineGetPluginRegistrar(engine, "ConnectivityPlusWindowsPlugin");
  FlutterDesktopPluginRegistrarRef other =
      FlutterDesktopEngineGetPluginRegistrar(engine, "WireguardPlugin");
  ASSERT_TRUE(g_first_registrar);
  ASSERT_TRUE(other);
  EXPECT_NE(g_first_registrar, other);
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(engine, "WireguardPlugin"), other);
  EXPECT_EQ(FlutterDesktopPluginRegistrarGetMessenger(other),
            FlutterDesktopEngineGetMessenger(engine));
  EXPECT_TRUE(FlutterDesktopRegistrarGetTextureRegistrar(other));
  EXPECT_EQ(FlutterDesktopPluginRegistrarGetView(other), nullptr);  // headless
  FlutterDesktopPluginRegistrarSetDestructionHandler(other, NoteDestroyed);
  FlutterDesktopPluginRegistrarSetDestructionHandler(g_first_registrar, NoteDestroyed);
  FlutterDesktopPluginRegistrarSetDestructionHandler(g_first_registrar, NoteDestroyed);

  std::string requests(256, '\0');
  requests.resize(OrvaEngineRegistrarRequests(requests.data(), requests.size()));
  EXPECT_EQ(requests, "ConnectivityPlusWindowsPlugin\nWireguardPlugin\nWireguardPlugin\n");
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineGetPluginRegistrar"), 3);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopPluginRegistrarSetDestructionHandler"), 3);
  EXPECT_EQ(OrvaEngineCallCount("NoSuchFunction"), 0);

  EXPECT_TRUE(g_destroyed.empty());
  OrvaEngineShutDown(engine);
  EXPECT_EQ(g_destroyed, std::vector<std::string>({"first", "other"}));
  OrvaEngineShutDown(engine);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  EXPECT_EQ(g_destroyed.size(), 2u);  // once per registrar
  OrvaEngineResetRecords();
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineGetPluginRegistrar"), 0);
}

struct FrameLog {
  int first = 0;
  int second = 0;
};
void FirstFrameHook(void* user_data) { ++static_cast<FrameLog*>(user_data)->first; }
void SecondFrameHook(void* user_data) { ++static_cast<FrameLog*>(user_data)->second; }

// Starts an engine with a view from the runtime files beside the test.
class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module);
    folder.resize(folder.find_last_of(L'\\'));
    GetCurrentDirectoryW(MAX_PATH, previous_);
    SetCurrentDirectoryW(folder.c_str());
    engine_ = CreateEngine();
    controller_ = FlutterDesktopViewControllerCreate(320, 240, engine_);
    ASSERT_TRUE(controller_) << "runtime files missing beside the test?";
  }
  void TearDown() override {
    if (controller_) FlutterDesktopViewControllerDestroy(controller_);
    SetCurrentDirectoryW(previous_);
  }
  wchar_t previous_[MAX_PATH];
  FlutterDesktopEngineRef engine_ = nullptr;
  FlutterDesktopViewControllerRef controller_ = nullptr;
};

TEST_F(ViewTest, ChildWindowOfTheGivenSizeThatLeavesTopLevelMessagesAlone) {
  FlutterDesktopViewRef view = FlutterDesktopViewControllerGetView(controller_);
  HWND window = FlutterDesktopViewGetHWND(view);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);
  FlutterDesktopPluginRegistrarRef registrar =
      FlutterDesktopEngineGetPluginRegistrar(engine_, "WireguardPlugin");
  EXPECT_EQ(FlutterDesktopPluginRegistrarGetView(registrar), view);
  LRESULT result = 12345;
  for (UINT message : {WM_SIZE, WM_ACTIVATE, WM_FONTCHANGE, WM_DPICHANGED, WM_CLOSE}) {
    EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window, message,
                                                                      0, 0, &result));
  }
  EXPECT_EQ(result, 12345);
  // A test can have one kind of message consumed, with a result of its own.
  OrvaEngineConsumeTopLevelMessage(WM_FONTCHANGE, 7);
  EXPECT_TRUE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window,
                                                                   WM_FONTCHANGE, 0, 0, &result));
  EXPECT_EQ(result, 7);
  EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window, WM_SIZE, 0,
                                                                    0, &result));
  OrvaEngineConsumeTopLevelMessage(0, 0);
  EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window,
                                                                    WM_FONTCHANGE, 0, 0, &result));
  FlutterDesktopViewControllerDestroy(controller_);
  controller_ = nullptr;
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(ViewTest, NextFrameCallbackRunsOnceAfterAFrameAndOnlyTheLastArmedOne) {
  FrameLog log;
  FlutterDesktopEngineSetNextFrameCallback(engine_, FirstFrameHook, &log);
  FlutterDesktopEngineSetNextFrameCallback(engine_, SecondFrameHook, &log);
  EXPECT_EQ(log.second, 0);  // not before a frame
  OrvaEnginePumpMessages();
  EXPECT_GE(OrvaEngineFramesRendered(engine_), 1);
  EXPECT_EQ(log.first, 0);
  EXPECT_EQ(log.second, 1);
  FlutterDesktopViewControllerForceRedraw(controller_);
  OrvaEnginePumpMessages();
  OrvaEnginePaintFrame(engine_);
  EXPECT_EQ(log.second, 1);
  int64_t frames = OrvaEngineFramesRendered(engine_);
  FlutterDesktopViewControllerForceRedraw(controller_);
  OrvaEnginePumpMessages();
  EXPECT_EQ(OrvaEngineFramesRendered(engine_), frames + 1);
  // Painting a frame directly runs an armed callback at once.
  FlutterDesktopEngineSetNextFrameCallback(engine_, FirstFrameHook, &log);
  OrvaEnginePaintFrame(engine_);
  EXPECT_EQ(log.first, 1);
}

TEST_F(ViewTest, DestroyingTheControllerEndsTheEngine) {
  g_destroyed.clear();
  g_first_registrar = FlutterDesktopEngineGetPluginRegistrar(engine_, "UrlLauncherWindows");
  FlutterDesktopPluginRegistrarSetDestructionHandler(g_first_registrar, NoteDestroyed);
  FlutterDesktopMessengerRef messenger =
      FlutterDesktopMessengerAddRef(FlutterDesktopEngineGetMessenger(engine_));
  EXPECT_FALSE(FlutterDesktopEngineDestroy(engine_));  // the controller owns it
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopViewControllerDestroy(controller_);
  controller_ = nullptr;
  EXPECT_EQ(g_destroyed, std::vector<std::string>({"first"}));
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerRelease(messenger);
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

TEST(Dpi, ControlThenEnvironmentThenTheSystem) {
  HMONITOR monitor = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST);
  SetEnvironmentVariableW(L"ORVA_ENGINE_DPI", nullptr);
  const UINT system = FlutterDesktopGetDpiForMonitor(monitor);
  EXPECT_GE(system, 72u);
  SetEnvironmentVariableW(L"ORVA_ENGINE_DPI", L"120");
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), 120u);
  OrvaEngineSetDpi(144);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), 144u);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(nullptr), 144u);
  OrvaEngineSetDpi(0);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), 120u);
  for (const wchar_t* bad : {L"abc", L"0", L"-96", L"120x", L""}) {
    SetEnvironmentVariableW(L"ORVA_ENGINE_DPI", bad);
    EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), system);
  }
  SetEnvironmentVariableW(L"ORVA_ENGINE_DPI", nullptr);
}

}  // namespace
