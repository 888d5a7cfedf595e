// Plays the scripted UI session (see session_player.h and README.md).
#include "standins/engine/session_player.h"

#include <cstdio>
#include <utility>

#include "standins/engine/channel_json.h"
#include "standins/engine/engine_objects.h"

namespace standin {
namespace {

void WarnOnStderr(const std::string& text) {
  std::fprintf(stderr, "flutter_windows (stand-in) session: %s\n", text.c_str());
  std::fflush(stderr);
}

int64_t IntegerOf(const flutter::EncodableValue* value) {
  if (!value) return 0;
  if (const auto* small = std::get_if<int32_t>(value)) return *small;
  if (const auto* large = std::get_if<int64_t>(value)) return *large;
  return 0;
}

}  // namespace

SessionPlayer::SessionPlayer(std::vector<SessionStep> steps,
                             std::unique_ptr<TranscriptFile> transcript, HWND view, HWND holder,
                             FlutterDesktopMessengerRef messenger, ViewState* state,
                             std::function<void()> redraw, uint32_t reply_timeout_ms,
                             std::string startup_error)
    : steps_(std::move(steps)),
      transcript_(std::move(transcript)),
      view_(view),
      holder_(holder),
      messenger_(messenger),
      state_(state),
      redraw_(std::move(redraw)),
      reply_timeout_ms_(reply_timeout_ms),
      startup_error_(std::move(startup_error)) {
  SetSessionState(startup_error_.empty() ? "waiting for the first frame"
                                         : "no session: " + startup_error_);
}

SessionPlayer::~SessionPlayer() { Stop(); }

std::unique_ptr<SessionPlayer> SessionPlayer::FromEnvironment(HWND view, HWND holder,
                                                              FlutterDesktopMessengerRef messenger,
                                                              ViewState* state,
                                                              std::function<void()> redraw) {
  std::string session_path;
  if (!EnvironmentVariable(L"ORVA_UI_SESSION", &session_path) || session_path.empty()) {
    return nullptr;
  }
  std::string error;
  std::unique_ptr<TranscriptFile> transcript;
  std::string transcript_path;
  if (EnvironmentVariable(L"ORVA_UI_TRANSCRIPT", &transcript_path) && !transcript_path.empty()) {
    transcript = TranscriptFile::Create(transcript_path, &error);
    if (!transcript) WarnOnStderr(error);
  }
  uint32_t timeout_ms = kDefaultReplyTimeoutMs;
  std::string timeout_text;
  if (EnvironmentVariable(L"ORVA_UI_REPLY_TIMEOUT_MS", &timeout_text)) {
    if (!timeout_text.empty() && timeout_text.size() <= 9 &&
        timeout_text.find_first_not_of("0123456789") == std::string::npos &&
        std::stoul(timeout_text) > 0) {
      timeout_ms = static_cast<uint32_t>(std::stoul(timeout_text));
    } else {
      WarnOnStderr("ignoring ORVA_UI_REPLY_TIMEOUT_MS=" + timeout_text);
    }
  }
  std::string contents;
  std::vector<SessionStep> steps;
  std::string startup_error;
  if (ReadWholeFile(session_path, &contents, &error)) {
    steps = ParseSessionScript(contents);
  } else {
    startup_error = error;
  }
  return std::make_unique<SessionPlayer>(std::move(steps), std::move(transcript), view, holder,
                                         messenger, state, std::move(redraw), timeout_ms,
                                         std::move(startup_error));
}

void SessionPlayer::OnFrameRendered() {
  if (started_ || stopped_) return;
  started_ = true;
  if (!startup_error_.empty()) {
    WarnOnStderr(startup_error_);
    if (transcript_) transcript_->Append(FailedLine("@session", startup_error_));
    return;
  }
  SetSessionState("running");
  PostNextStep();
}

bool SessionPlayer::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kSessionStepMessage:
      RunNextStep();
      return true;
    case kSessionReplyMessage:
      OnReply(static_cast<int64_t>(wparam));
      return true;
    case kSessionRunDoneMessage:
      if (run_thread_.joinable()) run_thread_.join();
      if (transcript_) transcript_->Append(run_line_);
      SetSessionState("running");
      PostNextStep();
      return true;
    case WM_TIMER:
      if (wparam == kSessionSleepTimer) {
        KillTimer(view_, kSessionSleepTimer);
        PostNextStep();
        return true;
      }
      if (wparam == kSessionPollTimer) {
        SendPolls();
        return true;
      }
      if (wparam == kSessionCloseTimer) {
        KillTimer(view_, kSessionCloseTimer);
        Quit();
        return true;
      }
      if (wparam == kSessionWaitingTimer) {
        if (pending_token_ > 0) {
          const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
              std::chrono::steady_clock::now() - sent_at_);
          SetSessionState("waiting for " + pending_method_ + " (" + std::to_string(waited.count()) +
                          " s)");
        }
        return true;
      }
      if (wparam == kSessionDeadlineTimer) {
        KillTimer(view_, kSessionDeadlineTimer);
        OnDeadline();
        return true;
      }
      return false;
    default:
      return false;
  }
}

