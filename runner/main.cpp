// Entry point: one running copy per logon session, then the top-level window
// and the message loop. Exit codes: 0 after a normal end or when another copy
// was brought forward, 1 when the mutex or the window cannot be created.
#include <windows.h>

#include <objbase.h>

#include <memory>
#include <string>

#include "common/unique_handle.h"
#include "engine_client/project_bundle.h"
#include "runner/flutter_window.h"
#include "runner/utils.h"

namespace {

constexpr wchar_t kSingleInstanceMutexName[] = L"Local\\ZAREZEV-SingleInstance";
constexpr wchar_t kWindowTitle[] = L"ORVA VPN";
constexpr wchar_t kDataFolder[] = L"data";

// Brings the running copy's window, when there is one, to the user.
void ActivateRunningInstance() {
  // Class and title both: another program's window may carry the title (a
  // file manager showing the install folder "ORVA VPN", say).
  HWND running = ::FindWindowW(Win32Window::kClassName, kWindowTitle);
  if (running != nullptr) {
    ::ShowWindow(running, SW_RESTORE);
    ::SetForegroundWindow(running);
  }
}

// Owns the single-instance mutex handle. Release() gives the mutex up (when
// this copy owns it) and closes the handle; the destructor does the same for
// any path that did not.
class InstanceMutex {
 public:
  InstanceMutex() : handle_(::CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName)) {
    owned_ = handle_ && ::GetLastError() != ERROR_ALREADY_EXISTS;
  }
  ~InstanceMutex() { Release(); }
  InstanceMutex(const InstanceMutex&) = delete;
  InstanceMutex& operator=(const InstanceMutex&) = delete;

  bool created() const { return handle_.IsValid(); }
  // False when another copy created the mutex first and still holds it.
  bool owned() const { return owned_; }

  void Release() {
    if (owned_) ::ReleaseMutex(handle_.Get());
    handle_.Reset();
    owned_ = false;
  }

 private:
  UniqueHandle handle_;
  bool owned_ = false;
};

// Runs until WM_QUIT; its exit value is not used.
void RunMessageLoop() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

int APIENTRY wWinMain(_In_ HINSTANCE instance, _In_opt_ HINSTANCE previous_instance,
                      _In_ wchar_t* command_line, _In_ int show_command) {
  InstanceMutex instance_mutex;
  if (!instance_mutex.created()) return 1;
  if (!instance_mutex.owned()) {
    ActivateRunningInstance();
    return 0;
  }

  // Nothing here depends on COM succeeding, so the result is not examined.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  const std::wstring folder = ExecutableFolder();
  // The bundle's relative "data" paths resolve against the working directory.
  if (!folder.empty()) ::SetCurrentDirectoryW(folder.c_str());

  ProjectBundle project(kDataFolder);
  project.entrypoint_arguments = ReadCommandLineArguments();

  auto window = std::make_unique<FlutterWindow>(project);
  if (!window->Create(kWindowTitle, Win32Window::Point(10, 10), Win32Window::Size(900, 700))) {
    instance_mutex.Release();
    window.reset();
    return 1;
  }
  window->SetQuitOnDestroy(true);

  RunMessageLoop();

  ::CoUninitialize();
  instance_mutex.Release();
  // The engine already ended with the native window; this frees the object.
  window.reset();
  return 0;
}
