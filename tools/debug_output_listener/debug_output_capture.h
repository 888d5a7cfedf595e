// DebugOutputCapture: collects the lines that processes of this session
// write with OutputDebugStringA while no debugger is attached to them.
//
// The protocol debug viewers use: the listener owns the auto-reset events
// DBWIN_BUFFER_READY and DBWIN_DATA_READY and the 4096-byte shared section
// DBWIN_BUFFER. A writer waits for BUFFER_READY, puts its process id (a
// 32-bit value) and the zero-terminated text into the section and sets
// DATA_READY; the listener copies the line and sets BUFFER_READY again.
// Only one listener can own these objects at a time.
#ifndef ORVA_TOOLS_DEBUG_OUTPUT_LISTENER_DEBUG_OUTPUT_CAPTURE_H_
#define ORVA_TOOLS_DEBUG_OUTPUT_LISTENER_DEBUG_OUTPUT_CAPTURE_H_

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/unique_handle.h"

struct DebugLine {
  uint32_t process_id = 0;
  std::string text;
};

class DebugOutputCapture {
 public:
  // With |on_line|, each line is handed to it (on the capture's own thread)
  // and not kept; without it, lines are kept for Lines() and WaitForText().
  explicit DebugOutputCapture(std::function<void(const DebugLine&)> on_line = nullptr);
  ~DebugOutputCapture();

  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  // False when the shared objects could not be created, or another listener
  // already owns them; error() then says why.
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  // The lines kept so far, oldest first.
  std::vector<DebugLine> Lines() const;
  // The texts of the kept lines written by |process_id|.
  std::vector<std::string> TextsFrom(uint32_t process_id) const;

  // Waits until a kept line's text equals |text|, at most |timeout_ms|.
  bool WaitForText(const std::string& text, uint32_t timeout_ms) const;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  std::function<void(const DebugLine&)> on_line_;
  bool ok_ = false;
  std::string error_;
  UniqueHandle buffer_ready_;
  UniqueHandle data_ready_;
  UniqueHandle mapping_;
  UniqueView view_;
  UniqueHandle stop_;
  UniqueHandle thread_;  // declared last: joined first, before the rest closes

  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<DebugLine> lines_;
};

#endif  // ORVA_TOOLS_DEBUG_OUTPUT_LISTENER_DEBUG_OUTPUT_CAPTURE_H_
