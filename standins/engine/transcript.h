// Transcript lines of the scripted session: one JSON object per call, plus
// lines for the session's own events, written as channel_json.h's JsonLine
// does.
//
//   {"method": M, "reply": "success", "value": V}
// A call's line also carries "n", the call's number in the order the session
// sent its calls, and "poll": true when an @poll directive sent it.
//   {"method": M, "reply": "error", "code": C, "message": T, "details": D}
//   {"method": M, "reply": "not_implemented"}              (an empty reply)
//   {"method": M, "reply": "malformed", "size": N}         (reply not decodable)
//   {"method": M, "reply": "timeout", "waited_ms": N}      (no reply in time)
//   {"method": M, "reply": "script_error", "line": N, "message": T}
//   {"method": "@diagnostics", "handles": N, "private_bytes": N}
//   {"method": "@write", "reply": "failed", "message": T}  (also @delete, @session)
//   {"method": "@poll", "sent": N}                        (polling ended after N calls)
//   {"method": "@run", "exit_code": N, "ms": T}           (a command run and its time)
#ifndef ORVA_STANDINS_ENGINE_TRANSCRIPT_H_
#define ORVA_STANDINS_ENGINE_TRANSCRIPT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/encodable_value.h"

namespace standin {

// A reply as the UI sees it after decoding.
struct DecodedReply {
  enum class Kind { kSuccess, kError, kNotImplemented, kMalformed };
  Kind kind = Kind::kMalformed;
  flutter::EncodableValue value;    // kSuccess (null when the envelope had none)
  std::string code;                 // kError
  std::string message;              // kError
  flutter::EncodableValue details;  // kError (null when absent)
  size_t size = 0;                  // the reply's size in bytes
};

// Encodes a call with the standard method codec.
std::vector<uint8_t> EncodeSessionCall(const std::string& method,
                                       const flutter::EncodableValue& arguments);
// Decodes a reply with the standard method codec: zero bytes is "not
// implemented"; an envelope the codec cannot read is kMalformed.
DecodedReply DecodeSessionReply(const uint8_t* bytes, size_t size);

// |elapsed_ms|, when not negative, is how long the reply took from the
// moment the call was sent; it goes into the line as "ms". |number|, when
// not 0, goes in as "n".
std::string ReplyLine(const std::string& method, const DecodedReply& reply, double elapsed_ms = -1,
                      uint64_t number = 0, bool poll = false);
std::string TimeoutLine(const std::string& method, uint32_t waited_ms, uint64_t number);
std::string PollEndLine(uint64_t sent);
std::string RunLine(uint32_t exit_code, double elapsed_ms);
std::string ScriptErrorLine(const std::string& name, int line_number, const std::string& message);
std::string DiagnosticsLine(uint64_t handles, uint64_t private_bytes);
std::string FailedLine(const std::string& directive, const std::string& message);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_TRANSCRIPT_H_
