// Win32Window driven in-process: creation and DPI scaling, the window class's
// lifetime, the child content, DPI changes, the app theme and quitting.
// The monitor DPI comes from the stand-in engine library (OrvaEngineSetDpi).
#include "runner/win32_window.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runner/tests/child_process.h"
#include "standins/engine/engine_controls.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kLightThemeValue[] = L"AppsUseLightTheme";

// A window that counts its hooks and can refuse creation. When it goes, it
// asks its window for its title, which takes the default handling of a
// window whose stored handle may already be cleared.
class ProbeWindow : public Win32Window {
 public:
  bool accept_creation = true;
  int created_calls = 0;
  int destroyed_calls = 0;
  std::wstring title_when_destroyed;

 protected:
  bool OnWindowCreated() override {
    ++created_calls;
    native_ = Handle();
    return accept_creation;
  }
  void OnWindowDestroyed() override {
    ++destroyed_calls;
    wchar_t title[64] = {};
    ::SendMessageW(native_, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(title));
    title_when_destroyed = title;
  }

 private:
  HWND native_ = nullptr;
};

RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// Where |child| lies inside its parent's client area.
RECT RectInParent(HWND child) {
  RECT rect = WindowRect(child);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " +
         std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top);
}

bool ClassRegistered() {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  return ::GetClassInfoExW(::GetModuleHandleW(nullptr), kClassName, &info) != 0;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { OrvaEngineSetDpi(96); }
  void TearDown() override {
    OrvaEngineSetDpi(0);
    runner_test::DrainQueueForQuit();
  }
};

TEST_F(Win32WindowTest, CreationScalesOriginAndSizeByTheMonitorDpiAndTruncates) {
  struct Case {
    uint32_t dpi;
    int x, y, width, height;
    RECT expected;
  };
  const Case cases[] = {
      {96, 10, 10, 900, 700, {10, 10, 910, 710}},
      {120, 10, 10, 900, 700, {12, 12, 12 + 1125, 12 + 875}},
      {144, 10, 10, 900, 700, {15, 15, 15 + 1350, 15 + 1050}},
      // 8.75, 3.75, 126.25 and 68.75 all truncate toward zero.
      {120, 7, 3, 101, 55, {8, 3, 8 + 126, 3 + 68}},
  };
  for (const Case& c : cases) {
    OrvaEngineSetDpi(c.dpi);
    ProbeWindow window;
    ASSERT_TRUE(window.Create(L"scaling", Win32Window::Point(c.x, c.y),
                              Win32Window::Size(c.width, c.height)));
    EXPECT_PRED2(SameRect, WindowRect(window.Handle()), c.expected)
        << "at " << c.dpi << " dpi the window is " << Describe(WindowRect(window.Handle()))
        << ", expected " << Describe(c.expected);
  }
}

