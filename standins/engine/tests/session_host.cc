// A small host program for session tests: embeds the stand-in engine
// through its C interface only, answers calls on "com.orva_divuv/wireguard"
// with the standard method codec, and runs until the session quits.
//
// How it answers (so that a transcript shows what the engine did):
//   echo             success with the call's arguments
//   fail             error "TEST_FAILURE", a message, the arguments as details
//   later            success "later", sent from another thread
//   twice            success 1, then a second response (2) that must be ignored
//   garbage          a reply the codec cannot read
//   silent           never answers
//   getStatus        success "connected"
//   getStats         success {"rx": 6707, "tx": 1331691} (64-bit integers)
//   isWireguardInstalled  success true
//   anything else    an empty reply (not implemented)
// A call that arrives before the first frame, while another is unanswered,
// or off the window's thread is answered with the error "TOO_EARLY",
// "OVERLAP" or "WRONG_THREAD" instead.
//
// Arguments: --no-handler leaves the channel without a handler.
// Exit code: 0 after the window closed normally, 1 when the engine did not
// start.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "engine_client/flutter_desktop_api.h"

namespace {

constexpr char kChannel[] = "com.orva_divuv/wireguard";

struct Host {
  HWND window = nullptr;
  FlutterDesktopViewControllerRef controller = nullptr;
  FlutterDesktopMessengerRef messenger = nullptr;
  DWORD loop_thread = 0;
  bool first_frame = false;
  std::atomic<int> unanswered{0};
  std::vector<std::thread> repliers;
};

Host g_host;

void Respond(const FlutterDesktopMessageResponseHandle* handle,
             const std::unique_ptr<std::vector<uint8_t>>& bytes) {
  --g_host.unanswered;
  FlutterDesktopMessengerSendResponse(g_host.messenger, handle, bytes ? bytes->data() : nullptr,
                                      bytes ? bytes->size() : 0);
}

void OnMessage(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void*) {
  const auto& codec = flutter::StandardMethodCodec::ForSerializer();
  ++g_host.unanswered;
  const FlutterDesktopMessageResponseHandle* handle = message->response_handle;
  auto call = codec.DecodeCall(message->message, message->message_size);
  if (!call) {
    Respond(handle, nullptr);
    return;
  }
  const std::string& method = call->method_name();
  flutter::EncodableValue arguments =
      call->arguments() ? *call->arguments() : flutter::EncodableValue();
  if (GetCurrentThreadId() != g_host.loop_thread) {
    Respond(handle, codec.EncodeErrorReply("WRONG_THREAD", method));
  } else if (!g_host.first_frame) {
    Respond(handle, codec.EncodeErrorReply("TOO_EARLY", method));
  } else if (g_host.unanswered > 1) {
    Respond(handle, codec.EncodeErrorReply("OVERLAP", method));
  } else if (method == "echo") {
    Respond(handle, codec.EncodeSuccessReply(&arguments));
  } else if (method == "fail") {
    Respond(handle, codec.EncodeErrorReply("TEST_FAILURE",
                                           "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \"x\"",
                                           &arguments));
  } else if (method == "later") {
    // Answered the way a plugin's worker would: holding a reference, under
    // the messenger's lock, only while the engine is available.
    FlutterDesktopMessengerRef messenger = FlutterDesktopMessengerAddRef(g_host.messenger);
    g_host.repliers.emplace_back([messenger, handle] {
      flutter::EncodableValue value("later");
      auto bytes = flutter::StandardMethodCodec::ForSerializer().EncodeSuccessReply(&value);
      --g_host.unanswered;
      FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger);
      if (FlutterDesktopMessengerIsAvailable(messenger)) {
        FlutterDesktopMessengerSendResponse(messenger, handle, bytes->data(), bytes->size());
      }
      FlutterDesktopMessengerUnlock(locked);
      FlutterDesktopMessengerRelease(messenger);
    });
  } else if (method == "twice") {
    flutter::EncodableValue one(int32_t{1}), two(int32_t{2});
    Respond(handle, codec.EncodeSuccessReply(&one));
    ++g_host.unanswered;
    Respond(handle, codec.EncodeSuccessReply(&two));
  } else if (method == "garbage") {
    auto bytes = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>{0x07});
    Respond(handle, bytes);
  } else if (method == "silent") {
    --g_host.unanswered;  // deliberately never answered
  } else if (method == "getStatus") {
    flutter::EncodableValue word("connected");
    Respond(handle, codec.EncodeSuccessReply(&word));
  } else if (method == "getStats") {
    flutter::EncodableValue stats(flutter::ValueMap{
        {flutter::EncodableValue("rx"), flutter::EncodableValue(int64_t{6707})},
        {flutter::EncodableValue("tx"), flutter::EncodableValue(int64_t{1331691})}});
    Respond(handle, codec.EncodeSuccessReply(&stats));
  } else if (method == "isWireguardInstalled") {
    flutter::EncodableValue yes(true);
    Respond(handle, codec.EncodeSuccessReply(&yes));
  } else {
    Respond(handle, nullptr);
  }
}

void OnFirstFrame(void*) {
  g_host.first_frame = true;
  ShowWindow(g_host.window, SW_SHOWNORMAL);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_host.controller) {
    LRESULT result = 0;
    if (FlutterDesktopViewControllerHandleTopLevelWindowProc(g_host.controller, window, message,
                                                             wparam, lparam, &result)) {
      return result;
    }
  }
  switch (message) {
    case WM_SIZE:
      if (g_host.controller) {
        HWND view =
            FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(g_host.controller));
        RECT client;
        GetClientRect(window, &client);
        MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
      }
      return 0;
    case WM_DESTROY:
      if (g_host.controller) {
        FlutterDesktopViewControllerDestroy(g_host.controller);
        g_host.controller = nullptr;
      }
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool install_handler = !(argc > 1 && std::strcmp(argv[1], "--no-handler") == 0);
  g_host.loop_thread = GetCurrentThreadId();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  window_class.lpszClassName = L"OrvaSessionHost";
  RegisterClassW(&window_class);
  g_host.window =
      CreateWindowExW(0, L"OrvaSessionHost", L"ORVA session host", WS_OVERLAPPEDWINDOW, 10, 10, 900,
                      700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!g_host.window) return 1;
  RECT client;
  GetClientRect(g_host.window, &client);

  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.entrypoint = "";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  g_host.controller = FlutterDesktopViewControllerCreate(client.right, client.bottom, engine);
  if (!g_host.controller) {
    DestroyWindow(g_host.window);
    return 1;
  }
  g_host.messenger = FlutterDesktopEngineGetMessenger(engine);
  if (install_handler) {
    FlutterDesktopMessengerSetCallback(g_host.messenger, kChannel, OnMessage, nullptr);
  }
  HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(g_host.controller));
  SetParent(view, g_host.window);
  MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
  FlutterDesktopEngineSetNextFrameCallback(engine, OnFirstFrame, nullptr);
  FlutterDesktopViewControllerForceRedraw(g_host.controller);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  for (std::thread& replier : g_host.repliers) replier.join();
  return static_cast<int>(message.wParam);
}
