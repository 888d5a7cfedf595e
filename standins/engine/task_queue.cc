// Loop-thread work queue of an engine (see task_queue.h).
#include "standins/engine/task_queue.h"

#include <utility>

namespace standin {
namespace {

constexpr wchar_t kTaskWindowClass[] = L"OrvaStandinEngineTasks";
constexpr UINT kRunTasksMessage = WM_APP + 1;

void RegisterTaskWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = LibraryModule();
    window_class.lpszClassName = kTaskWindowClass;
    RegisterClassW(&window_class);
  });
}

}  // namespace

HINSTANCE LibraryModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&LibraryModule), &module);
  return module;
}

TaskQueue::TaskQueue() {
  RegisterTaskWindowClass();
  window_ = CreateWindowExW(0, kTaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            LibraryModule(), nullptr);
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TaskQueue::WindowProc));
  }
}

TaskQueue::~TaskQueue() {
  RunAll();
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void TaskQueue::Post(std::function<void()> task) {
  bool first;
  {
    std::lock_guard<std::mutex> guard(lock_);
    first = queue_.empty();
    queue_.push_back(std::move(task));
  }
  // One wake-up per batch; RunAll drains everything queued before it runs.
  if (first && window_) PostMessageW(window_, kRunTasksMessage, 0, 0);
}

void TaskQueue::RunAll() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (queue_.empty()) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
  }
}

LRESULT CALLBACK TaskQueue::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunTasksMessage) {
    auto* queue = reinterpret_cast<TaskQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (queue) queue->RunAll();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace standin
