// View controllers and views: the child window the engine draws into.
//
// Frames are rendered into an off-screen bitmap whether or not the window is
// visible (the host shows its window only after the first frame), then
// copied to the window when it paints. A frame is rendered when the
// controller is created, on request (ForceRedraw, an armed next-frame
// callback, font reloads, the session's progress) and when the view's size
// changes; after each one an armed next-frame callback runs once.
#include <atomic>
#include <cstdio>
#include <memory>

#include "standins/engine/engine_controls.h"
#include "standins/engine/engine_objects.h"
#include "standins/engine/session_player.h"
#include "standins/engine/view_painter.h"
#include "standins/engine/view_state.h"
#include "standins/engine/win_owners.h"

struct FlutterDesktopView {
  FlutterDesktopViewController* controller = nullptr;
};

struct FlutterDesktopViewController {
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
  standin::UniqueWindow holder;  // hidden parent the view is created in
  HWND window = nullptr;         // the view; cleared when Windows destroys it
  standin::UniqueGdiObject frame;
  bool frame_requested = false;
  standin::ViewState state;
  std::unique_ptr<standin::SessionPlayer> session;
};

namespace standin {
namespace {

constexpr wchar_t kViewClass[] = L"OrvaStandinEngineView";
constexpr wchar_t kHolderClass[] = L"OrvaStandinEngineHolder";
constexpr UINT kRenderMessage = WM_APP + 10;

}  // namespace

// The top-level message OrvaEngineConsumeTopLevelMessage asked to consume.
std::atomic<uint32_t> g_consumed_message{0};
std::atomic<int64_t> g_consumed_result{0};

namespace {

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

void RegisterClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW view_class{};
    view_class.style = CS_HREDRAW | CS_VREDRAW;
    view_class.lpfnWndProc = ViewProc;
    view_class.hInstance = LibraryModule();
    view_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    view_class.lpszClassName = kViewClass;
    RegisterClassW(&view_class);
    WNDCLASSW holder_class{};
    holder_class.lpfnWndProc = DefWindowProcW;
    holder_class.hInstance = LibraryModule();
    holder_class.lpszClassName = kHolderClass;
    RegisterClassW(&holder_class);
  });
}