void SessionPlayer::Stop() {
  if (stopped_) return;
  stopped_ = true;
  KillTimer(view_, kSessionSleepTimer);
  KillTimer(view_, kSessionDeadlineTimer);
  KillTimer(view_, kSessionPollTimer);
  if (pending_token_ > 0) ForgetMessage(pending_token_);
  pending_token_ = 0;
  for (const auto& poll : polls_in_flight_) ForgetMessage(poll.first);
  polls_in_flight_.clear();
  if (run_thread_.joinable()) run_thread_.join();
}

void SessionPlayer::PostNextStep() {
  if (!stopped_) PostMessageW(view_, kSessionStepMessage, 0, 0);
}

void SessionPlayer::SetSessionState(const std::string& text) {
  state_->session_state = text;
  if (redraw_) redraw_();
}

void SessionPlayer::RunNextStep() {
  if (stopped_ || pending_token_ != 0) return;
  if (next_step_ >= steps_.size()) {
    SetSessionState("finished");
    return;
  }
  const SessionStep& step = steps_[next_step_++];
  switch (step.kind) {
    case SessionStep::Kind::kCall:
      RunCall(step);
      return;
    case SessionStep::Kind::kQuit:
      SetSessionState("quitting");
      Quit();
      return;
    case SessionStep::Kind::kSleep:
      SetSessionState("pausing " + std::to_string(step.sleep_ms) + " ms");
      if (step.sleep_ms == 0 || !SetTimer(view_, kSessionSleepTimer, step.sleep_ms, nullptr)) {
        PostNextStep();
      }
      return;
    case SessionStep::Kind::kCloseAfter:
      SetTimer(view_, kSessionCloseTimer, step.sleep_ms, nullptr);
      PostNextStep();
      return;
    case SessionStep::Kind::kRun: {
      // Timed on a thread of its own, so that the loop goes on answering.
      SetSessionState("running " + step.text);
      HWND view = view_;
      run_thread_ = std::thread([this, view, command = step.text] {
        const auto start = std::chrono::steady_clock::now();
        uint32_t exit_code = 0;
        std::string error;
        const bool ok = RunAndWait(command, &exit_code, &error);
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        run_line_ = ok ? RunLine(exit_code, elapsed.count()) : FailedLine("@run", error);
        PostMessageW(view, kSessionRunDoneMessage, 0, 0);
      });
      return;
    }
    case SessionStep::Kind::kPoll:
      polled_ = step.polled;
      poll_until_ = step.until;
      polls_sent_ = 0;
      SetTimer(view_, kSessionPollTimer, step.sleep_ms, nullptr);
      PostNextStep();
      return;
    case SessionStep::Kind::kWrite:
    case SessionStep::Kind::kDelete:
    case SessionStep::Kind::kReadOnly:
    case SessionStep::Kind::kWritable:
    case SessionStep::Kind::kDiagnostics:
      RunDirective(step);
      PostNextStep();
      return;
    case SessionStep::Kind::kInvalid:
      WarnOnStderr("line " + std::to_string(step.line_number) + ": " + step.error);
      if (transcript_) {
        transcript_->Append(ScriptErrorLine(step.name, step.line_number, step.error));
      }
      state_->last_call = step.name;
      state_->last_reply = "script error: " + step.error;
      SetSessionState("running");
      PostNextStep();
      return;
  }
}

