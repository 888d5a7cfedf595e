// Win32Window: the base of the program's top-level window. It registers the
// window class, creates a DPI-scaled overlapped window, routes its messages
// to a per-object handler, keeps an attached child window filling the client
// area and focused, and follows DPI changes and the user's app theme.
#ifndef ORVA_RUNNER_WIN32_WINDOW_H_
#define ORVA_RUNNER_WIN32_WINDOW_H_

#include <windows.h>

#include <cstdint>
#include <string>

class Win32Window {
 public:
  // Logical pixels (96 per inch); Create scales them to the monitor's DPI.
  struct Point {
    Point(int32_t x, int32_t y) : x(x), y(y) {}
    int32_t x;
    int32_t y;
  };
  struct Size {
    Size(int32_t width, int32_t height) : width(width), height(height) {}
    int32_t width;
    int32_t height;
  };

  // Sets the immersive dark-mode attribute of a window; the signature of
  // DwmSetWindowAttribute.
  using WindowAttributeSetter = HRESULT(WINAPI*)(HWND window, DWORD attribute, LPCVOID value,
                                                 DWORD size);
  // What ApplySystemTheme calls to switch dark mode: DwmSetWindowAttribute,
  // unless a test has put a recorder here (Wine's DWM ignores the call, so
  // its effect can only be seen at this point).
  static WindowAttributeSetter set_window_attribute;

  // The class of every window made here; a second copy of the program finds
  // the running one by it and the title.
  static constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

  Win32Window();
  virtual ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the hidden native window at |origin| with |size|, both scaled by
  // the DPI of the monitor nearest to |origin|, then runs OnWindowCreated.
  // Destroys an earlier window of this object first. True when the window
  // exists and OnWindowCreated agreed.
  bool Create(const std::wstring& title, const Point& origin, const Size& size);

  // Shows the window normally. Returns ShowWindow's answer as a bool, which
  // is whether the window was already visible before the call.
  bool Show();

  // Destroys the native window; unregisters the class when no window object
  // is left.
  void Destroy();

  // Makes |content| the child window that fills the client area and has the
  // keyboard focus. The child is not owned.
  void AttachContent(HWND content);

  // When set, destroying the native window posts the quit message.
  void SetQuitOnDestroy(bool quit_on_destroy);

  HWND Handle() const { return window_handle_; }
  RECT ClientArea() const;

  // The window class's procedure: stores the object on WM_NCCREATE and
  // forwards every later message to its HandleMessage.
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) noexcept;

  // Turns the immersive dark mode of |window| on or off after the current
  // user's "AppsUseLightTheme" setting; leaves it alone when the setting
  // cannot be read.
  static void ApplySystemTheme(HWND window);

  // Number of live Win32Window objects in the process.
  static int32_t ActiveWindowCount() { return active_window_count_; }

 protected:
  // Handles the messages of the native window; the base covers destruction,
  // sizing, activation, DPI and theme changes.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

  // Runs at the end of Create; false makes Create fail.
  virtual bool OnWindowCreated();

  // Runs once when the native window goes away: from Destroy, before the
  // window is destroyed, or at WM_DESTROY, whichever comes first.
  virtual void OnWindowDestroyed();

 private:
  void NotifyDestroyed();

  static int32_t active_window_count_;

  // A native window was made and OnWindowDestroyed has not run for it yet.
  bool destroy_notice_due_ = false;
  bool quit_on_destroy_ = false;
  HWND window_handle_ = nullptr;
  HWND child_content_ = nullptr;
};

#endif  // ORVA_RUNNER_WIN32_WINDOW_H_
