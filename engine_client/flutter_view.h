// The engine's view: the native child window that shows its output.
#ifndef ORVA_ENGINE_CLIENT_FLUTTER_VIEW_H_
#define ORVA_ENGINE_CLIENT_FLUTTER_VIEW_H_

#include <windows.h>

#include "engine_client/flutter_desktop_api.h"

namespace flutter {

class FlutterView {
 public:
  // |view| is not owned: the view controller (or the engine) owns it.
  explicit FlutterView(FlutterDesktopViewRef view);
  virtual ~FlutterView();

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  HWND GetNativeWindow() const;

 private:
  FlutterDesktopViewRef view_handle_;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_FLUTTER_VIEW_H_
