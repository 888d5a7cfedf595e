// The scripted UI session's file format, read into steps.
//
// UTF-8 text, one step per line (LF or CR LF; a leading byte-order mark is
// ignored). Lines that are empty, hold only blanks, or start with '#' are
// skipped. Otherwise a line is one of:
//   quit                      close the top-level window
//   @sleep MS                 pause MS milliseconds (0 to 86400000)
//   @close-after MS           close the top-level window MS milliseconds from
//                             now, whatever the session is doing then (a call
//                             may still wait for its reply); the session goes
//                             on at once
//   @write PATH TEXT          write TEXT to PATH, creating its folders; TEXT
//                             may use \n, \r, \t and \\; PATH may be quoted
//                             ("C:\with blanks\f.txt") to hold blanks
//   @delete PATH              delete the file PATH (a missing file is fine)
//   @readonly PATH            mark the existing file PATH read-only
//   @writable PATH            clear the file's read-only mark again
//   @diagnostics              record the process's handle count and memory
//   @run COMMAND              start COMMAND hidden, output to the NUL device,
//                             and wait for it, timed
//   @poll MS UNTIL METHOD...  from now on send the METHODs (no arguments)
//                             every MS milliseconds without waiting for their
//                             replies, as a UI's timer does, until the reply
//                             to the next UNTIL call arrives; the session goes
//                             on at once
//   METHOD [JSON]             call METHOD, with the JSON value (after one
//                             blank) as its arguments, or none
// A line that fits none of these becomes a kInvalid step that says why.
#ifndef ORVA_STANDINS_ENGINE_SESSION_SCRIPT_H_
#define ORVA_STANDINS_ENGINE_SESSION_SCRIPT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "codec/encodable_value.h"

namespace standin {

constexpr uint32_t kMaxSleepMs = 86400000;

struct SessionStep {
  enum class Kind {
    kCall,
    kQuit,
    kSleep,
    kCloseAfter,
    kWrite,
    kDelete,
    kReadOnly,
    kWritable,
    kDiagnostics,
    kPoll,
    kRun,
    kInvalid
  };
  Kind kind = Kind::kInvalid;
  int line_number = 0;
  // kCall: the method; directives: "@sleep", "@write", ...; kInvalid: the
  // method or directive the line named.
  std::string name;
  // kCall: the arguments (null when the line has none) and their JSON text.
  flutter::EncodableValue arguments;
  std::string arguments_text;
  uint32_t sleep_ms = 0;            // kSleep, kCloseAfter, kPoll
  std::string until;                // kPoll
  std::vector<std::string> polled;  // kPoll
  std::string path;                 // kWrite, kDelete, kReadOnly, kWritable (UTF-8)
  std::string text;                 // kWrite, escapes resolved; kRun
  std::string error;                // kInvalid
};

std::vector<SessionStep> ParseSessionScript(const std::string& contents);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_SESSION_SCRIPT_H_
