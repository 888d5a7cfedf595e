// CallWorker: a FIFO of tasks served by one thread.
#include "wireguard_plugin/call_worker.h"

#include <chrono>
#include <utility>

CallWorker::~CallWorker() { Stop(); }

bool CallWorker::Post(Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      queue_.push_back(std::move(task));
      if (!thread_.joinable()) thread_ = std::thread(&CallWorker::Run, this);
      wake_.notify_one();
      return true;
    }
  }
  task = nullptr;  // refused: destroyed here, outside the lock
  return false;
}

void CallWorker::Close() {
  std::deque<Task> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    dropped.swap(queue_);
    wake_.notify_one();
  }
  // The tasks' captures (and what they would have answered) go here, on the
  // calling thread, outside the lock.
  dropped.clear();
}

void CallWorker::Stop(const std::function<void()>& while_waiting) {
  Close();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (joined_ || !thread_.joinable()) return;
    joined_ = true;
    while (!finished_running_) {
      if (!while_waiting) {
        finished_.wait(lock);
        continue;
      }
      finished_.wait_for(lock, std::chrono::milliseconds(10));
      lock.unlock();
      while_waiting();
      lock.lock();
    }
  }
  thread_.join();
}

void CallWorker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) break;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // its captures go before the next task starts
    lock.lock();
  }
  finished_running_ = true;
  finished_.notify_all();
}
