// The engine host window.
#include "runner/flutter_window.h"

#include "engine_client/generated_plugin_registrant.h"
#include "wireguard_plugin/plugin_registration.h"

FlutterWindow::FlutterWindow(const ProjectBundle& project) : project_(project) {}

FlutterWindow::~FlutterWindow() { view_controller_.reset(); }

bool FlutterWindow::OnWindowCreated() {
  if (!Win32Window::OnWindowCreated()) return false;

  // The view takes the whole client area, in physical pixels.
  const RECT frame = ClientArea();
  view_controller_ = std::make_unique<flutter::FlutterViewController>(
      frame.right - frame.left, frame.bottom - frame.top, project_);
  // The engine layer has already reported a controller that failed to start.
  if (view_controller_->GetEngine() == nullptr || view_controller_->GetView() == nullptr) {
    return false;
  }

  // The external plugins first, then the application's own, all before the
  // view is attached and the first frame is requested.
  flutter::FlutterEngine* engine = view_controller_->GetEngine();
  RegisterGeneratedPlugins(engine);
  WireguardPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WireguardPlugin"));

  AttachContent(view_controller_->GetView()->GetNativeWindow());

  // Stay hidden until there is something to show.
  engine->SetNextFrameCallback([this]() { this->Show(); });
  view_controller_->ForceRedraw();
  return true;
}

void FlutterWindow::OnWindowDestroyed() {
  if (view_controller_) {
    // Empty the field before the controller (and with it the engine) ends, so
    // that messages sent meanwhile no longer reach it.
    std::unique_ptr<flutter::FlutterViewController> ending = std::move(view_controller_);
    ending.reset();
  }
  Win32Window::OnWindowDestroyed();
}

LRESULT FlutterWindow::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept {
  if (view_controller_) {
    std::optional<LRESULT> result =
        view_controller_->HandleTopLevelWindowProc(window, message, wparam, lparam);
    if (result) return *result;
  }
  if (message == WM_FONTCHANGE && view_controller_) {
    view_controller_->GetEngine()->ReloadSystemFonts();
  }
  return Win32Window::HandleMessage(window, message, wparam, lparam);
}
