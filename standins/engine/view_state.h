// What the stand-in UI shows in its view: the session's progress and the
// tunnel state the last replies reported.
#ifndef ORVA_STANDINS_ENGINE_VIEW_STATE_H_
#define ORVA_STANDINS_ENGINE_VIEW_STATE_H_

#include <cstdint>
#include <string>

namespace standin {

struct ViewState {
  // "idle (no session)", "running", "waiting for <method>", "finished", ...
  std::string session_state = "idle (no session)";
  std::string status_word;  // last "getStatus" success value; empty: none yet
  bool have_stats = false;  // a "getStats" map has been seen
  int64_t received_bytes = 0;
  int64_t sent_bytes = 0;
  int wireguard_installed = -1;  // last "isWireguardInstalled": -1 unknown, 0 no, 1 yes
  std::string last_call;         // method name and arguments as JSON
  std::string last_reply;        // the reply as its transcript line shows it
  int64_t calls_answered = 0;
};

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_VIEW_STATE_H_