FlutterDesktopViewController* ControllerOf(HWND window) {
  return reinterpret_cast<FlutterDesktopViewController*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void Paint(FlutterDesktopViewController* controller) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(controller->window, &paint);
  RECT client;
  GetClientRect(controller->window, &client);
  if (controller->frame.IsValid()) {
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    ScopedSelect select(source.Get(), controller->frame.Get());
    BitBlt(dc, 0, 0, client.right, client.bottom, source.Get(), 0, 0, SRCCOPY);
  } else {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  EndPaint(controller->window, &paint);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  FlutterDesktopViewController* controller = ControllerOf(window);
  if (!controller) return DefWindowProcW(window, message, wparam, lparam);
  if (controller->session && controller->session->HandleMessage(message, wparam, lparam)) return 0;
  switch (message) {
    case kRenderMessage:
      if (controller->frame_requested) RenderFrameNow(controller);
      return 0;
    case WM_SIZE:
      RequestFrame(controller);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(controller);
      return 0;
    case WM_NCDESTROY:
      // Destroyed by Windows with its parent: the controller forgets it.
      if (controller->session) controller->session->Stop();
      controller->window = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

void RequestFrame(FlutterDesktopViewController* controller) {
  if (!controller || !controller->window || controller->frame_requested) return;
  controller->frame_requested = true;
  PostMessageW(controller->window, kRenderMessage, 0, 0);
}

void RenderFrameNow(FlutterDesktopViewController* controller) {
  controller->frame_requested = false;
  if (!controller->window) return;
  RECT client;
  GetClientRect(controller->window, &client);
  const int width = client.right > 0 ? client.right : 1;
  const int height = client.bottom > 0 ? client.bottom : 1;
  HDC screen = GetDC(nullptr);
  UniqueGdiObject bitmap(CreateCompatibleBitmap(screen, width, height));
  {
    UniqueMemoryDc dc(CreateCompatibleDC(screen));
    ScopedSelect select(dc.Get(), bitmap.Get());
    PaintView(dc.Get(), width, height, controller->state);
  }
  ReleaseDC(nullptr, screen);
  controller->frame = std::move(bitmap);
  InvalidateRect(controller->window, nullptr, FALSE);
  ++controller->engine->frames_rendered;
  RunNextFrameCallback(controller->engine);
  if (controller->session) controller->session->OnFrameRendered();
}

FlutterDesktopViewRef ControllerView(FlutterDesktopViewController* controller) {
  return controller ? &controller->view : nullptr;
}

}  // namespace standin

using standin::CountCall;

extern "C" {

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  CountCall(__func__);
  // An engine that already has a controller is not handed over again.
  if (!engine || engine->controller) return nullptr;
  // The controller takes the engine in every case: when it cannot be made,
  // the engine is destroyed before the call returns.
  auto fail = [engine]() -> FlutterDesktopViewControllerRef {
    standin::DestroyEngine(engine);
    return nullptr;
  };
  if (engine->shut_down) return fail();
  std::string missing = standin::MissingRuntimeFile(*engine);
  if (!missing.empty()) {
    std::fprintf(stderr, "flutter_windows (stand-in): cannot start the engine: %s\n",
                 missing.c_str());
    std::fflush(stderr);
    return fail();
  }
  standin::RegisterClasses();
  auto controller = std::make_unique<FlutterDesktopViewController>();
  controller->engine = engine;
  controller->view.controller = controller.get();
  controller->holder.Reset(CreateWindowExW(0, standin::kHolderClass, L"", WS_POPUP, 0, 0, 0, 0,
                                           nullptr, nullptr, standin::LibraryModule(), nullptr));
  if (!controller->holder.IsValid()) return fail();
  controller->window =
      CreateWindowExW(0, standin::kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                      width > 0 ? width : 0, height > 0 ? height : 0, controller->holder.Get(),
                      nullptr, standin::LibraryModule(), controller.get());
  if (!controller->window) return fail();
  engine->controller = controller.get();
  FlutterDesktopViewController* raw = controller.get();
  controller->session =
      standin::SessionPlayer::FromEnvironment(raw->window, raw->holder.Get(), engine->messenger,
                                              &raw->state, [raw] { standin::RequestFrame(raw); });
  standin::RequestFrame(raw);
  return controller.release();
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  CountCall(__func__);
  if (!controller) return;
  if (controller->session) controller->session->Stop();
  FlutterDesktopEngine* engine = controller->engine;
  standin::ShutDownEngine(engine);
  if (controller->window) {
    HWND window = controller->window;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    controller->window = nullptr;
    DestroyWindow(window);
  }
  controller->session.reset();
  engine->controller = nullptr;
  standin::DestroyEngine(engine);
  delete controller;
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  CountCall(__func__);
  return standin::ControllerView(controller);
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND window, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result) {
  CountCall(__func__);
  // An environment change broadcast (as an installer's) has reached the
  // window's procedure, on the window's thread: say so where a session's
  // debug-output listener sees it.
  if (message == WM_SETTINGCHANGE && lparam != 0 &&
      lstrcmpiW(reinterpret_cast<const wchar_t*>(lparam), L"Environment") == 0) {
    OutputDebugStringA("[StandinEngine] The window received the environment change broadcast");
  }
  // The stand-in UI needs nothing from the top-level window: every message
  // is left to the host, unless a test asked for one to be consumed.
  const uint32_t consumed = standin::g_consumed_message;
  if (consumed == 0 || message != consumed || !result) return false;
  *result = static_cast<LRESULT>(standin::g_consumed_result.load());
  return true;
}

void OrvaEngineConsumeTopLevelMessage(uint32_t message, int64_t result) {
  standin::g_consumed_result = result;
  standin::g_consumed_message = message;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  CountCall(__func__);
  standin::RequestFrame(controller);
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  CountCall(__func__);
  return view && view->controller ? view->controller->window : nullptr;
}

}  // extern "C"
