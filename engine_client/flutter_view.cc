// FlutterView: the view handle and its native window.
#include "engine_client/flutter_view.h"

namespace flutter {

FlutterView::FlutterView(FlutterDesktopViewRef view) : view_handle_(view) {}

FlutterView::~FlutterView() = default;

HWND FlutterView::GetNativeWindow() const { return FlutterDesktopViewGetHWND(view_handle_); }

}  // namespace flutter
