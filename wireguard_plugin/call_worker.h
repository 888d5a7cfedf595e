// CallWorker: one thread that runs queued tasks one at a time, in the order
// they were posted.
//
// The plugin answers the UI's calls from here, so that the window's thread
// never waits on WireGuard's tools. The thread starts with the first task.
#ifndef ORVA_WIREGUARD_PLUGIN_CALL_WORKER_H_
#define ORVA_WIREGUARD_PLUGIN_CALL_WORKER_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CallWorker {
 public:
  using Task = std::function<void()>;

  CallWorker() = default;
  CallWorker(const CallWorker&) = delete;
  CallWorker& operator=(const CallWorker&) = delete;
  // Stops the worker (see Stop).
  ~CallWorker();

  // Queues |task| behind every task posted before it. Once Stop has been
  // called the task is destroyed unrun and false is returned.
  bool Post(Task task);

  // Destroys the queued tasks unrun and refuses new ones; a running task
  // goes on. Later calls do nothing.
  void Close();

  // Closes the queue (see Close), waits for the running task to return and
  // ends the thread. |while_waiting|, when given, is
  // called on the calling thread about every 10 ms while the running task
  // goes on (the window's thread passes a pump for messages sent to its
  // windows, which the task may be waiting on). Must not be called from a
  // task; later calls do nothing.
  void Stop(const std::function<void()>& while_waiting = {});

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;      // a task was posted, or Stop was called
  std::condition_variable finished_;  // the thread has left its loop
  std::deque<Task> queue_;
  bool stopping_ = false;
  bool finished_running_ = false;
  bool joined_ = false;
  std::thread thread_;
};

#endif  // ORVA_WIREGUARD_PLUGIN_CALL_WORKER_H_