void SessionPlayer::RunCall(const SessionStep& step) {
  std::vector<uint8_t> bytes = EncodeSessionCall(step.name, step.arguments);
  state_->last_call =
      step.arguments_text.empty() ? step.name : step.name + " " + JsonLine(ToJson(step.arguments));
  state_->last_reply.clear();
  pending_method_ = step.name;
  pending_number_ = ++calls_sent_;
  SetSessionState("waiting for " + step.name);
  HWND view = view_;
  // Mark the call as in flight before the handler runs: it may answer at once.
  pending_token_ = -1;
  sent_at_ = std::chrono::steady_clock::now();
  int64_t token = DeliverMessage(
      messenger_, kSessionChannel, bytes.data(), bytes.size(), [view](int64_t answered) {
        PostMessageW(view, kSessionReplyMessage, static_cast<WPARAM>(answered), 0);
      });
  if (token == 0) {
    // Nobody listens on the channel: the UI would see "not implemented".
    pending_token_ = 0;
    DecodedReply reply;
    reply.kind = DecodedReply::Kind::kNotImplemented;
    ShowReply(reply);
    FinishCall(ReplyLine(step.name, reply, -1, pending_number_));
    return;
  }
  pending_token_ = token;
  SetTimer(view_, kSessionDeadlineTimer, reply_timeout_ms_, nullptr);
  SetTimer(view_, kSessionWaitingTimer, 1000, nullptr);
}

// Each polled call is sent at once, whatever is still waiting for a reply.
void SessionPlayer::SendPolls() {
  HWND view = view_;
  for (const std::string& method : polled_) {
    std::vector<uint8_t> bytes = EncodeSessionCall(method, flutter::EncodableValue());
    const Poll poll{method, ++calls_sent_, std::chrono::steady_clock::now()};
    ++polls_sent_;
    const int64_t token = DeliverMessage(
        messenger_, kSessionChannel, bytes.data(), bytes.size(), [view](int64_t answered) {
          PostMessageW(view, kSessionReplyMessage, static_cast<WPARAM>(answered), 0);
        });
    if (token != 0) {
      polls_in_flight_[token] = poll;
    } else if (transcript_) {
      DecodedReply reply;
      reply.kind = DecodedReply::Kind::kNotImplemented;
      transcript_->Append(ReplyLine(method, reply, -1, poll.number, true));
    }
  }
}

void SessionPlayer::StopPolling() {
  KillTimer(view_, kSessionPollTimer);
  polled_.clear();
  if (transcript_) transcript_->Append(PollEndLine(polls_sent_));
}

void SessionPlayer::OnReply(int64_t token) {
  const auto poll = polls_in_flight_.find(token);
  if (!stopped_ && poll != polls_in_flight_.end()) {
    std::vector<uint8_t> bytes;
    CopyResponse(token, &bytes);
    ForgetMessage(token);
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - poll->second.sent_at;
    if (transcript_) {
      transcript_->Append(ReplyLine(poll->second.method,
                                    DecodeSessionReply(bytes.data(), bytes.size()), elapsed.count(),
                                    poll->second.number, true));
    }
    polls_in_flight_.erase(poll);
    return;
  }
  if (stopped_ || token != pending_token_) {
    ForgetMessage(token);  // answered after its deadline: too late to count
    return;
  }
  KillTimer(view_, kSessionDeadlineTimer);
  KillTimer(view_, kSessionWaitingTimer);
  std::vector<uint8_t> bytes;
  CopyResponse(token, &bytes);
  ForgetMessage(token);
  pending_token_ = 0;
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - sent_at_;
  DecodedReply reply = DecodeSessionReply(bytes.data(), bytes.size());
  ShowReply(reply);
  if (!polled_.empty() && pending_method_ == poll_until_) StopPolling();
  FinishCall(ReplyLine(pending_method_, reply, elapsed.count(), pending_number_));
}

