// Starting programs as child processes from a test: with a chosen command
// line, with their standard output and error captured,
// and waiting for their end. Handles are owned and closed by construction.
#ifndef ORVA_RUNNER_TESTS_CHILD_PROCESS_H_
#define ORVA_RUNNER_TESTS_CHILD_PROCESS_H_

#include <windows.h>

#include <optional>
#include <string>

#include "common/unique_handle.h"

namespace runner_test {

// A running child. Its standard output and error go to one temporary file
// (a file, not a pipe: nothing the child leaves behind can keep it open).
class ChildProcess {
 public:
  // Starts |application| with the full |command_line| (program name first)
  // in |working_folder| (empty: inherit). started() tells whether it worked.
  ChildProcess(const std::wstring& application, const std::wstring& command_line,
               const std::wstring& working_folder = L"");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  DWORD process_id() const { return process_id_; }

  // Waits at most |limit_ms| for the end; returns the exit code, or -1 when
  // the child is still running (it is then killed) or never started. The
  // limit only guards against a hang; nothing is measured.
  long WaitForExit(DWORD limit_ms = 60000);

  // Everything the child has written to its standard output and error.
  std::string output() const;

 private:
  UniqueHandle process_;
  std::wstring output_path_;
  DWORD process_id_ = 0;
};

// Polls |condition| every 50 ms until it holds or |limit_ms| have passed;
// returns whether it held. The limit only guards against a hang.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD limit_ms = 60000) {
  for (DWORD waited = 0;; waited += 50) {
    if (condition()) return true;
    if (waited >= limit_ms) return false;
    ::Sleep(50);
  }
}

// Dispatches every message of the thread's queue, reporting whether WM_QUIT was
// among them and with which exit value.
inline std::optional<WPARAM> DrainQueueForQuit() {
  std::optional<WPARAM> quit;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = message.wParam;
    } else {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return quit;
}

// The folder of the running test program, with a trailing backslash.
std::wstring TestProgramFolder();

}  // namespace runner_test

#endif  // ORVA_RUNNER_TESTS_CHILD_PROCESS_H_
