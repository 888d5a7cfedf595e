// Transcript lines and the codec round trip of session calls (see
// transcript.h).
#include "standins/engine/transcript.h"

#include <cmath>
#include <exception>
#include <memory>

#include "codec/method_call.h"
#include "codec/method_result.h"
#include "codec/standard_method_codec.h"
#include "standins/engine/channel_json.h"

namespace standin {
namespace {

// Receives what the codec reads out of a reply envelope.
class CapturingResult : public flutter::MethodResult {
 public:
  explicit CapturingResult(DecodedReply* reply) : reply_(reply) {}
  void OnSuccess(const flutter::EncodableValue* result) override {
    reply_->kind = DecodedReply::Kind::kSuccess;
    reply_->value = result ? *result : flutter::EncodableValue();
  }
  void OnError(const std::string& code, const std::string& message,
               const flutter::EncodableValue* details) override {
    reply_->kind = DecodedReply::Kind::kError;
    reply_->code = code;
    reply_->message = message;
    reply_->details = details ? *details : flutter::EncodableValue();
  }
  void OnNotImplemented() override { reply_->kind = DecodedReply::Kind::kNotImplemented; }

 private:
  DecodedReply* reply_;
};

// A transcript line: the method first, then |members| in their order.
std::string Line(const std::string& method, const Json& members) {
  Json line{{"method", method}};
  for (const auto& [key, value] : members.items()) line[key] = value;
  return JsonLine(line);
}

}  // namespace

std::vector<uint8_t> EncodeSessionCall(const std::string& method,
                                       const flutter::EncodableValue& arguments) {
  flutter::MethodCall call(method, std::make_unique<flutter::EncodableValue>(arguments));
  auto bytes = flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
  return bytes ? *bytes : std::vector<uint8_t>();
}

DecodedReply DecodeSessionReply(const uint8_t* bytes, size_t size) {
  DecodedReply reply;
  reply.size = size;
  if (size == 0) {
    reply.kind = DecodedReply::Kind::kNotImplemented;
    return reply;
  }
  CapturingResult sink(&reply);
  try {
    if (!flutter::StandardMethodCodec::ForSerializer().DecodeReply(bytes, size, &sink)) {
      reply = DecodedReply();
      reply.size = size;
    }
  } catch (const std::exception&) {
    // An error envelope whose code or message is not text.
    reply = DecodedReply();
    reply.size = size;
  }
  return reply;
}

std::string ReplyLine(const std::string& method, const DecodedReply& reply, double elapsed_ms,
                      uint64_t number, bool poll) {
  Json members;
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      members = {{"reply", "success"}, {"value", ToJson(reply.value)}};
      break;
    case DecodedReply::Kind::kError:
      members = {{"reply", "error"},
                 {"code", reply.code},
                 {"message", reply.message},
                 {"details", ToJson(reply.details)}};
      break;
    case DecodedReply::Kind::kNotImplemented:
      members = {{"reply", "not_implemented"}};
      break;
    case DecodedReply::Kind::kMalformed:
      members = {{"reply", "malformed"}, {"size", reply.size}};
      break;
  }
  // In tenths of a millisecond, written as 12.3 or 5.0.
  if (elapsed_ms >= 0) members["ms"] = std::round(elapsed_ms * 10) / 10;
  if (number != 0) members["n"] = number;
  if (poll) members["poll"] = true;
  return Line(method, members);
}

std::string TimeoutLine(const std::string& method, uint32_t waited_ms, uint64_t number) {
  return Line(method, {{"reply", "timeout"}, {"waited_ms", waited_ms}, {"n", number}});
}

std::string PollEndLine(uint64_t sent) { return Line("@poll", {{"sent", sent}}); }

std::string RunLine(uint32_t exit_code, double elapsed_ms) {
  return Line("@run", {{"exit_code", exit_code}, {"ms", std::round(elapsed_ms * 10) / 10}});
}

std::string ScriptErrorLine(const std::string& name, int line_number, const std::string& message) {
  return Line(name, {{"reply", "script_error"}, {"line", line_number}, {"message", message}});
}

std::string DiagnosticsLine(uint64_t handles, uint64_t private_bytes) {
  return Line("@diagnostics", {{"handles", handles}, {"private_bytes", private_bytes}});
}

std::string FailedLine(const std::string& directive, const std::string& message) {
  return Line(directive, {{"reply", "failed"}, {"message", message}});
}

}  // namespace standin