void SessionPlayer::ShowReply(const DecodedReply& reply) {
  ++state_->calls_answered;
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      state_->last_reply = "success " + JsonLine(ToJson(reply.value));
      break;
    case DecodedReply::Kind::kError:
      state_->last_reply = "error " + reply.code + ": " + reply.message;
      break;
    case DecodedReply::Kind::kNotImplemented:
      state_->last_reply = "not implemented";
      break;
    case DecodedReply::Kind::kMalformed:
      state_->last_reply = "malformed reply (" + std::to_string(reply.size) + " bytes)";
      break;
  }
  if (reply.kind != DecodedReply::Kind::kSuccess) return;
  if (pending_method_ == "getStatus") {
    if (const auto* word = std::get_if<std::string>(&reply.value)) state_->status_word = *word;
  } else if (pending_method_ == "getStats") {
    if (const auto* map = std::get_if<flutter::ValueMap>(&reply.value)) {
      state_->have_stats = true;
      state_->received_bytes = IntegerOf(flutter::LookupMapValue(*map, "rx"));
      state_->sent_bytes = IntegerOf(flutter::LookupMapValue(*map, "tx"));
    }
  } else if (pending_method_ == "isWireguardInstalled") {
    if (const auto* installed = std::get_if<bool>(&reply.value)) {
      state_->wireguard_installed = *installed ? 1 : 0;
    }
  }
}

void SessionPlayer::FinishCall(const std::string& line) {
  if (transcript_ && !transcript_->Append(line)) WarnOnStderr("could not write the transcript");
  SetSessionState("running");
  PostNextStep();
}

void SessionPlayer::OnDeadline() {
  if (pending_token_ <= 0) return;
  ForgetMessage(pending_token_);
  pending_token_ = 0;
  WarnOnStderr("no reply to " + pending_method_ + " within " + std::to_string(reply_timeout_ms_) +
               " ms; going on");
  state_->last_reply = "no reply in time";
  FinishCall(TimeoutLine(pending_method_, reply_timeout_ms_, pending_number_));
}

void SessionPlayer::RunDirective(const SessionStep& step) {
  std::string error;
  bool ok = true;
  if (step.kind == SessionStep::Kind::kWrite) {
    ok = WriteWholeFile(step.path, step.text, &error);
  } else if (step.kind == SessionStep::Kind::kDelete) {
    ok = DeleteFileIfPresent(step.path, &error);
  } else if (step.kind == SessionStep::Kind::kReadOnly ||
             step.kind == SessionStep::Kind::kWritable) {
    ok = SetReadOnly(step.path, step.kind == SessionStep::Kind::kReadOnly, &error);
  } else {
    uint64_t handles = 0, private_bytes = 0;
    ProcessDiagnostics(&handles, &private_bytes);
    if (transcript_) transcript_->Append(DiagnosticsLine(handles, private_bytes));
  }
  if (!ok) {
    WarnOnStderr(step.name + ": " + error);
    if (transcript_) transcript_->Append(FailedLine(step.name, error));
  }
}

void SessionPlayer::Quit() {
  stopped_ = true;
  KillTimer(view_, kSessionSleepTimer);
  KillTimer(view_, kSessionPollTimer);
  KillTimer(view_, kSessionWaitingTimer);
  HWND root = GetAncestor(view_, GA_ROOT);
  if (root && root != holder_) {
    PostMessageW(root, WM_CLOSE, 0, 0);
  } else {
    // The view was never put into a window of the host's: end its loop.
    PostQuitMessage(0);
  }
}

}  // namespace standin
