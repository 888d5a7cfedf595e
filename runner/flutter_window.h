// FlutterWindow: the program's top-level window. Once its native window
// exists it starts the engine's view controller at the client size, registers
// the plugins, embeds the engine's view and shows itself on the first frame.
#ifndef ORVA_RUNNER_FLUTTER_WINDOW_H_
#define ORVA_RUNNER_FLUTTER_WINDOW_H_

#include <memory>

#include "engine_client/flutter_view_controller.h"
#include "engine_client/project_bundle.h"
#include "runner/win32_window.h"

class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const ProjectBundle& project);
  ~FlutterWindow() override;

 protected:
  bool OnWindowCreated() override;
  void OnWindowDestroyed() override;
  // Offers every message to the engine first; what the engine leaves goes to
  // Win32Window. WM_FONTCHANGE also reloads the engine's fonts.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept override;

 private:
  ProjectBundle project_;
  // The engine and its view while the native window exists.
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
};

#endif  // ORVA_RUNNER_FLUTTER_WINDOW_H_
