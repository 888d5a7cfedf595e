// FlutterViewController: creates the engine, hands it to the library's view
// controller, and tears both down in the order the library needs.
#include "engine_client/flutter_view_controller.h"

#include <iostream>

namespace flutter {

FlutterViewController::FlutterViewController(int width, int height, const ProjectBundle& project)
    : engine_(std::make_shared<FlutterEngine>(project)) {
  controller_handle_ =
      FlutterDesktopViewControllerCreate(width, height, engine_->ReleaseEngineHandle());
  if (controller_handle_ == nullptr) {
    std::cerr << "Failed to create view controller." << std::endl;
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_handle_));
}

FlutterViewController::~FlutterViewController() {
  // The library's controller owns the engine: destroying it ends the engine
  // while the engine object and its messenger still exist.
  if (controller_handle_ != nullptr) FlutterDesktopViewControllerDestroy(controller_handle_);
  controller_handle_ = nullptr;
  view_.reset();
  engine_.reset();
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(HWND window, UINT message,
                                                                       WPARAM wparam,
                                                                       LPARAM lparam) {
  if (controller_handle_ == nullptr) return std::nullopt;
  LRESULT result = 0;
  if (FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_handle_, window, message,
                                                           wparam, lparam, &result)) {
    return result;
  }
  return std::nullopt;
}

void FlutterViewController::ForceRedraw() {
  if (controller_handle_ != nullptr) FlutterDesktopViewControllerForceRedraw(controller_handle_);
}

}  // namespace flutter