TEST_F(Win32WindowTest, CreationMakesAHiddenOverlappedWindowAndRunsTheHook) {
  ProbeWindow window;
  ASSERT_TRUE(
      window.Create(L"ORVA hidden", Win32Window::Point(10, 10), Win32Window::Size(300, 200)));
  HWND handle = window.Handle();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.created_calls, 1);
  EXPECT_FALSE(::IsWindowVisible(handle));
  wchar_t text[64] = {};
  ::GetWindowTextW(handle, text, 64);
  EXPECT_STREQ(text, L"ORVA hidden");
  ::GetClassNameW(handle, text, 64);
  EXPECT_STREQ(text, kClassName);
  EXPECT_EQ(::GetWindowLongPtrW(handle, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_EQ(::GetParent(handle), nullptr);

  window.Show();
  EXPECT_TRUE(::IsWindowVisible(handle));
  // ShowWindow's answer: the window was visible already.
  EXPECT_TRUE(window.Show());

  // Creating again replaces the first window.
  ASSERT_TRUE(window.Create(L"second", Win32Window::Point(20, 20), Win32Window::Size(300, 200)));
  EXPECT_FALSE(::IsWindow(handle));
  EXPECT_NE(window.Handle(), handle);
  EXPECT_EQ(window.created_calls, 2);
  EXPECT_EQ(window.destroyed_calls, 1);

  // A refusing hook fails Create but leaves the window for Destroy.
  ProbeWindow refusing;
  refusing.accept_creation = false;
  EXPECT_FALSE(
      refusing.Create(L"refused", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
  ASSERT_NE(refusing.Handle(), nullptr);
  HWND refused = refusing.Handle();
  EXPECT_TRUE(::IsWindow(refused));
  refusing.Destroy();
  EXPECT_EQ(refusing.Handle(), nullptr);
  EXPECT_FALSE(::IsWindow(refused));
}

TEST_F(Win32WindowTest, TheClassLivesAsLongAsAnyWindowObject) {
  ASSERT_EQ(Win32Window::ActiveWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());
  {
    ProbeWindow first;
    {
      ProbeWindow second;
      ASSERT_TRUE(first.Create(L"one", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
      ASSERT_TRUE(second.Create(L"two", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
      EXPECT_TRUE(ClassRegistered());
      EXPECT_EQ(Win32Window::ActiveWindowCount(), 2);
    }
    // One object left: the class stays, and its window still works.
    EXPECT_TRUE(ClassRegistered());
    EXPECT_TRUE(::IsWindow(first.Handle()));
  }
  EXPECT_EQ(Win32Window::ActiveWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());

  // A later window registers the class again.
  ProbeWindow later;
  ASSERT_TRUE(later.Create(L"later", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
  EXPECT_TRUE(ClassRegistered());
}

TEST_F(Win32WindowTest, AttachedContentFillsTheClientAreaAndTakesTheFocus) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"content", Win32Window::Point(10, 10), Win32Window::Size(400, 300)));
  window.Show();
  HWND other = ::CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
  // The content starts life elsewhere, as the engine's view does.
  HWND content = ::CreateWindowExW(0, L"STATIC", L"content", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5,
                                   other, nullptr, nullptr, nullptr);
  ASSERT_NE(content, nullptr);

  window.AttachContent(content);
  EXPECT_EQ(::GetParent(content), window.Handle());
  EXPECT_PRED2(SameRect, RectInParent(content), window.ClientArea());
  EXPECT_EQ(::GetFocus(), content);

  ::SetWindowPos(window.Handle(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  const RECT client = window.ClientArea();
  EXPECT_GT(client.right, 400);
  EXPECT_PRED2(SameRect, RectInParent(content), client);

  ::SetFocus(window.Handle());
  ASSERT_NE(::GetFocus(), content);
  ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(::GetFocus(), content);

  window.Destroy();
  ::DestroyWindow(other);
}

TEST_F(Win32WindowTest, DpiChangeMovesToTheSuggestedRectangleWithoutActivating) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"dpi", Win32Window::Point(10, 10), Win32Window::Size(400, 300)));
  ProbeWindow active;
  ASSERT_TRUE(active.Create(L"active", Win32Window::Point(500, 10), Win32Window::Size(200, 200)));
  active.Show();
  ::SetActiveWindow(active.Handle());
  ASSERT_EQ(::GetActiveWindow(), active.Handle());

  RECT suggested = {100, 120, 100 + 750, 120 + 525};
  EXPECT_EQ(::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                           reinterpret_cast<LPARAM>(&suggested)),
            0);
  EXPECT_PRED2(SameRect, WindowRect(window.Handle()), suggested);
  EXPECT_EQ(::GetActiveWindow(), active.Handle());
  EXPECT_FALSE(::IsWindowVisible(window.Handle()));
}

// Wine's DwmSetWindowAttribute is a stub with no visible effect, so these
// tests put a recorder into Win32Window's dark-mode seam and check the calls
// that would reach the desktop window manager.
struct AttributeCall {
  HWND window;
  DWORD attribute;
  BOOL value;
  DWORD size;
};
std::vector<AttributeCall> recorded_attribute_calls;

HRESULT WINAPI RecordAttribute(HWND window, DWORD attribute, LPCVOID value, DWORD size) {
  recorded_attribute_calls.push_back(
      {window, attribute, size == sizeof(BOOL) ? *static_cast<const BOOL*>(value) : -1, size});
  return S_OK;
}

class Win32WindowThemeTest : public Win32WindowTest {
 protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, kLightThemeValue, RRF_RT_REG_DWORD,
                       nullptr, &value, &size) == ERROR_SUCCESS) {
      saved_value_ = value;
    }
    saved_setter_ = Win32Window::set_window_attribute;
    Win32Window::set_window_attribute = &RecordAttribute;
    recorded_attribute_calls.clear();
  }
  void TearDown() override {
    Win32Window::set_window_attribute = saved_setter_;
    if (saved_value_) {
      SetLightTheme(*saved_value_);
    } else {
      RemoveLightTheme();
    }
    Win32WindowTest::TearDown();
  }

  static void SetLightTheme(DWORD value) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kLightThemeValue, REG_DWORD,
                                &value, sizeof(value)),
              ERROR_SUCCESS);
  }
  static void RemoveLightTheme() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kPersonalizeKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
      ::RegDeleteValueW(key, kLightThemeValue);
      ::RegCloseKey(key);
    }
  }

  // Creates a window under the current setting and returns the dark-mode
  // calls its creation made.
  std::vector<AttributeCall> CallsOnCreation(ProbeWindow* window) {
    recorded_attribute_calls.clear();
    EXPECT_TRUE(window->Create(L"theme", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
    return recorded_attribute_calls;
  }

 private:
  std::optional<DWORD> saved_value_;
  Win32Window::WindowAttributeSetter saved_setter_ = nullptr;
};

TEST_F(Win32WindowThemeTest, DarkModeFollowsAppsUseLightTheme) {
  // Dark for 0, light for any other value, nothing set without the value.
  const std::optional<DWORD> settings[] = {0, 1, 7, std::nullopt};
  for (const std::optional<DWORD>& setting : settings) {
    SCOPED_TRACE(setting ? std::to_string(*setting) : "no value");
    if (setting) {
      SetLightTheme(*setting);
    } else {
      RemoveLightTheme();
    }
    ProbeWindow window;
    const std::vector<AttributeCall> calls = CallsOnCreation(&window);
    ASSERT_EQ(calls.size(), setting ? 1u : 0u);
    if (!setting) continue;
    EXPECT_EQ(calls[0].window, window.Handle());
    EXPECT_EQ(calls[0].attribute, 20u);  // immersive dark mode
    EXPECT_EQ(calls[0].size, 4u);
    EXPECT_EQ(calls[0].value, *setting == 0 ? TRUE : FALSE);
  }
}

TEST_F(Win32WindowThemeTest, ColourSettingChangesReapplyTheTheme) {
  SetLightTheme(1);
  ProbeWindow window;
  ASSERT_TRUE(window.Create(L"theme", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));

  SetLightTheme(0);
  recorded_attribute_calls.clear();
  EXPECT_EQ(::SendMessageW(window.Handle(), WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0), 0);
  ASSERT_EQ(recorded_attribute_calls.size(), 1u);
  EXPECT_EQ(recorded_attribute_calls[0].window, window.Handle());
  EXPECT_EQ(recorded_attribute_calls[0].value, TRUE);

  RemoveLightTheme();
  recorded_attribute_calls.clear();
  ::SendMessageW(window.Handle(), WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  EXPECT_TRUE(recorded_attribute_calls.empty());
}

// However the window goes, OnWindowDestroyed runs once, while the window can
// still answer; a later Destroy adds nothing; only a window asked to posts
// the quit message.
TEST_F(Win32WindowTest, DestructionNotifiesOnceAndPostsQuitOnlyWhenAsked) {
  const struct {
    const char* name;
    bool quit_on_destroy;
    void (*destroy)(ProbeWindow& window);
  } cases[] = {
      {"Destroy", false, [](ProbeWindow& window) { window.Destroy(); }},
      {"DestroyWindow", false, [](ProbeWindow& window) { ::DestroyWindow(window.Handle()); }},
      // The user closing the window: default close handling destroys it.
      {"closed by the user", true,
       [](ProbeWindow& window) { ::SendMessageW(window.Handle(), WM_CLOSE, 0, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    runner_test::DrainQueueForQuit();
    ProbeWindow window;
    ASSERT_TRUE(window.Create(L"probe", Win32Window::Point(10, 10), Win32Window::Size(100, 100)));
    window.SetQuitOnDestroy(c.quit_on_destroy);
    HWND handle = window.Handle();
    c.destroy(window);
    window.Destroy();
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_EQ(window.destroyed_calls, 1);
    EXPECT_EQ(window.title_when_destroyed, L"probe");
    EXPECT_EQ(runner_test::DrainQueueForQuit(),
              c.quit_on_destroy ? std::optional<WPARAM>(0) : std::nullopt);
  }
}

}  // namespace
