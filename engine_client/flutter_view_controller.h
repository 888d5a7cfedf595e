// A view controller of a given pixel size: creates the engine, hands the
// engine over to the library's view controller and forwards top-level window
// messages and redraw requests to it.
#ifndef ORVA_ENGINE_CLIENT_FLUTTER_VIEW_CONTROLLER_H_
#define ORVA_ENGINE_CLIENT_FLUTTER_VIEW_CONTROLLER_H_

#include <windows.h>

#include <memory>
#include <optional>

#include "engine_client/flutter_desktop_api.h"
#include "engine_client/flutter_engine.h"
#include "engine_client/flutter_view.h"
#include "engine_client/project_bundle.h"

namespace flutter {

class FlutterViewController {
 public:
  // |width| and |height| are physical pixels. When the engine library
  // refuses the controller (for example when the runtime files are missing),
  // "Failed to create view controller." goes to the standard error stream
  // and GetView() returns null; the engine object still exists.
  FlutterViewController(int width, int height, const ProjectBundle& project);

  // Destroys the library's view controller (which ends the engine) first,
  // then the view, then this controller's share of the engine object.
  virtual ~FlutterViewController();

  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  FlutterEngine* GetEngine() { return engine_.get(); }
  FlutterView* GetView() { return view_.get(); }

  // Offers a top-level window message to the engine; the result is present
  // when the engine consumed the message.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam);

  void ForceRedraw();

 private:
  FlutterDesktopViewControllerRef controller_handle_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_FLUTTER_VIEW_CONTROLLER_H_
