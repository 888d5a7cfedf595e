// DebugOutputCapture: see the header for the protocol.
#include "tools/debug_output_listener/debug_output_capture.h"

#include <chrono>
#include <cstring>

namespace {

constexpr DWORD kBufferSize = 4096;

// Creates a named object that must not exist yet: if it does, another
// listener owns the protocol and both would lose lines to each other.
bool CreatedFresh(HANDLE handle) { return handle && ::GetLastError() != ERROR_ALREADY_EXISTS; }

}  // namespace

DebugOutputCapture::DebugOutputCapture(std::function<void(const DebugLine&)> on_line)
    : on_line_(std::move(on_line)) {
  buffer_ready_.Reset(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
  if (!CreatedFresh(buffer_ready_.Get())) {
    error_ = "DBWIN_BUFFER_READY is taken (another debug output listener is running?)";
    return;
  }
  data_ready_.Reset(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
  if (!CreatedFresh(data_ready_.Get())) {
    error_ = "DBWIN_DATA_READY is taken (another debug output listener is running?)";
    return;
  }
  mapping_.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize,
                                      L"DBWIN_BUFFER"));
  if (!CreatedFresh(mapping_.Get())) {
    error_ = "DBWIN_BUFFER is taken (another debug output listener is running?)";
    return;
  }
  view_.Reset(::MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, kBufferSize));
  stop_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!view_ || !stop_) {
    error_ = "cannot map DBWIN_BUFFER";
    return;
  }
  thread_.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (!thread_) {
    error_ = "cannot start the capture thread";
    return;
  }
  ok_ = true;
}

DebugOutputCapture::~DebugOutputCapture() {
  if (thread_) {
    ::SetEvent(stop_.Get());
    ::WaitForSingleObject(thread_.Get(), INFINITE);
  }
}

DWORD WINAPI DebugOutputCapture::ThreadMain(void* self) {
  static_cast<DebugOutputCapture*>(self)->Run();
  return 0;
}

void DebugOutputCapture::Run() {
  const HANDLE waits[] = {data_ready_.Get(), stop_.Get()};
  const auto* buffer = static_cast<const char*>(view_.Get());
  for (;;) {
    ::SetEvent(buffer_ready_.Get());
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return;

    DebugLine line;
    std::memcpy(&line.process_id, buffer, sizeof(uint32_t));
    const char* text = buffer + sizeof(uint32_t);
    line.text.assign(text, strnlen(text, kBufferSize - sizeof(uint32_t)));

    if (on_line_) {
      on_line_(line);
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(std::move(line));
    }
    arrived_.notify_all();
  }
}

std::vector<DebugLine> DebugOutputCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> DebugOutputCapture::TextsFrom(uint32_t process_id) const {
  std::vector<std::string> texts;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const DebugLine& line : lines_) {
    if (line.process_id == process_id) texts.push_back(line.text);
  }
  return texts;
}

bool DebugOutputCapture::WaitForText(const std::string& text, uint32_t timeout_ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    for (const DebugLine& line : lines_) {
      if (line.text == text) return true;
    }
    return false;
  });
}
