// Plays a scripted UI session against the engine's messenger.
//
// The player lives in a view controller and is driven entirely from the
// view window's message loop: each step runs when the window receives
// kSessionStepMessage; a call's reply arrives as kSessionReplyMessage (posted
// by whichever thread answered); pauses and the reply deadline are window
// timers. Nothing here blocks the loop.
#ifndef ORVA_STANDINS_ENGINE_SESSION_PLAYER_H_
#define ORVA_STANDINS_ENGINE_SESSION_PLAYER_H_

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine_client/flutter_desktop_api.h"
#include "standins/engine/session_io.h"
#include "standins/engine/session_script.h"
#include "standins/engine/transcript.h"
#include "standins/engine/view_state.h"

namespace standin {

constexpr UINT kSessionStepMessage = WM_APP + 20;
constexpr UINT kSessionReplyMessage = WM_APP + 21;    // wparam: the message token
constexpr UINT kSessionRunDoneMessage = WM_APP + 22;  // an @run ended
constexpr UINT_PTR kSessionSleepTimer = 0x5e55;
constexpr UINT_PTR kSessionDeadlineTimer = 0x5e56;
constexpr UINT_PTR kSessionCloseTimer = 0x5e57;
// Repaints the view while a call waits, so it shows how long it has waited.
constexpr UINT_PTR kSessionWaitingTimer = 0x5e58;
constexpr UINT_PTR kSessionPollTimer = 0x5e59;  // sends the @poll calls
// The channel every scripted call goes on.
constexpr char kSessionChannel[] = "com.orva_divuv/wireguard";
// How long a call may stay unanswered before the transcript says so and the
// session goes on (ORVA_UI_REPLY_TIMEOUT_MS overrides it).
constexpr uint32_t kDefaultReplyTimeoutMs = 15 * 60 * 1000;

class SessionPlayer {
 public:
  // |holder| is the hidden window the view was created in: when the view is
  // still inside it, "quit" ends the loop instead of closing a window.
  SessionPlayer(std::vector<SessionStep> steps, std::unique_ptr<TranscriptFile> transcript,
                HWND view, HWND holder, FlutterDesktopMessengerRef messenger, ViewState* state,
                std::function<void()> redraw, uint32_t reply_timeout_ms,
                std::string startup_error = std::string());
  SessionPlayer(const SessionPlayer&) = delete;
  SessionPlayer& operator=(const SessionPlayer&) = delete;
  ~SessionPlayer();

  // Makes a player from ORVA_UI_SESSION / ORVA_UI_TRANSCRIPT /
  // ORVA_UI_REPLY_TIMEOUT_MS; null when ORVA_UI_SESSION is not set.
  static std::unique_ptr<SessionPlayer> FromEnvironment(HWND view, HWND holder,
                                                        FlutterDesktopMessengerRef messenger,
                                                        ViewState* state,
                                                        std::function<void()> redraw);

  // Called after every rendered frame; the first one starts the session.
  void OnFrameRendered();
  // Handles the session's window messages and timers; true when consumed.
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Stops: timers killed, a pending call abandoned (its reply is ignored).
  void Stop();

 private:
  void RunNextStep();
  void RunCall(const SessionStep& step);
  void SendPolls();
  void StopPolling();
  void OnReply(int64_t token);
  void ShowReply(const DecodedReply& reply);
  void OnDeadline();
  void FinishCall(const std::string& line);
  void RunDirective(const SessionStep& step);
  void PostNextStep();
  void Quit();
  void SetSessionState(const std::string& text);

  std::vector<SessionStep> steps_;
  std::unique_ptr<TranscriptFile> transcript_;
  HWND view_;
  HWND holder_;
  FlutterDesktopMessengerRef messenger_;
  ViewState* state_;
  std::function<void()> redraw_;
  uint32_t reply_timeout_ms_;
  std::string startup_error_;  // the session file could not be read
  size_t next_step_ = 0;
  bool started_ = false;
  bool stopped_ = false;
  // The call waiting for its reply (token 0: none).
  int64_t pending_token_ = 0;
  std::string pending_method_;
  std::chrono::steady_clock::time_point sent_at_;  // when the pending call was sent
  uint64_t calls_sent_ = 0;                        // numbers the calls in sending order
  uint64_t pending_number_ = 0;
  // @poll: the calls sent on each tick, the method whose reply ends the
  // polling, the calls it has sent, and those waiting for a reply by token.
  std::vector<std::string> polled_;
  std::string poll_until_;
  uint64_t polls_sent_ = 0;
  struct Poll {
    std::string method;
    uint64_t number;
    std::chrono::steady_clock::time_point sent_at;
  };
  std::map<int64_t, Poll> polls_in_flight_;
  std::thread run_thread_;  // the @run in progress, and its transcript line
  std::string run_line_;
};

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_SESSION_PLAYER_H_
