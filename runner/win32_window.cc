// The top-level window base: class registration, DPI-scaled creation,
// message routing, child content, theme.
#include "runner/win32_window.h"

#include <dwmapi.h>

#include "common/unique_handle.h"
#include "engine_client/flutter_desktop_api.h"
#include "runner/resource.h"

namespace {

constexpr const wchar_t* kWindowClassName = Win32Window::kClassName;

// Immersive dark-mode attribute of the desktop window manager (older SDK
// headers do not name it).
constexpr DWORD kDwmUseImmersiveDarkMode = 20;

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kAppsUseLightThemeValue[] = L"AppsUseLightTheme";

// Remembers whether this process has registered the window class. Created on
// first use and never freed.
class WindowClassRegistry {
 public:
  static WindowClassRegistry& Instance() {
    static WindowClassRegistry* registry = new WindowClassRegistry();
    return *registry;
  }

  const wchar_t* RegisterOnce() {
    if (!registered_) {
      WNDCLASSW window_class{};
      window_class.style = CS_HREDRAW | CS_VREDRAW;
      window_class.lpfnWndProc = Win32Window::WindowProcedure;
      window_class.hInstance = ::GetModuleHandleW(nullptr);
      window_class.hIcon = ::LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(IDI_APP_ICON));
      window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      window_class.lpszClassName = kWindowClassName;
      ::RegisterClassW(&window_class);
      // A failed registration shows up as a failed CreateWindowExW.
      registered_ = true;
    }
    return kWindowClassName;
  }

  void Unregister() {
    ::UnregisterClassW(kWindowClassName, nullptr);
    registered_ = false;
  }

 private:
  bool registered_ = false;
};

void UnregisterClassIfNoWindowLeft() {
  if (Win32Window::ActiveWindowCount() == 0) WindowClassRegistry::Instance().Unregister();
}

// Lets Windows scale the caption and frame with the monitor's DPI where the
// running system offers the switch (Windows 10 1607 and later).
void TryEnableNonClientDpiScaling(HWND window) {
  const UniqueModule user32(::LoadLibraryA("User32.dll"));
  if (!user32) return;
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void*>(::GetProcAddress(user32.Get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) enable(window);
}

int32_t Scale(int32_t logical, double scale) { return static_cast<int32_t>(logical * scale); }

}  // namespace

Win32Window::WindowAttributeSetter Win32Window::set_window_attribute = &::DwmSetWindowAttribute;
int32_t Win32Window::active_window_count_ = 0;

Win32Window::Win32Window() { ++active_window_count_; }

Win32Window::~Win32Window() {
  --active_window_count_;
  Destroy();
}

bool Win32Window::Create(const std::wstring& title, const Point& origin, const Size& size) {
  Destroy();
  const wchar_t* window_class = WindowClassRegistry::Instance().RegisterOnce();

  const POINT target_point = {static_cast<LONG>(origin.x), static_cast<LONG>(origin.y)};
  HMONITOR monitor = ::MonitorFromPoint(target_point, MONITOR_DEFAULTTONEAREST);
  const UINT dpi = FlutterDesktopGetDpiForMonitor(monitor);
  const double scale = dpi / 96.0;

  HWND window =
      ::CreateWindowExW(0, window_class, title.c_str(), WS_OVERLAPPEDWINDOW, Scale(origin.x, scale),
                        Scale(origin.y, scale), Scale(size.width, scale), Scale(size.height, scale),
                        nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (window == nullptr) return false;

  ApplySystemTheme(window);
  return OnWindowCreated();
}

bool Win32Window::Show() { return ::ShowWindow(window_handle_, SW_SHOWNORMAL) != 0; }

void Win32Window::Destroy() {
  NotifyDestroyed();
  if (window_handle_ != nullptr) {
    ::DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
  UnregisterClassIfNoWindowLeft();
}

void Win32Window::AttachContent(HWND content) {
  child_content_ = content;
  ::SetParent(content, window_handle_);
  const RECT frame = ClientArea();
  ::MoveWindow(content, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               TRUE);
  ::SetFocus(child_content_);
}

void Win32Window::SetQuitOnDestroy(bool quit_on_destroy) { quit_on_destroy_ = quit_on_destroy; }

RECT Win32Window::ClientArea() const {
  RECT frame{};
  ::GetClientRect(window_handle_, &frame);
  return frame;
}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    auto* create_struct = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* that = static_cast<Win32Window*>(create_struct->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(that));
    TryEnableNonClientDpiScaling(window);
    that->window_handle_ = window;
    that->destroy_notice_due_ = true;
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  auto* that = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (that != nullptr) return that->HandleMessage(window, message, wparam, lparam);
  return ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Window::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                   LPARAM lparam) noexcept {
  switch (message) {
    case WM_DESTROY:
      window_handle_ = nullptr;
      NotifyDestroyed();
      UnregisterClassIfNoWindowLeft();
      if (quit_on_destroy_) ::PostQuitMessage(0);
      return 0;

    case WM_SIZE:
      if (child_content_ != nullptr) {
        const RECT frame = ClientArea();
        ::MoveWindow(child_content_, frame.left, frame.top, frame.right - frame.left,
                     frame.bottom - frame.top, TRUE);
      }
      return 0;

    case WM_ACTIVATE:
      if (child_content_ != nullptr) ::SetFocus(child_content_);
      return 0;

    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }

    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplySystemTheme(window);
      return 0;
  }
  // The message's own window, not the stored handle: that is cleared at
  // WM_DESTROY, and WM_NCDESTROY and whatever the destruction sends still
  // need the default handling of this window.
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void Win32Window::NotifyDestroyed() {
  if (!destroy_notice_due_) return;
  destroy_notice_due_ = false;
  OnWindowDestroyed();
}

bool Win32Window::OnWindowCreated() { return true; }

void Win32Window::OnWindowDestroyed() {}

void Win32Window::ApplySystemTheme(HWND window) {
  DWORD light_mode = 0;
  DWORD light_mode_size = sizeof(light_mode);
  const LSTATUS result = ::RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightThemeValue,
                                        RRF_RT_REG_DWORD, nullptr, &light_mode, &light_mode_size);
  if (result != ERROR_SUCCESS) return;
  const BOOL enable_dark_mode = light_mode == 0;
  set_window_attribute(window, kDwmUseImmersiveDarkMode, &enable_dark_mode,
                       sizeof(enable_dark_mode));
}
