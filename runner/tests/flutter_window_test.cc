// FlutterWindow in-process over the stand-in engine library and the four
// stand-in plugin libraries. The application plugin's registration is
// replaced here by a recorder that looks at the window and the engine at the
// moment the host registers the plugin.
#include "runner/flutter_window.h"

#include <gtest/gtest.h>

#include <string>

#include "engine_client/flutter_desktop_api.h"
#include "runner/tests/child_process.h"
#include "standins/engine/engine_controls.h"
#include "standins/plugins/standin_plugin.h"
#include "wireguard_plugin/plugin_registration.h"

namespace {

constexpr wchar_t kTitle[] = L"ORVA flutter window test";

// What the application plugin's registration saw.
struct PluginRegistrationSnapshot {
  int calls = 0;
  FlutterDesktopPluginRegistrarRef registrar = nullptr;
  std::string external_registrations;  // as the stand-in plugins recorded them
  std::string registrar_requests;      // as the engine recorded them
  HWND view = nullptr;
  HWND view_parent = nullptr;
  RECT view_client{};
  bool window_visible = false;
};
PluginRegistrationSnapshot snapshot;

std::string StandinRegistrations() {
  char text[1024] = {};
  DWORD length =
      ::GetEnvironmentVariableA(standin_plugin::kRegistrationsVariable, text, sizeof(text));
  return length < sizeof(text) ? std::string(text, length) : std::string();
}

std::string RegistrarRequests() {
  char text[1024];
  const size_t length = OrvaEngineRegistrarRequests(text, sizeof(text));
  return std::string(text, length < sizeof(text) ? length : sizeof(text));
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// Dispatches the thread's messages until |condition| holds.
template <typename Condition>
bool PumpUntil(Condition condition) {
  return runner_test::WaitUntil([&]() {
    runner_test::DrainQueueForQuit();
    return condition();
  });
}

ProjectBundle TestBundle(const std::wstring& data_folder) {
  ProjectBundle project(data_folder);
  project.entrypoint_arguments = {"--first", "\xce\xb2 second"};
  return project;
}

class FlutterWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    snapshot = PluginRegistrationSnapshot();
    ::SetEnvironmentVariableA(standin_plugin::kRegistrationsVariable, nullptr);
    OrvaEngineResetRecords();
    OrvaEngineSetDpi(120);
  }
  void TearDown() override {
    OrvaEngineConsumeTopLevelMessage(0, 0);
    OrvaEngineSetDpi(0);
    runner_test::DrainQueueForQuit();
  }

  // The stand-in engine's runtime files, beside the test program.
  static std::wstring DataFolder() { return runner_test::TestProgramFolder() + L"data"; }
};

}  // namespace

// The application plugin's registration, as the host calls it.
void WireguardPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  ++snapshot.calls;
  snapshot.registrar = registrar;
  snapshot.external_registrations = StandinRegistrations();
  snapshot.registrar_requests = RegistrarRequests();
  snapshot.view = FlutterDesktopViewGetHWND(FlutterDesktopPluginRegistrarGetView(registrar));
  snapshot.view_parent = ::GetParent(snapshot.view);
  ::GetClientRect(snapshot.view, &snapshot.view_client);
  HWND top = ::FindWindowW(nullptr, kTitle);
  snapshot.window_visible = top != nullptr && ::IsWindowVisible(top);
}

