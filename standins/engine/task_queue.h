// A queue of work for the thread that runs the window's message loop.
//
// Any thread may post; a message-only window created on the owning thread
// runs the queued work there when the loop dispatches its message. Work left
// in the queue runs when the queue is destroyed, so nothing posted is lost.
#ifndef ORVA_STANDINS_ENGINE_TASK_QUEUE_H_
#define ORVA_STANDINS_ENGINE_TASK_QUEUE_H_

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace standin {

class TaskQueue {
 public:
  TaskQueue();
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;
  ~TaskQueue();

  void Post(std::function<void()> task);
  // Runs everything queued so far (and whatever those tasks queue).
  void RunAll();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
  std::mutex lock_;
  std::deque<std::function<void()>> queue_;
};

// The stand-in engine library's module handle (for window classes).
HINSTANCE LibraryModule();

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_TASK_QUEUE_H_