namespace {

TEST_F(FlutterWindowTest, StartsTheEngineRegistersThePluginsThenAttachesTheViewAndShowsOnAFrame) {
  const int redraws_before = OrvaEngineCallCount("FlutterDesktopViewControllerForceRedraw");
  FlutterWindow window(TestBundle(DataFolder()));
  ASSERT_TRUE(window.Create(kTitle, Win32Window::Point(10, 10), Win32Window::Size(900, 700)));
  HWND top = window.Handle();

  // The engine got the bundle's arguments.
  EXPECT_EQ(OrvaEngineLastArgumentCount(), 2);

  // The four external plugins, in order, then the application's own, while
  // the view was not yet attached and the window still hidden.
  ASSERT_EQ(snapshot.calls, 1);
  EXPECT_NE(snapshot.registrar, nullptr);
  EXPECT_EQ(snapshot.registrar_requests,
            "ConnectivityPlusWindowsPlugin\nFlutterSecureStorageWindowsPlugin\n"
            "PermissionHandlerWindowsPlugin\nUrlLauncherWindows\nWireguardPlugin\n");
  EXPECT_EQ(snapshot.external_registrations,
            "ConnectivityPlusWindowsPlugin;FlutterSecureStorageWindowsPlugin;"
            "PermissionHandlerWindowsPlugin;UrlLauncherWindows;");
  ASSERT_NE(snapshot.view, nullptr);
  EXPECT_NE(snapshot.view_parent, top);
  EXPECT_FALSE(snapshot.window_visible);

  // The view controller was made at the window's client size (the scaling
  // itself is Win32Window's, checked in win32_window_test).
  const RECT client = window.ClientArea();
  EXPECT_EQ(Width(snapshot.view_client), Width(client));
  EXPECT_EQ(Height(snapshot.view_client), Height(client));

  // Now attached and focused, a redraw requested, and still hidden until the
  // engine renders.
  EXPECT_EQ(::GetParent(snapshot.view), top);
  EXPECT_EQ(::GetFocus(), snapshot.view);
  EXPECT_GT(OrvaEngineCallCount("FlutterDesktopViewControllerForceRedraw"), redraws_before);
  EXPECT_FALSE(::IsWindowVisible(top));
  EXPECT_TRUE(PumpUntil([&]() { return ::IsWindowVisible(top) != FALSE; }));
}

TEST_F(FlutterWindowTest, MessagesTheEngineConsumesSkipTheBaseHandlingOthersReachIt) {
  FlutterWindow window(TestBundle(DataFolder()));
  ASSERT_TRUE(window.Create(kTitle, Win32Window::Point(10, 10), Win32Window::Size(400, 300)));
  HWND view = snapshot.view;
  RECT before{};
  ::GetClientRect(view, &before);

  // A consumed WM_SIZE leaves the view at its old size.
  OrvaEngineConsumeTopLevelMessage(WM_SIZE, 0);
  ::SetWindowPos(window.Handle(), nullptr, 0, 0, 700, 650, SWP_NOMOVE | SWP_NOZORDER);
  RECT after{};
  ::GetClientRect(view, &after);
  EXPECT_EQ(Width(after), Width(before));
  EXPECT_EQ(Height(after), Height(before));

  // A consumed WM_ACTIVATE does not move the focus to the view.
  OrvaEngineConsumeTopLevelMessage(WM_ACTIVATE, 0);
  ::SetFocus(window.Handle());
  ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_NE(::GetFocus(), view);

  // A consumed WM_FONTCHANGE answers with the engine's result and reloads
  // nothing.
  const int reloads = OrvaEngineCallCount("FlutterDesktopEngineReloadSystemFonts");
  OrvaEngineConsumeTopLevelMessage(WM_FONTCHANGE, 7);
  EXPECT_EQ(::SendMessageW(window.Handle(), WM_FONTCHANGE, 0, 0), 7);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineReloadSystemFonts"), reloads);

  // Left to the host again, sizing keeps the view filling the client area,
  // activation focuses it, and a font change reloads the engine's fonts.
  OrvaEngineConsumeTopLevelMessage(0, 0);
  ::SetWindowPos(window.Handle(), nullptr, 0, 0, 500, 450, SWP_NOMOVE | SWP_NOZORDER);
  ::GetClientRect(view, &after);
  EXPECT_EQ(Width(after), Width(window.ClientArea()));
  EXPECT_EQ(Height(after), Height(window.ClientArea()));
  ::SetFocus(window.Handle());
  ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(::GetFocus(), view);
  EXPECT_EQ(::SendMessageW(window.Handle(), WM_FONTCHANGE, 0, 0), 0);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineReloadSystemFonts"), reloads + 1);
}

TEST_F(FlutterWindowTest, ClosingTheWindowEndsTheEngineAndTheMessageLoop) {
  auto window = std::make_unique<FlutterWindow>(TestBundle(DataFolder()));
  ASSERT_TRUE(window->Create(kTitle, Win32Window::Point(10, 10), Win32Window::Size(400, 300)));
  window->SetQuitOnDestroy(true);
  const int destroyed = OrvaEngineCallCount("FlutterDesktopViewControllerDestroy");
  const int reloads = OrvaEngineCallCount("FlutterDesktopEngineReloadSystemFonts");
  const int offered = OrvaEngineCallCount("FlutterDesktopViewControllerHandleTopLevelWindowProc");

  HWND top = window->Handle();
  ::SendMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(top));
  EXPECT_EQ(window->Handle(), nullptr);
  // Every message up to the destruction was offered to the engine first.
  EXPECT_GT(OrvaEngineCallCount("FlutterDesktopViewControllerHandleTopLevelWindowProc"), offered);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopViewControllerDestroy"), destroyed + 1);
  EXPECT_TRUE(runner_test::DrainQueueForQuit().has_value());

  // Without a view controller there is nothing left to end or reload.
  window.reset();
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopViewControllerDestroy"), destroyed + 1);
  EXPECT_EQ(OrvaEngineCallCount("FlutterDesktopEngineReloadSystemFonts"), reloads);
}

}  // namespace
